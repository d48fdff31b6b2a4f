#include "core/config.h"
#include "core/httpclient.h"
#include "market/collection.h"
#include "market/itemlist.h"
#include "sandboxprocess.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using namespace Core;
using namespace Market;
using TestSupport::SandboxProcess;

// The listing-page walk of the shop modes against quorvex-sandbox: pages fetched several
// at once must give what a page-by-page walk gives.
class TestCollectPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void sameEntriesAsPageByPage_data();
    void sameEntriesAsPageByPage();
    void failedPageIsCountedAndTheRestKept_data();
    void failedPageIsCountedAndTheRestKept();
    void stopEndsPromptly_data();
    void stopEndsPromptly();

private:
    CollectOutcome collect(const QString &address, int pagesInFlight = 0);
    std::unique_ptr<SandboxProcess> m_sandbox;
    Config m_config;
};

namespace {

// The code of item i of a generated shop: the seed, then the index.
QString generatedCode(int seed, int index)
{
    return u"%1%2"_s.arg(seed, 8, 16, QChar(u'0')).arg(index, 24, 16, QChar(u'0')).toUpper();
}

QStringList codesOf(const QStringList &entries)
{
    QStringList codes;
    for (const QString &entry : entries)
        codes << itemCodeFromEntry(entry);
    return codes;
}

QStringList generatedCodes(int seed, int from, int to)
{
    QStringList codes;
    for (int i = from; i < to; ++i)
        codes << generatedCode(seed, i);
    return codes;
}

} // namespace

void TestCollectPages::initTestCase()
{
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
    m_config.proxy = m_sandbox->proxyUrl();
}

void TestCollectPages::init()
{
    m_sandbox->reset();
}

CollectOutcome TestCollectPages::collect(const QString &address, int pagesInFlight)
{
    HttpClient client(HttpOptions::fromConfig(m_config));
    Collector collector(client, m_config);
    collector.setPagesInFlight(pagesInFlight);
    return collector.run(CollectMode::Shop, address);
}

void TestCollectPages::sameEntriesAsPageByPage_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("seed"); // 0: not a generated shop
    QTest::addColumn<int>("count");
    QTest::newRow("three pages") << u"http://shop.paipai.com/999"_s << 999 << 85;
    QTest::newRow("200 pages") << u"http://shop.paipai.com/4000"_s << 4000 << 8000;
    QTest::newRow("pages behind a redirect") << u"http://shop.paipai.com/555"_s << 0 << 3;
}

void TestCollectPages::sameEntriesAsPageByPage()
{
    QFETCH(QString, address);
    QFETCH(int, seed);
    QFETCH(int, count);
    m_sandbox->setLatency(10); // enough for every connection to be busy at once

    const CollectOutcome together = collect(address);
    const QJsonObject peak = m_sandbox->peak().value(u"peakPerHost"_s).toObject();
    const CollectOutcome oneByOne = collect(address, 1);

    QVERIFY(together.finished);
    QCOMPARE(together.failedPages, 0);
    QCOMPARE(together.entries.size(), count);
    QCOMPARE(together.entries, oneByOne.entries);
    if (seed > 0) {
        QCOMPARE(codesOf(together.entries), generatedCodes(seed, 0, count));
        if (count > 40 * 12) // more pages than are asked for at once
            QCOMPARE(peak.value(u"shop.paipai.com"_s).toInt(), m_config.maxConnectionsPerHost);
    }
}

void TestCollectPages::failedPageIsCountedAndTheRestKept_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("connection reset") << u"reset"_s;
    QTest::newRow("empty reply") << u"empty"_s;
    QTest::newRow("transfer broken off") << u"truncate"_s;
}

void TestCollectPages::failedPageIsCountedAndTheRestKept()
{
    QFETCH(QString, kind);
    m_sandbox->addFault(u"shop.paipai.com/999/list.xhtml?*&p=2"_s, kind);
    const CollectOutcome outcome = collect(u"http://shop.paipai.com/999"_s);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.failedPages, 1);
    QCOMPARE(codesOf(outcome.entries), generatedCodes(999, 0, 40) + generatedCodes(999, 80, 85));
    QCOMPARE(outcome.entries, collect(u"http://shop.paipai.com/999"_s, 1).entries);
}

void TestCollectPages::stopEndsPromptly_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel()") << u"cancel"_s;
    QTest::newRow("token handed in") << u"token"_s;
    QTest::newRow("token of the client handle") << u"handle"_s;
}

void TestCollectPages::stopEndsPromptly()
{
    QFETCH(QString, how);
    // Page 2 never answers and the wait is the full minute: only the stop can end the run.
    m_sandbox->addFault(u"shop.paipai.com/999/list.xhtml?*&p=2"_s, u"hang"_s);
    HttpClient client(HttpOptions::fromConfig(m_config));
    CancelToken token;
    HttpClient handle = how == u"handle"_s ? client.withCancel(token) : client;
    Collector collector(handle, m_config, how == u"token"_s ? token : CancelToken());
    std::atomic_int pagesRead = 0;
    collector.onProgress = [&pagesRead](const QString &text) {
        if (text.contains(u"已读取"_s))
            ++pagesRead;
    };

    QElapsedTimer sinceStop;
    std::thread stopper([&] {
        // Stop once page 1 is read and the others are on the wire (plain polling: no test
        // macro off the test thread).
        for (int i = 0; i < 200 && (pagesRead < 1 || m_sandbox->count(u"/999/list.xhtml"_s) < 4); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sinceStop.start();
        if (how == u"cancel"_s)
            collector.cancel();
        else
            token.cancel();
    });
    const CollectOutcome outcome = collector.run(CollectMode::Shop, u"http://shop.paipai.com/999"_s);
    const qint64 elapsed = sinceStop.elapsed();
    stopper.join();
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    QVERIFY(outcome.cancelled);
    QVERIFY(!outcome.finished);
    QCOMPARE(pagesRead.load(), 1);
    QCOMPARE(codesOf(outcome.entries), generatedCodes(999, 0, 40));
}

QTEST_GUILESS_MAIN(TestCollectPages)
#include "tst_collectpages.moc"
