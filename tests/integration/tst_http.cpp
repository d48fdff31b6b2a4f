#include "core/config.h"
#include "core/httpclient.h"
#include "core/text.h"
#include "market/itemservice.h"
#include "market/parampages.h"
#include "sandboxprocess.h"

#include <QElapsedTimer>
#include <QFutureSynchronizer>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Core;
using namespace Market;
using TestSupport::SandboxProcess;

// The network layer against quorvex-sandbox, used as the proxy of every request.
class TestHttp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void refusedAddresses_data();
    void refusedAddresses();
    void httpAfterOtherText();
    void gbkText();
    void textFaults_data();
    void textFaults();
    void downloadsReportStatusAndCompleteness();
    void shortWaitGivesUpAfterTwoWaits();
    void connectionLimitPerHost();
    void connectionLimitThroughProxyIsPerHost();
    void itemService();
    void parameterPageFallback();
    void failureReasons_data();
    void failureReasons();
    void cancelAbortsRequestsInFlight();
    void cancelledTokenSendsNothing();
    void destroyingTheClientWithRequestsInFlight();
    void resetNeighbourDoesNotFailOthers();

private:
    HttpOptions options() const;
    std::unique_ptr<SandboxProcess> m_sandbox;
    Config m_config;
    const QString m_firstItem = u"0C7D360B00000000040100000CC1B772"_s;
};

void TestHttp::initTestCase()
{
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
    m_config.proxy = m_sandbox->proxyUrl();
}

void TestHttp::init()
{
    m_sandbox->reset();
}

HttpOptions TestHttp::options() const
{
    return HttpOptions::fromConfig(m_config);
}

void TestHttp::refusedAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("secure scheme") << u"https://static.paipaiimg.com/js/cities.js"_s;
    QTest::newRow("blank") << u"   "_s;
    QTest::newRow("no scheme") << u"static.paipaiimg.com/js/cities.js"_s;
    QTest::newRow("upper-case scheme alone") << u"HTTP://static.paipaiimg.com/js/cities.js"_s;
}

void TestHttp::refusedAddresses()
{
    QFETCH(QString, address);
    HttpClient client(options());
    QCOMPARE(HttpGetText(client, address, 1), QString());
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0); // no request left the program
}

void TestHttp::httpAfterOtherText()
{
    HttpClient client(options());
    const QString text = HttpGetText(client, u"HTTP://static.paipaiimg.com/js/cities.js?from=http://x"_s, 1);
    QVERIFY(text.contains(u"city"_s, Qt::CaseInsensitive));
    QCOMPARE(m_sandbox->count(u"/js/cities.js"_s), 1);
}

void TestHttp::gbkText()
{
    HttpClient client(options());
    const QString document = HttpGetText(client, itemServiceAddress(m_config, m_firstItem), 1);
    QVERIFY(document.contains(u"<itemName>韩版秋冬新款毛呢外套"_s));
    // The same bytes read as UTF-8 are not the title.
    const QString asUtf8 = HttpGetUtf8Text(client, itemServiceAddress(m_config, m_firstItem), 1);
    QVERIFY(!asUtf8.isEmpty());
    QVERIFY(!asUtf8.contains(u"韩版"_s));
}

void TestHttp::textFaults_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("empty");
    QTest::newRow("error page comes back as text") << u"status:404"_s << false;
    QTest::newRow("server error page too") << u"status:500"_s << false;
    QTest::newRow("empty body") << u"empty"_s << true;
    QTest::newRow("truncated body") << u"truncate"_s << true;
    QTest::newRow("reset") << u"reset"_s << true;
}

void TestHttp::textFaults()
{
    QFETCH(QString, kind);
    QFETCH(bool, empty);
    m_sandbox->addFault(u"*/js/cities.js"_s, kind);
    HttpClient client(options());
    const QString text = HttpGetText(client, u"http://static.paipaiimg.com/js/cities.js"_s, 2);
    QCOMPARE(text.isEmpty(), empty);
}

