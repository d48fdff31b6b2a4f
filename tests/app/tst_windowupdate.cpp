#include "app/linklabel.h"
#include "app/mainwindow.h"
#include "core/httpclient.h"
#include "market/itemlist.h"
#include "recordingprompter.h"
#include "sandboxprocess.h"
#include "selfupdate/launcher.h"
#include "selfupdate/programfiles.h"
#include "updatefixtures.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using TestSupport::SandboxProcess;

namespace {

class RecordingLauncher final : public SelfUpdate::Launcher
{
public:
    bool start(const QString &program) override
    {
        started << program;
        return true;
    }
    QStringList started;
};

} // namespace

// The version checks of the main window against a sandbox that publishes a newer version.
class TestWindowUpdate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startupAsksWhenANewerVersionIsPublished_data();
    void startupAsksWhenANewerVersionIsPublished();
    void manualCheckWithoutARecordAsksFirst_data();
    void manualCheckWithoutARecordAsksFirst();
    void aFailedUpdateStartSaysSo();
    void upgradeDuringAnExportAsksToStopFirst_data();
    void upgradeDuringAnExportAsksToStopFirst();

private:
    App::MainWindow *makeWindow(bool startup, bool withDownload = true);

    QTemporaryDir m_downloads;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<Core::HttpClient> m_client;
    RecordingPrompter m_prompter;
    RecordingLauncher m_launcher;
    App::MainWindow *m_window = nullptr;
};

void TestWindowUpdate::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter.shown.clear();
    m_prompter.answer = true;
    m_launcher.started.clear();
}

void TestWindowUpdate::cleanup()
{
    delete m_window;
    m_window = nullptr;
    m_client.reset();
    m_sandbox.reset();
}

App::MainWindow *TestWindowUpdate::makeWindow(bool startup, bool withDownload)
{
    QFile::remove(m_downloads.filePath(u"update.jpg"_s));
    if (withDownload) {
        QFile update(m_downloads.filePath(u"update.jpg"_s));
        if (!update.open(QIODevice::WriteOnly) || update.write(ProgramBytes::elf()) < 0)
            qFatal("cannot write the served update program");
    }
    m_sandbox = std::make_unique<SandboxProcess>(
        QStringList{u"--published-version"_s, u"4.0"_s, u"--downloads"_s, m_downloads.path()});
    Core::Config config;
    config.proxy = m_sandbox->proxyUrl();
    m_client = std::make_unique<Core::HttpClient>(Core::HttpOptions::fromConfig(config));
    App::MainWindowContext context;
    context.programDir = m_dir->path();
    context.config = config;
    context.client = m_client.get();
    context.prompter = &m_prompter;
    context.launcher = &m_launcher;
    context.openUrl = [](const QString &) { return true; };
    context.clock = [] { return QDateTime(QDate(2026, 3, 5), QTime(9, 7)); };
    context.runStartup = startup;
    m_window = new App::MainWindow(context);
    m_window->show();
    return m_window;
}

void TestWindowUpdate::startupAsksWhenANewerVersionIsPublished_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("cancel") << false;
    QTest::newRow("ok") << true;
}

void TestWindowUpdate::startupAsksWhenANewerVersionIsPublished()
{
    QFETCH(bool, answer);
    m_prompter.answer = answer;
    makeWindow(true);
    QTRY_VERIFY_WITH_TIMEOUT(m_prompter.shown.contains(u"已有最新版本,请下载更新"_s), 20000);
    const QString updater = m_dir->filePath(SelfUpdate::programFileName(SelfUpdate::ProgramFile::Updater));
    if (!answer) {
        QTest::qWait(300);
        QVERIFY(m_launcher.started.isEmpty());
        QVERIFY(!QFile::exists(updater));
        QVERIFY(m_window->isVisible());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_launcher.started, QStringList{updater}, 20000);
    QVERIFY(QFileInfo(updater).isExecutable());
    QTRY_VERIFY(!m_window->isVisible());
}

void TestWindowUpdate::manualCheckWithoutARecordAsksFirst_data()
{
    startupAsksWhenANewerVersionIsPublished_data(); // the same two answers
}

