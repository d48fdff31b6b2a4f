#include "sandboxprocess.h"
#include "updatefixtures.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "selfupdate/launcher.h"
#include "selfupdate/programfiles.h"
#include "updater/notifier.h"
#include "updater/updaterwindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace SelfUpdate;
using TestSupport::SandboxProcess;
using Updater::UpdateOutcome;

namespace {

class RecordingLauncher final : public Launcher
{
public:
    bool start(const QString &program) override
    {
        started << program;
        return true;
    }
    QStringList started;
};

class RecordingNotifier final : public Updater::Notifier
{
public:
    void inform(QWidget *, const QString &text) override { messages << text; }
    QStringList messages;
};

const QString startCaption = u"软件升级"_s;
const QString doneCaption = u"升级成功，重新启动软件"_s;

} // namespace

// The update program's window driven by its button, against a sandbox that publishes
// version 4 and serves the test's venlo.jpg. Each test has a program folder of its own
// with an old main program, an old download copy and a version record.
class TestUpdaterWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void freshWindow();
    void updateReplacesTheProgramAndRecordsTheVersion();
    void secondClickStartsTheMainProgram();
    void failedDownloadsReplaceNothing_data();
    void failedDownloadsReplaceNothing();
    void aFailedRunCanBeRepeated();
    void replaceFailureSaysNothing();
    void unwritableFolder();
    void recordedVersion_data();
    void recordedVersion();
    void closingDuringTheDownloadStopsIt();
    void screenshots();

private:
    void makeWindow(SandboxProcess *sandbox = nullptr);
    void serve(const QByteArray &bytes);
    QPushButton *button() const { return m_window->findChild<QPushButton *>(u"Command1"_s); }
    QFrame *frame() const { return m_window->findChild<QFrame *>(u"Frame1"_s); }
    QString programPath(ProgramFile file) const { return m_dir->filePath(programFileName(file)); }
    UpdateOutcome clickAndWait();
    QByteArray folderSnapshot() const;

    QTemporaryDir m_downloads;
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Updater::UpdaterWindow> m_window;
    RecordingLauncher m_launcher;
    RecordingNotifier m_notifier;

    const QByteArray m_oldProgram = ProgramBytes::program(6000, 'o');
    const QByteArray m_oldCopy = ProgramBytes::program(50000, 'b'); // larger than the new program
    const QByteArray m_newProgram = ProgramBytes::program(20000, 'n');
    const QByteArray m_record =
        QByteArray("\x00\xffrecord\x01", 9).append("3.6   ").append("\x00tail\x7f", 6);
};

void TestUpdaterWindow::initTestCase()
{
    QVERIFY(m_downloads.isValid());
    m_sandbox = std::make_unique<SandboxProcess>(
        QStringList{u"--published-version"_s, u"4"_s, u"--downloads"_s, m_downloads.path()});
    QVERIFY(m_sandbox->isRunning());
}

void TestUpdaterWindow::init()
{
    m_sandbox->reset();
    m_launcher.started.clear();
    m_notifier.messages.clear();
    QFile::remove(m_downloads.filePath(u"venlo.jpg"_s));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(Files::write(programPath(ProgramFile::Main), m_oldProgram));
    QVERIFY(Files::write(programPath(ProgramFile::DownloadCopy), m_oldCopy));
    QVERIFY(Files::write(m_dir->filePath(u"tb.dat"_s), m_record));
}