void TestHttp::downloadsReportStatusAndCompleteness()
{
    HttpClient client(options());
    const HttpResult good =
        client.get({u"http://img0.paipaiimg.com/a1/0C7D360B/main1.jpg"_s, WaitMode::Long});
    QVERIFY(good.succeeded());
    QCOMPARE(good.status, 200);
    QVERIFY(good.body.startsWith("\xFF\xD8"));

    m_sandbox->addFault(u"*/broken.jpg"_s, u"truncate"_s);
    m_sandbox->addFault(u"*/missing.jpg"_s, u"status:404"_s);
    const HttpResult broken = client.get({u"http://img0.paipaiimg.com/broken.jpg"_s, WaitMode::Long});
    QVERIFY(!broken.completed);
    QVERIFY(!broken.succeeded());
    const HttpResult missing = client.get({u"http://img0.paipaiimg.com/missing.jpg"_s, WaitMode::Long});
    QVERIFY(missing.completed);
    QCOMPARE(missing.status, 404);
    QVERIFY(!missing.succeeded());

    // A reply above the size limit is broken off, whatever it holds.
    Core::HttpOptions small = options();
    small.maxPageBytes = 1000;
    HttpClient limited(small);
    const HttpResult big =
        limited.get({u"http://img0.paipaiimg.com/a1/0C7D360B/main1.jpg"_s, WaitMode::Long});
    QVERIFY(!big.completed);
    QVERIFY(big.body.isEmpty());
    QVERIFY(big.error.contains(u"larger"_s));
    QCOMPARE(HttpGetText(limited, u"http://static.paipaiimg.com/js/cities.js"_s, 1), QString());
}

void TestHttp::shortWaitGivesUpAfterTwoWaits()
{
    m_sandbox->addFault(u"*/soft/venlo/s_ver.txt"_s, u"hang"_s);
    HttpOptions quick = options();
    quick.shortWaitMs = 300;
    quick.longWaitMs = 60000;
    HttpClient client(quick);
    QElapsedTimer timer;
    timer.start();
    const HttpResult result = client.get({u"http://www.pelmora.com/soft/venlo/s_ver.txt"_s, WaitMode::Short});
    const qint64 elapsed = timer.elapsed();
    QVERIFY(!result.completed);
    QCOMPARE(result.attempts, 2);
    QVERIFY2(elapsed >= 600 && elapsed < 30000, qPrintable(QString::number(elapsed)));
    QTRY_COMPARE(m_sandbox->count(u"/soft/venlo/s_ver.txt"_s), 2);
}

void TestHttp::connectionLimitPerHost()
{
    Config limited = m_config;
    limited.maxConnectionsPerHost = 2;
    m_sandbox->setLatency(50);
    HttpClient client(HttpOptions::fromConfig(limited));
    QFutureSynchronizer<HttpResult> all;
    for (int i = 0; i < 12; ++i)
        all.addFuture(client.getAsync(
            {u"http://img0.paipaiimg.com/a1/0C7D360B/main1.jpg?n="_s + QString::number(i), WaitMode::Long}));
    all.waitForFinished();
    for (const QFuture<HttpResult> &future : all.futures())
        QVERIFY(future.result().succeeded());
    const QJsonObject peak = m_sandbox->peak();
    QVERIFY2(peak.value(u"peakPerHost"_s).toObject().value(u"img0.paipaiimg.com"_s).toInt() <= 2,
             QJsonDocument(peak).toJson().constData());
    QCOMPARE(m_sandbox->count(u"/a1/0C7D360B/main1.jpg"_s), 12);
}

// Through one proxy the network manager still pools per target host: four hosts get their
// six connections each at once, none of them more.
void TestHttp::connectionLimitThroughProxyIsPerHost()
{
    QVERIFY(!m_config.proxy.isEmpty());
    m_sandbox->setLatency(300);
    HttpClient client(options());
    QFutureSynchronizer<HttpResult> all;
    for (int i = 0; i < 48; ++i)
        all.addFuture(client.getAsync({u"http://img"_s + QString::number(i % 4) +
                                           u".paipaiimg.com/a1/0C7D360B/main1.jpg?n="_s + QString::number(i),
                                       WaitMode::Long}));
    all.waitForFinished();
    for (const QFuture<HttpResult> &future : all.futures())
        QVERIFY(future.result().succeeded());
    const QJsonObject peak = m_sandbox->peak();
    const QByteArray shown = QJsonDocument(peak).toJson();
    QVERIFY2(peak.value(u"peakConnections"_s).toInt() > 6, shown.constData());
    const QJsonObject perHost = peak.value(u"peakPerHost"_s).toObject();
    QCOMPARE(perHost.size(), 4);
    for (const QJsonValue &connections : perHost)
        QVERIFY2(connections.toInt() <= 6, shown.constData());
    QCOMPARE(m_sandbox->count(u"/a1/0C7D360B/main1.jpg"_s), 48);
}

