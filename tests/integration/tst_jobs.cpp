#include "core/config.h"
#include "core/httpclient.h"
#include "export/startupjob.h"
#include "market/collectjob.h"
#include "market/importjob.h"
#include "market/parameterslots.h"
#include "sandboxprocess.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::Literals::StringLiterals;
using TestSupport::SandboxProcess;

namespace {

const QString richItem = u"0C7D360B00000000040100000CC1B772"_s;
const QString commaItem = u"1A2B3C4D00000000050200000DD2C883"_s;

// Runs a job on a thread of its own, as the window does, and cancels it after a while.
// Returns how long the job took to end after the cancel.
template <typename Job> qint64 cancelWhileRunning(Job &job, int afterMs)
{
    QThread *thread = QThread::create([&job] { job.run(); });
    thread->start();
    QThread::msleep(afterMs);
    QElapsedTimer timer;
    timer.start();
    job.cancel();
    thread->wait();
    delete thread;
    return timer.elapsed();
}

} // namespace

// The jobs of the main window's commands, run without a window against quorvex-sandbox.
class TestJobs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void startupReadsAndTidies();
    void startupSkipsWhatFails();
    void startupStopsAtOnce();
    void collectionStopsAtOnce();
    void aStoppedItemLookupMakesNoEntry();
    void importKeepsFileOrder();
    void importStopsAtOnce();
    void importOfAMissingFile();

private:
    QStringList designSlots() const;
    QString writeFile(const QString &name, const QByteArray &bytes);

    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<Core::HttpClient> m_client;
    Core::Config m_config;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestJobs::initTestCase()
{
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
    m_config.proxy = m_sandbox->proxyUrl();
    m_client = std::make_unique<Core::HttpClient>(Core::HttpOptions::fromConfig(m_config));
}

void TestJobs::init()
{
    m_sandbox->reset();
    m_dir = std::make_unique<QTemporaryDir>();
}

QStringList TestJobs::designSlots() const
{
    QStringList table(Market::MainSlot::count);
    table[Market::MainSlot::gateway] = Market::noticeVersionDesignText.toString();
    return table;
}

QString TestJobs::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestJobs::startupReadsAndTidies()
{
    writeFile(Export::leftoverUpdateCopyName(), "left by the updater");
    writeFile(u"sy_pic2.jpg"_s, "the user's own picture");
    Export::StartupJob job(*m_client, m_config, m_dir->path(), designSlots());
    QSignalSpy finished(&job, &Export::StartupJob::finished);
    const Export::StartupResult result = job.run();
    QCOMPARE(finished.size(), 1);
    QVERIFY(result.parametersRead);
    QCOMPARE(result.parameterSlots.size(), Market::MainSlot::count);
    QCOMPARE(result.parameterSlots.value(Market::MainSlot::startAddress),
             u"http://auction1.paipai.com/"_s + richItem);
    QVERIFY(result.applicationRead);
    QCOMPARE(result.applicationTable.size(), Market::applicationSlotCount);
    // Only the missing picture is fetched; the one there stays as it is.
    QCOMPARE(result.picturesFetched, QStringList{u"sy_pic1.jpg"_s});
    QCOMPARE(m_sandbox->count(u"/soft/venlo/sy_pic2.jpg"_s), 0);
    QVERIFY(result.leftoverRemoved);
    QVERIFY(!QFile::exists(m_dir->filePath(Export::leftoverUpdateCopyName())));
    QCOMPARE(result.failures, QStringList());
    QVERIFY(!result.cancelled);
}

void TestJobs::startupSkipsWhatFails()
{
    m_sandbox->addFault(u"*/soft/venlo/copy36.htm"_s, u"status:500"_s);
    m_sandbox->addFault(u"*/soft/venlo/sy_pic1.jpg"_s, u"status:404"_s);
    // Each failed step is logged where QT_LOGGING_RULES can turn it on.
    QLoggingCategory::setFilterRules(u"quorvex.startup.info=true"_s);
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(u"copy36\\.htm"_s));
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(u"sy_pic1\\.jpg"_s));
    Export::StartupJob job(*m_client, m_config, m_dir->path(), designSlots());
    const Export::StartupResult result = job.run();
    QLoggingCategory::setFilterRules({});
    // Without the main page the slots keep their design texts and the application page
    // is not asked for; the other steps still run.
    QVERIFY(!result.parametersRead);
    QCOMPARE(result.parameterSlots, designSlots());
    QVERIFY(!result.applicationRead);
    QCOMPARE(m_sandbox->count(u"/soft/venlo/copy_app35.htm"_s), 0);
    QCOMPARE(result.picturesFetched, QStringList{u"sy_pic2.jpg"_s});
    QVERIFY(!QFile::exists(m_dir->filePath(u"sy_pic1.jpg"_s)));
    QCOMPARE(result.failures.size(), 2);
    QVERIFY(result.failures.at(0).contains(u"copy36.htm"_s));
    QVERIFY(result.failures.at(1).contains(u"sy_pic1.jpg"_s));
}

