#include "sandboxprocess.h"
#include "updatefixtures.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "selfupdate/programfiles.h"
#include "selfupdate/updatestart.h"
#include "selfupdate/version.h"
#include "selfupdate/versioncheck.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::Literals::StringLiterals;
using namespace SelfUpdate;
using TestSupport::SandboxProcess;
using Step = VersionCheckOutcome::Step;

// Program downloads, the two version checks and the update start against quorvex-sandbox,
// which publishes version 4 and serves update.jpg and venlo.jpg from a folder of the test.
class TestSelfUpdateJobs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void sandboxServesVersionAndDownloads();
    void startupCheckWithoutMainPageAsksNothing();
    void checks_data();
    void checks();
    void cancelEndsACheckAtOnce();
    void updateStart_data();
    void updateStart();
    void cancelledUpdateStartStoresNothing();

private:
    void serve(const QString &name, const QByteArray &bytes);
    Core::HttpClient client() const { return Core::HttpClient(Core::HttpOptions::fromConfig(m_config)); }

    QTemporaryDir m_downloads;
    std::unique_ptr<SandboxProcess> m_sandbox;
    Core::Config m_config;
};

void TestSelfUpdateJobs::initTestCase()
{
    QVERIFY(m_downloads.isValid());
    m_sandbox = std::make_unique<SandboxProcess>(
        QStringList{u"--published-version"_s, u"4"_s, u"--downloads"_s, m_downloads.path()});
    QVERIFY(m_sandbox->isRunning());
    m_config.proxy = m_sandbox->proxyUrl();
}

void TestSelfUpdateJobs::init()
{
    m_sandbox->reset();
    for (const QString &name : Files::entries(m_downloads.path()))
        QVERIFY(QFile::remove(m_downloads.filePath(name)));
}

void TestSelfUpdateJobs::serve(const QString &name, const QByteArray &bytes)
{
    QVERIFY(Files::write(m_downloads.filePath(name), bytes));
}

void TestSelfUpdateJobs::sandboxServesVersionAndDownloads()
{
    Core::HttpClient http = client();
    const QString venlo = mainProgramPackageAddress(m_config);
    QCOMPARE(Core::HttpGetText(http, publishedVersionAddress(m_config), 1), u"4"_s);
    QCOMPARE(http.get({venlo, Core::WaitMode::Long, Core::BodyKind::Program}).status, 404);
    serve(u"venlo.jpg"_s, "any bytes at all");
    const Core::HttpResult served = http.get({venlo, Core::WaitMode::Long, Core::BodyKind::Program});
    QCOMPARE(served.status, 200);
    QCOMPARE(served.body, QByteArray("any bytes at all"));

    // Without the options: the data folder's version file, and no downloads.
    SandboxProcess plain;
    QVERIFY(plain.isRunning());
    Core::Config plainConfig;
    plainConfig.proxy = plain.proxyUrl();
    Core::HttpClient plainHttp(Core::HttpOptions::fromConfig(plainConfig));
    QCOMPARE(Core::HttpGetText(plainHttp, publishedVersionAddress(plainConfig), 1), u"3.6"_s);
    QCOMPARE(
        plainHttp.get({updaterPackageAddress(plainConfig), Core::WaitMode::Long, Core::BodyKind::Program})
            .status,
        404);
}

void TestSelfUpdateJobs::startupCheckWithoutMainPageAsksNothing()
{
    QTemporaryDir programDir;
    VersionCheckJob job(client(), m_config, programDir.path(), VersionCheckJob::Kind::Startup, false);
    QCOMPARE(job.run().step, Step::Nothing);
    QCOMPARE(m_sandbox->count(u"/soft/venlo/s_ver.txt"_s), 0);
    QCOMPARE(Files::entries(programDir.path()), QStringList());
}

void TestSelfUpdateJobs::checks_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("record"); // null: no tb.dat
    QTest::addColumn<QString>("versionFault");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("question");

    const int startup = int(VersionCheckJob::Kind::Startup);
    const int manual = int(VersionCheckJob::Kind::Manual);
    const QByteArray installed36("\x01\x02\x03\x04\x05\x06\x07\x08\x09"
                                 "3.6   ");
    const QByteArray installed40("\x01\x02\x03\x04\x05\x06\x07\x08\x09"
                                 "4.0   ");
    QTest::newRow("start-up, newer published")
        << startup << QByteArray() << QString() << int(Step::Ask) << u"已有最新版本,请下载更新"_s;
    QTest::newRow("start-up, server gone")
        << startup << QByteArray() << u"reset"_s << int(Step::Nothing) << QString();
    QTest::newRow("start-up, error page")
        << startup << QByteArray() << u"status:404"_s << int(Step::Nothing) << QString();
    QTest::newRow("manual, no record") << manual << QByteArray() << QString() << int(Step::Ask)
                                       << u"无法确定现在的版本，最新版本是：4.0，是否需要强制再升级？"_s;
    QTest::newRow("manual, older installed") << manual << installed36 << QString() << int(Step::Ask)
                                             << u"最新版本是：4.0，需要升级，是否现在升级？"_s;
    QTest::newRow("manual, up to date") << manual << installed40 << QString() << int(Step::Ask)
                                        << u"现在已是最新版本：4.0，不用升级，是否需要强制再升级？"_s;
    QTest::newRow("manual, server gone") << manual << installed40 << u"reset"_s << int(Step::Ask)
                                         << u"最新版本是：，需要升级，是否现在升级？"_s;
    QTest::newRow("manual, error page") << manual << installed36 << u"status:500"_s << int(Step::Ask)
                                        << u"最新版本是：，需要升级，是否现在升级？"_s;
}