void TestHttp::itemService()
{
    HttpClient client(options());
    QCOMPARE(QueryItemFields(client, m_config, u" "_s + m_firstItem + u" "_s, u"itemPrice, stockCount"_s),
             u"26800\t35"_s);
    QCOMPARE(m_sandbox->hostCount(u"api.paipai.com/item/getItem.xhtml"_s), 1);
    QCOMPARE(QueryItemFields(client, m_config, u"FFFF"_s, u"itemName"_s), blankFieldResult());
    m_sandbox->addFault(u"api.paipai.com/*"_s, u"reset"_s);
    QCOMPARE(QueryItemFields(client, m_config, m_firstItem, u"itemName"_s), blankFieldResult());
}

void TestHttp::parameterPageFallback()
{
    HttpClient client(options());
    QStringList table;
    QVERIFY(loadParamPage(client, m_config, ParamPage::Main, table));
    QCOMPARE(table.size(), 43);
    QCOMPARE(table.at(0), u"http://gw.api.taobao.com/router/rest"_s);
    QCOMPARE(table.at(28), u"<img"_s);
    QCOMPARE(m_sandbox->hostCount(u"soft.pelmora.com/soft/venlo/copy36.htm"_s), 0);

    // A blank reply from the primary host sends the main page to the secondary one.
    m_sandbox->addFault(u"www.pelmora.com/soft/venlo/copy36.htm"_s, u"empty"_s);
    QStringList again{u"design"_s};
    QVERIFY(loadParamPage(client, m_config, ParamPage::Main, again));
    QCOMPARE(m_sandbox->hostCount(u"soft.pelmora.com/soft/venlo/copy36.htm"_s), 1);

    // Both hosts failing leaves the slots as they were.
    m_sandbox->addFault(u"soft.pelmora.com/soft/venlo/*"_s, u"status:404"_s);
    QStringList kept{u"design"_s};
    QVERIFY(!loadParamPage(client, m_config, ParamPage::Main, kept));
    QCOMPARE(kept.value(0), u"design"_s);

    // The application page falls back when its check text is missing, not only when blank.
    m_sandbox->reset();
    m_sandbox->addFault(u"www.pelmora.com/soft/venlo/copy_app35.htm"_s, u"status:404"_s);
    const QStringList app = fetchParamSlots(client, m_config, ParamPage::App);
    QCOMPARE(app.size(), 21);
    QCOMPARE(m_sandbox->hostCount(u"soft.pelmora.com/soft/venlo/copy_app35.htm"_s), 1);
}

void TestHttp::failureReasons_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("attempts");
    QTest::addColumn<QString>("reason");
    using F = HttpResult::Failure;
    QTest::newRow("error status") << u"status:503"_s << int(F::None) << 1 << u"服务器返回错误（HTTP 503）"_s;
    QTest::newRow("reset before an answer, asked twice")
        << u"reset"_s << int(F::Closed) << 2 << u"服务器断开了连接，没有应答"_s;
    QTest::newRow("broken off mid-body")
        << u"truncate"_s << int(F::BrokenOff) << 1 << u"传输中断，内容不完整（HTTP 200）"_s;
    QTest::newRow("no answer") << u"hang"_s << int(F::NoAnswer) << 2 << u"服务器无应答（等待超时）"_s;
}

void TestHttp::failureReasons()
{
    QFETCH(QString, kind);
    QFETCH(int, failure);
    QFETCH(int, attempts);
    QFETCH(QString, reason);
    m_sandbox->addFault(u"*/js/cities.js"_s, kind);
    HttpOptions quick = options();
    quick.longWaitMs = 300;
    HttpClient client(quick);
    const HttpResult result = client.get({u"http://static.paipaiimg.com/js/cities.js"_s, WaitMode::Long});
    QCOMPARE(int(result.failure), failure);
    QCOMPARE(result.attempts, attempts);
    QCOMPARE(result.reason(), reason);
    QVERIFY(!result.succeeded());
}