void TestJobs::startupStopsAtOnce()
{
    m_sandbox->addFault(u"*/soft/venlo/copy36.htm"_s, u"hang"_s);
    Export::StartupJob job(*m_client, m_config, m_dir->path(), designSlots());
    QSignalSpy finished(&job, &Export::StartupJob::finished);
    const qint64 stopping = cancelWhileRunning(job, 300);
    QVERIFY2(stopping < 1000, qPrintable(QString::number(stopping)));
    QCOMPARE(finished.size(), 1);
    const auto result = finished.first().first().value<Export::StartupResult>();
    QVERIFY(result.cancelled);
    QVERIFY(!result.parametersRead);
    QVERIFY(result.picturesFetched.isEmpty());
    QCOMPARE(m_sandbox->count(u"/soft/venlo/sy_pic1.jpg"_s), 0);
}

void TestJobs::collectionStopsAtOnce()
{
    m_sandbox->addFault(u"*/999/list.xhtml*p=2*"_s, u"hang"_s);
    Market::CollectJob job(*m_client, m_config, Market::CollectMode::Shop, u"http://shop.paipai.com/999"_s);
    QSignalSpy entries(&job, &Market::CollectJob::entryFound);
    QSignalSpy finished(&job, &Market::CollectJob::finished);
    QThread *thread = QThread::create([&job] { job.run(); });
    thread->start();
    QTRY_COMPARE_WITH_TIMEOUT(entries.size(), 40, 20000);
    QTest::qWait(200);
    QElapsedTimer timer;
    timer.start();
    job.cancel();
    QVERIFY(thread->wait(5000));
    delete thread;
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(1).toBool(), true);
    QCOMPARE(finished.first().first().value<Market::CollectOutcome>().entries.size(), 40);
}

// A single item whose lookup the stop breaks off: no entry without its name reaches the list.
void TestJobs::aStoppedItemLookupMakesNoEntry()
{
    m_sandbox->addFault(u"*itemCode="_s + richItem + u'*', u"hang"_s);
    Market::CollectJob job(*m_client, m_config, Market::CollectMode::Single,
                           u"http://auction1.paipai.com/"_s + richItem);
    QSignalSpy entries(&job, &Market::CollectJob::entryFound);
    QSignalSpy finished(&job, &Market::CollectJob::finished);
    const qint64 stopping = cancelWhileRunning(job, 500);
    QVERIFY2(stopping < 1000, qPrintable(QString::number(stopping)));
    QCOMPARE(entries.size(), 0);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(1).toBool(), true);
}

void TestJobs::importKeepsFileOrder()
{
    // Entry lines keep their names; one without a name gets its item's name.
    const QString path =
        writeFile(u"list.txt"_s, (u"网址ID:"_s + richItem + u"：\n网址ID:X1：我的名字\njunk\n网址ID:"_s +
                                  commaItem + u"：\n网址ID:../x：\n"_s)
                                     .toUtf8());
    Market::ImportJob job(*m_client, m_config, path);
    QSignalSpy entries(&job, &Market::ImportJob::entryFound);
    QSignalSpy progress(&job, &Market::ImportJob::progress);
    const Market::ImportOutcome outcome = job.run();
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries.at(0).first().toString(),
             u"网址ID:"_s + richItem + u"：韩版秋冬新款毛呢外套 女中长款修身显瘦大衣 送围巾&腰带 包邮"_s);
    QCOMPARE(entries.at(1).first().toString(), u"网址ID:X1：我的名字"_s);
    QVERIFY(entries.at(2).first().toString().startsWith(u"网址ID:"_s + commaItem + u"：正品"_s));
    // A code that can't be an item code is never asked for.
    QCOMPARE(entries.at(3).first().toString(), u"网址ID:../x："_s);
    QCOMPARE(m_sandbox->count(u"/item/getItem.xhtml"_s), 2);
    QCOMPARE(progress.last().first().toString(), u"正在导入网址，共4个，已导入4个"_s);
    QCOMPARE(outcome.imported, 4);
    QCOMPARE(outcome.ignoredLines, 1);
    QVERIFY(!outcome.cancelled);
}

void TestJobs::importStopsAtOnce()
{
    m_sandbox->addFault(u"*itemCode="_s + commaItem + u'*', u"hang"_s);
    QByteArray bytes;
    for (int i = 0; i < 20; ++i)
        bytes += "http://auction1.paipai.com/" + (i == 2 ? commaItem : richItem).toLatin1() + "\r\n";
    Market::ImportJob job(*m_client, m_config, writeFile(u"list.txt"_s, bytes));
    QSignalSpy finished(&job, &Market::ImportJob::finished);
    const qint64 stopping = cancelWhileRunning(job, 500);
    QVERIFY2(stopping < 1000, qPrintable(QString::number(stopping)));
    const auto outcome = finished.first().first().value<Market::ImportOutcome>();
    QVERIFY(outcome.cancelled);
    QCOMPARE(outcome.total, 20);
    QCOMPARE(outcome.imported, 2); // the entries before the one that hangs, in file order
    QVERIFY(outcome.text().startsWith(u"导入已停止"_s));
}

void TestJobs::importOfAMissingFile()
{
    Market::ImportJob job(*m_client, m_config, m_dir->filePath(u"none.txt"_s));
    const Market::ImportOutcome outcome = job.run();
    QVERIFY(outcome.error.contains(u"none.txt"_s));
    QCOMPARE(outcome.text(), outcome.error);
    QCOMPARE(outcome.imported, 0);
}

QTEST_GUILESS_MAIN(TestJobs)
#include "tst_jobs.moc"