void TestSelfUpdateJobs::checks()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, record);
    QFETCH(QString, versionFault);
    QFETCH(int, step);
    QFETCH(QString, question);
    QTemporaryDir programDir;
    const QString recordPath = programDir.filePath(u"tb.dat"_s);
    if (!record.isNull()) {
        QVERIFY(Files::write(recordPath, record));
    }
    if (!versionFault.isEmpty())
        m_sandbox->addFault(u"*/soft/venlo/s_ver.txt"_s, versionFault);

    VersionCheckJob job(client(), m_config, programDir.path(), VersionCheckJob::Kind(kind));
    QSignalSpy finished(&job, &VersionCheckJob::finished);
    const VersionCheckOutcome outcome = job.run();
    QCOMPARE(int(outcome.step), step);
    QCOMPARE(outcome.question, question);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!outcome.cancelled);
    // The record is only read; a manual check leaves an empty one where there was none.
    if (kind == int(VersionCheckJob::Kind::Manual))
        QCOMPARE(Files::read(recordPath), record.isNull() ? QByteArray("") : record);
    else
        QCOMPARE(QFileInfo::exists(recordPath), !record.isNull());
}

void TestSelfUpdateJobs::cancelEndsACheckAtOnce()
{
    m_sandbox->addFault(u"*/soft/venlo/s_ver.txt"_s, u"hang"_s);
    QTemporaryDir programDir;
    VersionCheckJob job(client(), m_config, programDir.path(), VersionCheckJob::Kind::Startup);
    VersionCheckOutcome outcome;
    std::unique_ptr<QThread> worker(QThread::create([&] { outcome = job.run(); }));
    worker->start();
    QTRY_COMPARE(m_sandbox->count(u"/soft/venlo/s_ver.txt"_s), 1);
    QElapsedTimer timer;
    timer.start();
    job.cancel();
    QVERIFY(worker->wait(5000));
    QVERIFY(timer.elapsed() < 2000);
    QVERIFY(outcome.cancelled);
    QCOMPARE(outcome.step, Step::Nothing);
}

void TestSelfUpdateJobs::updateStart_data()
{
    QTest::addColumn<QByteArray>("present"); // the update program already there; null: none
    QTest::addColumn<QByteArray>("served");  // null: nothing served
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("succeeds");

    const QByteArray program = ProgramBytes::program(100000, 'u');
    QTest::newRow("present, used as it is")
        << QByteArray("an older update program") << program << QString() << true;
    QTest::newRow("downloaded") << QByteArray() << program << QString() << true;
    QTest::newRow("not served") << QByteArray() << QByteArray() << QString() << false;
    QTest::newRow("error page with status 200")
        << QByteArray() << QByteArray("<html>busy</html>") << QString() << false;
    QTest::newRow("broken off") << QByteArray() << program << u"truncate"_s << false;
    QTest::newRow("empty body") << QByteArray() << program << u"empty"_s << false;
    QTest::newRow("server error") << QByteArray() << program << u"status:503"_s << false;
}

void TestSelfUpdateJobs::updateStart()
{
    QFETCH(QByteArray, present);
    QFETCH(QByteArray, served);
    QFETCH(QString, fault);
    QFETCH(bool, succeeds);
    QTemporaryDir programDir;
    const QString target = programDir.filePath(programFileName(ProgramFile::Updater));
    if (!present.isNull()) {
        QVERIFY(Files::write(target, present));
    }
    if (!served.isNull())
        serve(u"update.jpg"_s, served);
    if (!fault.isEmpty())
        m_sandbox->addFault(u"*/soft/venlo/update.jpg"_s, fault);

    UpdateStartJob job(client(), m_config, programDir.path());
    const UpdateStartResult result = job.run();
    QCOMPARE(result.succeeded(), succeeds);
    QVERIFY(!result.cancelled);
    if (!succeeds) {
        QCOMPARE(result.message, u"升级失败,尝试退出软件重来"_s);
        QCOMPARE(result.program, QString());
        QCOMPARE(Files::entries(programDir.path()), QStringList()); // no partial file anywhere
        return;
    }
    QCOMPARE(result.message, QString());
    QCOMPARE(result.program, target);
    QCOMPARE(result.downloaded, present.isNull());
    QCOMPARE(m_sandbox->count(u"/soft/venlo/update.jpg"_s), present.isNull() ? 1 : 0);
    QCOMPARE(Files::read(target), present.isNull() ? served : present);
    QCOMPARE(Files::entries(programDir.path()), QStringList{programFileName(ProgramFile::Updater)});
#ifndef Q_OS_WIN
    if (present.isNull())
        QVERIFY(QFileInfo(target).permissions().testFlag(QFile::ExeOwner));
#endif
}

void TestSelfUpdateJobs::cancelledUpdateStartStoresNothing()
{
    serve(u"update.jpg"_s, ProgramBytes::program());
    m_sandbox->addFault(u"*/soft/venlo/update.jpg"_s, u"hang"_s);
    QTemporaryDir programDir;
    UpdateStartJob job(client(), m_config, programDir.path());
    UpdateStartResult result;
    std::unique_ptr<QThread> worker(QThread::create([&] { result = job.run(); }));
    worker->start();
    QTRY_COMPARE(m_sandbox->count(u"/soft/venlo/update.jpg"_s), 1);
    job.cancel();
    QVERIFY(worker->wait(5000));
    QVERIFY(result.cancelled);
    QCOMPARE(result.message, QString()); // the window is going away: nothing to say
    QCOMPARE(result.program, QString());
    QCOMPARE(Files::entries(programDir.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestSelfUpdateJobs)
#include "tst_selfupdatejobs.moc"