void TestHttp::cancelAbortsRequestsInFlight()
{
    m_sandbox->addFault(u"img1.paipaiimg.com/*"_s, u"hang"_s);
    HttpClient client(options()); // the long wait: a minute
    CancelToken token;
    HttpClient cancellable = client.withCancel(token);
    QList<QFuture<HttpResult>> replies;
    for (int i = 0; i < 10; ++i) // more than the connection limit: some wait in the queue
        replies << cancellable.getAsync({u"http://img1.paipaiimg.com/x"_s + QString::number(i) + u".jpg"_s});
    QTRY_COMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 6);
    QElapsedTimer timer;
    timer.start();
    token.cancel();
    for (QFuture<HttpResult> &reply : replies) {
        reply.waitForFinished();
        QCOMPARE(reply.result().failure, HttpResult::Failure::Cancelled);
        QCOMPARE(reply.result().reason(), u"已停止"_s);
    }
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(cancellable.isCancelled());
    QVERIFY(!client.isCancelled());
    // The client itself, and its connections, serve on.
    QVERIFY(client.get({u"http://img0.paipaiimg.com/a1/0C7D360B/main1.jpg"_s}).succeeded());
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 7); // the queued ones never left
}

void TestHttp::cancelledTokenSendsNothing()
{
    HttpClient client(options());
    CancelToken token;
    token.cancel();
    HttpClient cancellable = client.withCancel(token);
    QCOMPARE(cancellable.get({u"http://static.paipaiimg.com/js/cities.js"_s}).failure,
             HttpResult::Failure::Cancelled);
    QCOMPARE(HttpGetText(cancellable, u"http://static.paipaiimg.com/js/cities.js"_s, 1), QString());
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0);
}

void TestHttp::destroyingTheClientWithRequestsInFlight()
{
    m_sandbox->addFault(u"img1.paipaiimg.com/*"_s, u"hang"_s);
    QList<QFuture<HttpResult>> replies;
    QElapsedTimer timer;
    {
        HttpClient client(options());
        for (int i = 0; i < 8; ++i)
            replies << client.getAsync({u"http://img1.paipaiimg.com/y"_s + QString::number(i) + u".jpg"_s});
        QTRY_COMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 6);
        timer.start();
    }
    QVERIFY(timer.elapsed() < 1000);
    for (const QFuture<HttpResult> &reply : replies) {
        QVERIFY(reply.isFinished());
        QVERIFY(!reply.result().succeeded());
    }
}

// A picture whose transfer is reset mid-body fails alone; the others of the same host,
// sharing its connections, all arrive.
void TestHttp::resetNeighbourDoesNotFailOthers()
{
    for (int round = 0; round < 5; ++round) {
        m_sandbox->reset();
        m_sandbox->addFault(u"img2.paipaiimg.com/gen/1/*/3.jpg"_s, u"truncate"_s);
        m_sandbox->addFault(u"img2.paipaiimg.com/gen/1/*/7.jpg"_s, u"reset"_s);
        HttpClient client(options());
        QList<std::pair<QString, QFuture<HttpResult>>> replies;
        for (int item = 0; item < 6; ++item) {
            for (int k = 0; k < 10; ++k) {
                const QString url = u"http://img2.paipaiimg.com/gen/1/"_s + QString::number(item) + u'/' +
                                    QString::number(k) + u".jpg"_s;
                replies.append({url, client.getAsync({url, WaitMode::Long, BodyKind::Picture})});
            }
        }
        int failed = 0;
        for (auto &[url, reply] : replies) {
            const HttpResult result = reply.result();
            const bool faulty = url.endsWith(u"/3.jpg"_s) || url.endsWith(u"/7.jpg"_s);
            QVERIFY2(result.succeeded() != faulty, qPrintable(url + u": "_s + result.reason()));
            failed += result.succeeded() ? 0 : 1;
        }
        QCOMPARE(failed, 12);
    }
}

QTEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