// Without a record of the installed version the update is still offered, but the program
// never ends without the user's yes.
void TestWindowUpdate::manualCheckWithoutARecordAsksFirst()
{
    QFETCH(bool, answer);
    m_prompter.answer = answer;
    makeWindow(false);
    QTest::mouseClick(m_window->findChild<App::LinkLabel *>(u"upgradeLink"_s), Qt::LeftButton);
    const QString question = u"无法确定现在的版本，最新版本是：4.0，是否需要强制再升级？"_s;
    QTRY_VERIFY_WITH_TIMEOUT(m_prompter.shown.contains(question), 20000);
    const QString updater = m_dir->filePath(SelfUpdate::programFileName(SelfUpdate::ProgramFile::Updater));
    if (!answer) {
        QTest::qWait(300);
        QVERIFY(m_launcher.started.isEmpty());
        QVERIFY(m_window->isVisible());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_launcher.started, QStringList{updater}, 20000);
    // No record of the installed version: an empty one is left for the update program.
    QVERIFY(QFileInfo::exists(m_dir->filePath(u"tb.dat"_s)));
    QTRY_VERIFY(!m_window->isVisible());
}

void TestWindowUpdate::aFailedUpdateStartSaysSo()
{
    makeWindow(false, false);
    QTest::mouseClick(m_window->findChild<App::LinkLabel *>(u"upgradeLink"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_prompter.shown.contains(u"升级失败,尝试退出软件重来"_s), 20000);
    QVERIFY(m_launcher.started.isEmpty());
    QVERIFY(m_window->isVisible());
    QVERIFY(
        !QFileInfo::exists(m_dir->filePath(SelfUpdate::programFileName(SelfUpdate::ProgramFile::Updater))));
}

void TestWindowUpdate::upgradeDuringAnExportAsksToStopFirst_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("取消: the export goes on") << false;
    QTest::newRow("确定: stopped when the update program is ready") << true;
}

// "软件升级" while an export runs: the stop question comes before anything is asked or
// started. "取消" leaves the export running and starts nothing; "确定" then asks about the
// update, and the export runs until the update program is there to take over.
void TestWindowUpdate::upgradeDuringAnExportAsksToStopFirst()
{
    QFETCH(bool, stop);
    makeWindow(false);
    m_sandbox->setLatency(300);
    auto *list = m_window->findChild<QListWidget *>(u"itemList"_s);
    for (const QString &code : {u"0C7D360B00000000040100000CC1B772"_s, u"1A2B3C4D00000000050200000DD2C883"_s,
                                u"6E80A2C4000000000A07000012271108"_s})
        list->addItem(Market::makeItemEntry(code, u"名"_s));
    m_window->findChild<QLineEdit *>(u"csvPathBox"_s)->setText(m_dir->filePath(u"up/goods.csv"_s));
    const QString stopQuestion = u"正在制作CSV数据，确定要停止并退出吗？"_s;
    m_prompter.whileAsking = [this, stopQuestion, stop] {
        m_prompter.answer = m_prompter.shown.last() != stopQuestion || stop;
    };
    QSignalSpy finished(m_window, &App::MainWindow::exportFinished);
    QTest::mouseClick(m_window->findChild<QPushButton *>(u"makeCsvButton"_s), Qt::LeftButton);
    QTest::mouseClick(m_window->findChild<App::LinkLabel *>(u"upgradeLink"_s), Qt::LeftButton);
    QCOMPARE(m_prompter.shown, QStringList{stopQuestion}); // first, before the check is made
    QCOMPARE(finished.count(), 0);
    const QString updater = m_dir->filePath(SelfUpdate::programFileName(SelfUpdate::ProgramFile::Updater));
    if (!stop) {
        QVERIFY(finished.wait(30000)); // the export goes on to its end, and says how it ended
        QCOMPARE(m_prompter.shown.size(), 2);
        QVERIFY2(m_prompter.shown.at(1).startsWith(u"下载完成"_s), qPrintable(m_prompter.shown.at(1)));
        QVERIFY(m_launcher.started.isEmpty());
        QVERIFY(m_window->isVisible());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(m_launcher.started, QStringList{updater}, 20000);
        QVERIFY(!m_window->isVisible());
        // Asked once: the close that hands over to the update program does not ask again.
        QCOMPARE(m_prompter.shown.count(stopQuestion), 1);
        QCOMPARE(m_prompter.shown.size(), 2); // and the update question
    }
    m_prompter.whileAsking = {};
}

QTEST_MAIN(TestWindowUpdate)
#include "tst_windowupdate.moc"