void TestUpdaterWindow::cleanup()
{
    m_window.reset();
    // A folder made read-only by a test must be writable again to be removed.
    QFile(m_dir->path()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_dir.reset();
}

void TestUpdaterWindow::makeWindow(SandboxProcess *sandbox)
{
    Core::Config config;
    config.proxy = (sandbox ? sandbox : m_sandbox.get())->proxyUrl();
    const Core::HttpClient client(Core::HttpOptions::fromConfig(config));
    m_window =
        std::make_unique<Updater::UpdaterWindow>(client, config, m_dir->path(), m_launcher, m_notifier);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestUpdaterWindow::serve(const QByteArray &bytes)
{
    QVERIFY(Files::write(m_downloads.filePath(u"venlo.jpg"_s), bytes));
}

UpdateOutcome TestUpdaterWindow::clickAndWait()
{
    QSignalSpy finished(m_window.get(), &Updater::UpdaterWindow::updateFinished);
    QTest::mouseClick(button(), Qt::LeftButton);
    if (!finished.wait(20000) || finished.isEmpty()) {
        UpdateOutcome none;
        none.result = UpdateOutcome::Result::Cancelled;
        none.reason = u"the window never finished"_s;
        return none;
    }
    return finished.first().first().value<UpdateOutcome>();
}

// Every name in the program folder with its size and bytes, to see that a failure
// changed nothing and left nothing behind.
QByteArray TestUpdaterWindow::folderSnapshot() const
{
    QByteArray snapshot;
    const QDir dir(m_dir->path());
    for (const QFileInfo &entry :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        snapshot += entry.fileName().toUtf8() +
                    (entry.isDir() ? QByteArray("/") : QByteArray(": ") + Files::read(entry.filePath())) +
                    '\n';
    return snapshot;
}

void TestUpdaterWindow::freshWindow()
{
    makeWindow();
    QCOMPARE(m_window->objectName(), u"Form1"_s);
    QCOMPARE(m_window->windowTitle(), u"软件升级"_s);
    QCOMPARE(button()->text(), startCaption);
    QVERIFY(button()->isEnabled());
    QVERIFY(!frame()->isVisible());
    QCOMPARE(frame()->findChild<QLabel *>()->text(), u"软件正在升级请稍候..."_s);
    // It does nothing until its button is clicked.
    QTest::qWait(100);
    QCOMPARE(m_sandbox->counts().value(u"total").toInt(), 0);
}

void TestUpdaterWindow::updateReplacesTheProgramAndRecordsTheVersion()
{
    serve(m_newProgram);
    makeWindow();
    const UpdateOutcome outcome = clickAndWait();
    QCOMPARE(outcome.result, UpdateOutcome::Result::Updated);

    QCOMPARE(Files::read(programPath(ProgramFile::Main)), m_newProgram);
    // The old, larger copy is replaced whole: nothing of it stays behind the new bytes.
    QCOMPARE(Files::read(programPath(ProgramFile::DownloadCopy)), m_newProgram);
    QByteArray record = m_record;
    record.replace(9, 6, "4.0   ");
    QCOMPARE(Files::read(m_dir->filePath(u"tb.dat"_s)), record);
    QCOMPARE(Files::entries(m_dir->path()),
             (QStringList{programFileName(ProgramFile::Main), programFileName(ProgramFile::DownloadCopy),
                          u"tb.dat"_s}));
#ifndef Q_OS_WIN
    for (const ProgramFile file : {ProgramFile::Main, ProgramFile::DownloadCopy})
        QVERIFY(QFileInfo(programPath(file))
                    .permissions()
                    .testFlags(QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
#endif

    QCOMPARE(button()->text(), doneCaption);
    QVERIFY(button()->isEnabled());
    QVERIFY(!frame()->isVisible());
    QCOMPARE(m_notifier.messages, QStringList());
    QCOMPARE(m_launcher.started, QStringList());
    QCOMPARE(m_sandbox->count(u"/soft/venlo/venlo.jpg"_s), 1);
    QCOMPARE(m_sandbox->count(u"/soft/venlo/s_ver.txt"_s), 1);
}

void TestUpdaterWindow::secondClickStartsTheMainProgram()
{
    serve(m_newProgram);
    makeWindow();
    QCOMPARE(clickAndWait().result, UpdateOutcome::Result::Updated);
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(m_launcher.started, QStringList{programPath(ProgramFile::Main)});
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_sandbox->count(u"/soft/venlo/venlo.jpg"_s), 1); // no second download

    // The caption is the only state: a fresh window whose caption says so starts the
    // program without any update in between.
    m_launcher.started.clear();
    makeWindow();
    button()->setText(doneCaption);
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(m_launcher.started, QStringList{programPath(ProgramFile::Main)});
    QVERIFY(!m_window->isVisible());
}

void TestUpdaterWindow::failedDownloadsReplaceNothing_data()
{
    QTest::addColumn<QByteArray>("served"); // null: nothing served
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("copyIsAFolder");

    const QByteArray program = ProgramBytes::program(200000, 'n');
    QTest::newRow("not served (404)") << QByteArray() << QString() << false;
    QTest::newRow("server error") << program << u"status:500"_s << false;
    QTest::newRow("broken off half-way") << program << u"truncate"_s << false;
    QTest::newRow("connection reset half-way") << program << u"reset-body"_s << false;
    QTest::newRow("empty body") << program << u"empty"_s << false;
    QTest::newRow("half a program, well framed") << program << u"cut"_s << false;
    QTest::newRow("error page with status 200")
        << QByteArray("<html><head><title>503</title></head><body>Service unavailable</body></html>")
        << QString() << false;
    QTest::newRow("the other platform's program") << ProgramBytes::foreignProgram() << QString() << false;
    QTest::newRow("no answer at all") << program << u"reset"_s << false;
    QTest::newRow("download copy can't be stored") << program << QString() << true;
}

void TestUpdaterWindow::failedDownloadsReplaceNothing()
{
    QFETCH(QByteArray, served);
    QFETCH(QString, fault);
    QFETCH(bool, copyIsAFolder);
    if (!served.isNull())
        serve(served);
    if (!fault.isEmpty())
        m_sandbox->addFault(u"*/soft/venlo/venlo.jpg"_s, fault);
    if (copyIsAFolder) {
        QVERIFY(QFile::remove(programPath(ProgramFile::DownloadCopy)));
        QVERIFY(QDir().mkpath(programPath(ProgramFile::DownloadCopy) + u"/inside"_s));
    }
    const QByteArray before = folderSnapshot();
    makeWindow();

    const UpdateOutcome outcome = clickAndWait();
    QCOMPARE(outcome.result, UpdateOutcome::Result::DownloadFailed);
    QVERIFY(!outcome.reason.isEmpty());
    QCOMPARE(m_notifier.messages, QStringList{u"下载失败"_s});
    QCOMPARE(folderSnapshot(), before);
    QCOMPARE(button()->text(), startCaption);
    QVERIFY(button()->isEnabled());
    QVERIFY(!frame()->isVisible());
    QCOMPARE(m_launcher.started, QStringList());
}

void TestUpdaterWindow::aFailedRunCanBeRepeated()
{
    m_sandbox->addFault(u"*/soft/venlo/venlo.jpg"_s, u"status:503"_s);
    serve(m_newProgram);
    makeWindow();
    QCOMPARE(clickAndWait().result, UpdateOutcome::Result::DownloadFailed);
    m_sandbox->reset();
    QCOMPARE(clickAndWait().result, UpdateOutcome::Result::Updated);
    QCOMPARE(Files::read(programPath(ProgramFile::Main)), m_newProgram);
    QCOMPARE(button()->text(), doneCaption);
}

// The main program can't be replaced (here: a folder stands in its place; on Windows, a
// program still running): no message, the caption stays, the copy is kept.
void TestUpdaterWindow::replaceFailureSaysNothing()
{
    serve(m_newProgram);
    QVERIFY(QFile::remove(programPath(ProgramFile::Main)));
    QVERIFY(QDir().mkpath(programPath(ProgramFile::Main) + u"/inside"_s));
    makeWindow();

    const UpdateOutcome outcome = clickAndWait();
    QCOMPARE(outcome.result, UpdateOutcome::Result::ReplaceFailed);
    QCOMPARE(m_notifier.messages, QStringList());
    QCOMPARE(button()->text(), startCaption);
    QVERIFY(button()->isEnabled());
    QVERIFY(QFileInfo::exists(programPath(ProgramFile::Main) + u"/inside"_s));
    QCOMPARE(Files::read(programPath(ProgramFile::DownloadCopy)), m_newProgram);
    QCOMPARE(Files::read(m_dir->filePath(u"tb.dat"_s)), m_record);
    QCOMPARE(m_sandbox->count(u"/soft/venlo/s_ver.txt"_s), 0);
}

void TestUpdaterWindow::unwritableFolder()
{
    serve(m_newProgram);
    QVERIFY(QFile(m_dir->path()).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    if (QFileInfo(m_dir->path()).isWritable())
        QSKIP("this user writes into read-only folders (root)");
    const QByteArray before = folderSnapshot();
    makeWindow();

    QCOMPARE(clickAndWait().result, UpdateOutcome::Result::DownloadFailed);
    QCOMPARE(m_notifier.messages, QStringList{u"下载失败"_s});
    QCOMPARE(folderSnapshot(), before);
    QCOMPARE(button()->text(), startCaption);
}

void TestUpdaterWindow::recordedVersion_data()
{
    QTest::addColumn<QString>("published");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("field");

    QTest::newRow("whole number") << u"4"_s << QString() << QByteArray("4.0   ");
    QTest::newRow("trailing zero") << u"3.60"_s << QString() << QByteArray("3.6   ");
    QTest::newRow("older") << u"3.5"_s << QString() << QByteArray("3.5   ");
    QTest::newRow("longer than six") << u"12345.67"_s << QString() << QByteArray("12345.");
    QTest::newRow("not a number") << u"v4"_s << QString() << QByteArray("      ");
    QTest::newRow("empty file") << QString() << QString() << QByteArray("      ");
    QTest::newRow("unreachable") << u"4"_s << u"reset"_s << QByteArray("      ");
    QTest::newRow("error page") << u"4"_s << u"status:404"_s << QByteArray("      ");
}

void TestUpdaterWindow::recordedVersion()
{
    QFETCH(QString, published);
    QFETCH(QString, fault);
    QFETCH(QByteArray, field);
    SandboxProcess sandbox({u"--published-version"_s, published, u"--downloads"_s, m_downloads.path()});
    QVERIFY(sandbox.isRunning());
    if (!fault.isEmpty())
        sandbox.addFault(u"*/soft/venlo/s_ver.txt"_s, fault);
    serve(m_newProgram);
    makeWindow(&sandbox);

    QCOMPARE(clickAndWait().result, UpdateOutcome::Result::Updated);
    QByteArray record = m_record;
    record.replace(9, 6, field);
    QCOMPARE(Files::read(m_dir->filePath(u"tb.dat"_s)), record);
    QCOMPARE(button()->text(), doneCaption);
}

void TestUpdaterWindow::closingDuringTheDownloadStopsIt()
{
    serve(m_newProgram);
    m_sandbox->addFault(u"*/soft/venlo/venlo.jpg"_s, u"hang"_s);
    const QByteArray before = folderSnapshot();
    makeWindow();
    QTest::mouseClick(button(), Qt::LeftButton);
    QTRY_COMPARE(m_sandbox->count(u"/soft/venlo/venlo.jpg"_s), 1);
    // The window stays alive and shows that it works.
    QVERIFY(!button()->isEnabled());
    QVERIFY(frame()->isVisible());
    QTest::qWait(200);
    QVERIFY(frame()->isVisible());

    QElapsedTimer timer;
    timer.start();
    m_window->close();
    m_window.reset();
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(folderSnapshot(), before);
    QCOMPARE(m_notifier.messages, QStringList());
    QCOMPARE(m_launcher.started, QStringList());
}

// Pictures of the window for a person to look at: set QUORVEX_SCREENSHOTS to a folder.
void TestUpdaterWindow::screenshots()
{
    const QString folder = qEnvironmentVariable("QUORVEX_SCREENSHOTS");
    if (folder.isEmpty())
        QSKIP("QUORVEX_SCREENSHOTS is not set");
    QVERIFY(QDir().mkpath(folder));
    serve(m_newProgram);
    makeWindow();
    QVERIFY(m_window->grab().save(folder + u"/updater-start.png"_s));
    m_sandbox->setLatency(1500);
    QSignalSpy finished(m_window.get(), &Updater::UpdaterWindow::updateFinished);
    QTest::mouseClick(button(), Qt::LeftButton);
    QTest::qWait(300);
    QVERIFY(m_window->grab().save(folder + u"/updater-running.png"_s));
    QVERIFY(finished.wait(20000));
    m_sandbox->setLatency(0);
    QVERIFY(m_window->grab().save(folder + u"/updater-done.png"_s));
}

QTEST_MAIN(TestUpdaterWindow)
#include "tst_updaterwindow.moc"
