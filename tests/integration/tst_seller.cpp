#include "cli.h"
#include "core/config.h"
#include "core/httpclient.h"
#include "market/itemservice.h"
#include "market/parampages.h"
#include "market/sellerlookup.h"
#include "sandboxprocess.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::Literals::StringLiterals;
using namespace Core;
using namespace Market;
using TestSupport::SandboxProcess;

namespace {

const QString gatewayPath = u"/router/rest"_s;
const QString tabs45 = QString(45, u'\t');

// "name#id#..." of a result's categories, for compact tables.
QString categoryText(const SellerLookupResult &result)
{
    return joinSellerCategories(result.categories);
}

// quorvex_demo with inner spaces, `length` characters in all.
QString spacedDemoNick(int length)
{
    return u"quorvex"_s + QString(length - 12, u' ') + u"_demo"_s;
}

} // namespace

// The seller lookup against quorvex-sandbox: the library job and quorvex-cli seller.
class TestSeller : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void lookupPerSeller_data();
    void lookupPerSeller();
    void emptyResultsFlowIntoTheFields_data();
    void emptyResultsFlowIntoTheFields();
    void secureGatewayIsNeverAsked();
    void plusInTheNickIsSignedAsASpace();
    void cancel();
    void runsOnAWorkerThread();
    void cli_data();
    void cli();
    void cliRefusals_data();
    void cliRefusals();

private:
    QStringList mainSlots();
    SellerLookupResult lookUp(const QString &nick, const QStringList &slotTexts);
    int runCli(const QStringList &arguments);

    std::unique_ptr<SandboxProcess> m_sandbox;
    Config m_config;
    QTemporaryDir m_dir;
    QString m_out;
    QString m_err;
};

void TestSeller::initTestCase()
{
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
    m_config.proxy = m_sandbox->proxyUrl();
}

void TestSeller::init()
{
    m_sandbox->reset();
}

QStringList TestSeller::mainSlots()
{
    HttpClient client(HttpOptions::fromConfig(m_config));
    return fetchParamSlots(client, m_config, ParamPage::Main);
}

SellerLookupResult TestSeller::lookUp(const QString &nick, const QStringList &slotTexts)
{
    HttpClient client(HttpOptions::fromConfig(m_config));
    SellerLookupJob job(client, m_config, slotTexts, nick);
    return job.run();
}

int TestSeller::runCli(const QStringList &arguments)
{
    m_out.clear();
    m_err.clear();
    QTextStream out(&m_out);
    QTextStream err(&m_err);
    const int status =
        Cli::run(QStringList{u"seller"_s} + arguments +
                     QStringList{u"--proxy"_s, m_sandbox->proxyUrl(), u"--program-dir"_s, m_dir.path()},
                 out, err);
    out.flush();
    err.flush();
    return status;
}

void TestSeller::lookupPerSeller_data()
{
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("itemId");
    QTest::addColumn<bool>("fromPage");
    QTest::addColumn<QString>("postage");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("categories");
    QTest::addColumn<QString>("message"); // what the window tells the user

    QTest::newRow("categories and sub-categories")
        << u"quorvex_demo"_s << u"520000000101"_s << false << u"7310001"_s << u"浙江/杭州"_s
        << u"女装#1101#连衣裙#1102#T恤#1103#家居&日用#1104#收纳整理#1105#"_s << QString();
    QTest::newRow("Chinese nick") << u"小周的杂货铺"_s << u"520000000201"_s << false << u"7310002"_s
                                  << u"广东/深圳"_s << u"新品#上架#2101#特价 专区#2102#清仓#2103#"_s
                                  << QString();
    QTest::newRow("item from the listing page")
        << u"page_only_shop"_s << u"520000000301"_s << true << u"7310003"_s << u"上海/上海"_s
        << u"数码配件#3101#"_s << QString();
    QTest::newRow("no categories") << u"no_category_shop"_s << u"520000000401"_s << false << u"7310004"_s
                                   << u"江苏/南京"_s << QString() << QString();
    QTest::newRow("no state") << u"no_state_shop"_s << u"520000000501"_s << false << u"7310005"_s
                              << u"/香港"_s << u"图书#5101#"_s << QString();
    QTest::newRow("no item at all") << u"empty_shop"_s << QString() << false << tabs45 << u"/"_s
                                    << u"预售#6101#"_s
                                    << u"没有找到掌柜“empty_shop”的商品，邮费模板ID和所在地查不到"_s;
    QTest::newRow("unknown seller")
        << u"nobody_here"_s << QString() << false << tabs45 << u"/"_s << QString()
        << u"没有查到掌柜“nobody_here”的信息：淘宝开放平台回答：15 Remote service error: 用户不存在：nobody_here"_s;
    QTest::newRow("spaces typed into the nick") << u"  no_state _shop "_s << u"520000000501"_s << false
                                                << u"7310005"_s << u"/香港"_s << u"图书#5101#"_s << QString();
}

void TestSeller::lookupPerSeller()
{
    QFETCH(QString, nick);
    QFETCH(QString, itemId);
    QFETCH(bool, fromPage);
    QFETCH(QString, postage);
    QFETCH(QString, location);
    QFETCH(QString, categories);
    QFETCH(QString, message);

    const QStringList slotTexts = mainSlots();
    m_sandbox->reset();
    const SellerLookupResult result = lookUp(nick, slotTexts);
    QVERIFY(!result.refused());
    QCOMPARE(result.nick, rewriteSellerNick(nick));
    QCOMPARE(result.itemId, itemId);
    QCOMPARE(result.itemFromPage, fromPage);
    QCOMPARE(result.postage, postage);
    QCOMPARE(result.location, location);
    QCOMPARE(categoryText(result), categories);
    QCOMPARE(result.foundAnything(), !itemId.isEmpty() || !categories.isEmpty());
    QCOMPARE(result.problems.isEmpty(), !itemId.isEmpty());
    QCOMPARE(result.message, message);

    // Four calls of the platform; the listing page only when the items call found nothing.
    QCOMPARE(m_sandbox->count(gatewayPath), 4);
    const int pageReads = itemId.isEmpty() || fromPage ? 1 : 0;
    QCOMPARE(m_sandbox->count(u"/soft/venlo/f_1sp.htm"_s), pageReads);
    QCOMPARE(m_sandbox->count(u"/seller/items.htm"_s), pageReads);
}

void TestSeller::emptyResultsFlowIntoTheFields_data()
{
    QTest::addColumn<QString>("gateway"); // slot 0; "" keeps the page's, "-" empties it
    QTest::addColumn<QString>("secret");  // slot 1; "" keeps the page's
    QTest::addColumn<QString>("fault");   // on the gateway's host
    QTest::addColumn<int>("clockOffset"); // seconds
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("itemId"); // from the listing page
    QTest::addColumn<int>("gatewayCalls");
    QTest::addColumn<QString>("told"); // how the user's message begins

    const QString demo = u"quorvex_demo"_s;
    const QString demoItem = u"520000000101"_s;
    const QString notFound = u"没有查到掌柜“quorvex_demo”的信息："_s;
    const QString noSlots = notFound + u"读不到查询所需的参数（网络不通或服务器出错）"_s;
    const QString noConnection = notFound + u"连接不上淘宝开放平台（网络不通或服务器出错）"_s;
    QTest::newRow("empty gateway slot")
        << u"-"_s << QString() << QString() << 0 << demo << demoItem << 0 << noSlots;
    QTest::newRow("design text in the gateway slot")
        << u"bb1.0"_s << QString() << QString() << 0 << demo << demoItem << 0 << noSlots;
    QTest::newRow("secure gateway") << u"https://gw.api.taobao.com/router/rest"_s << QString() << QString()
                                    << 0 << demo << demoItem << 0 << noSlots;
    QTest::newRow("secure gateway, a nick holding http://")
        << u"https://gw.api.taobao.com/router/rest"_s << QString() << QString() << 0
        << u"http://quorvex_demo"_s << QString() << 0
        << u"没有查到掌柜“http://quorvex_demo”的信息：读不到查询所需的参数（网络不通或服务器出错）"_s;
    QTest::newRow("bad signature") << QString() << u"not the secret"_s << QString() << 0 << demo << demoItem
                                   << 4 << notFound + u"淘宝开放平台回答：25 Invalid Signature"_s;
    QTest::newRow("stale timestamp") << QString() << QString() << QString() << -20 * 60 << demo << demoItem
                                     << 4 << notFound + u"淘宝开放平台回答：31 Invalid Timestamp"_s;
    QTest::newRow("server error") << QString() << QString() << u"status:500"_s << 0 << demo << demoItem << 4
                                  << notFound + u"淘宝开放平台没有正常回答（服务器出错）"_s;
    QTest::newRow("broken off") << QString() << QString() << u"truncate"_s << 0 << demo << demoItem << 4
                                << noConnection;
    QTest::newRow("no answer") << QString() << QString() << u"hang"_s << 0 << demo << demoItem << 8
                               << noConnection;
}

void TestSeller::emptyResultsFlowIntoTheFields()
{
    QFETCH(QString, gateway);
    QFETCH(QString, secret);
    QFETCH(QString, fault);
    QFETCH(int, clockOffset);
    QFETCH(QString, nick);
    QFETCH(QString, itemId);
    QFETCH(int, gatewayCalls);
    QFETCH(QString, told);

    QStringList slotTexts = mainSlots();
    if (!gateway.isEmpty())
        slotTexts[0] = gateway == u"-" ? QString() : gateway;
    if (!secret.isEmpty())
        slotTexts[1] = secret;
    m_sandbox->reset();
    if (!fault.isEmpty())
        m_sandbox->addFault(u"gw.api.taobao.com/*"_s, fault);

    HttpOptions options;
    options.proxy = m_config.proxy;
    options.longWaitMs = 300;
    HttpClient client(options);
    SellerLookupJob job(client, m_config, slotTexts, nick);
    job.setClock([clockOffset] { return QDateTime::currentDateTime().addSecs(clockOffset); });
    const SellerLookupResult result = job.run();

    // Every call comes back empty; the listing page may still find the first item.
    QCOMPARE(result.itemId, itemId);
    QCOMPARE(result.itemFromPage, !itemId.isEmpty());
    QCOMPARE(result.postage, tabs45);
    QCOMPARE(result.location, u"/"_s);
    QVERIFY(result.categories.isEmpty());
    QVERIFY(!result.problems.isEmpty());
    QVERIFY2(result.message.startsWith(told), qPrintable(result.message));
    QCOMPARE(m_sandbox->count(gatewayPath), gatewayCalls);
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), gatewayCalls + 2); // and f_1sp.htm, the listing
}

void TestSeller::secureGatewayIsNeverAsked()
{
    // A nick holding "http://" makes the whole address look fetchable; the gateway's own
    // slot still decides. Without a proxy, so an attempt would reach this server; the
    // job stops after the first call, before the listing page would leave the machine.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QStringList slotTexts = mainSlots();
    slotTexts[0] = u"https://127.0.0.1:"_s + QString::number(server.serverPort()) + u"/router/rest"_s;
    HttpOptions options;
    options.longWaitMs = 300;
    HttpClient client(options);
    SellerLookupJob job(client, m_config, slotTexts, u"http://quorvex_demo"_s);
    QObject::connect(
        &job, &SellerLookupJob::progress, &job, [&job] { job.cancel(); }, Qt::DirectConnection);
    const SellerLookupResult result = job.run();
    QVERIFY(!server.waitForNewConnection(100));
    QVERIFY(result.cancelled);
    QCOMPARE(result.problems.size(), 1);
    QVERIFY(result.problems.constFirst().startsWith(u"no open-platform gateway"_s));
}

void TestSeller::plusInTheNickIsSignedAsASpace()
{
    // "+" goes out raw and the platform reads a space: signed the same way, the call gets
    // past the signature check to the (unknown) seller "no state_shop".
    const SellerLookupResult result = lookUp(u"no+state_shop"_s, mainSlots());
    QCOMPARE(result.nick, u"no+state_shop"_s);
    QVERIFY2(result.problems.contains(
                 u"taobao.sellercats.list.get: 15 Remote service error: 用户不存在：no state_shop"_s),
             qPrintable(result.problems.join(u'\n')));
    QVERIFY(!result.problems.join(u'\n').contains(u"Invalid Signature"_s));
}

void TestSeller::cancel()
{
    const QStringList slotTexts = mainSlots();
    m_sandbox->reset();
    HttpClient client(HttpOptions::fromConfig(m_config));
    {
        SellerLookupJob job(client, m_config, slotTexts, u"quorvex_demo"_s);
        job.cancel();
        const SellerLookupResult result = job.run();
        QVERIFY(result.cancelled);
        QCOMPARE(result.nick, u"quorvex_demo"_s);
        QCOMPARE(result.postage, tabs45);
        QCOMPARE(result.location, u"/"_s);
        QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0);
    }
    {
        // Stopped after the first call: nothing more is asked.
        SellerLookupJob job(client, m_config, slotTexts, u"nobody_here"_s);
        QObject::connect(
            &job, &SellerLookupJob::progress, &job, [&job] { job.cancel(); }, Qt::DirectConnection);
        const SellerLookupResult result = job.run();
        QVERIFY(result.cancelled);
        QCOMPARE(result.problems.size(), 1);
        QCOMPARE(m_sandbox->count(gatewayPath), 1);
        QCOMPARE(m_sandbox->count(u"/soft/venlo/f_1sp.htm"_s), 0);
    }
}

void TestSeller::runsOnAWorkerThread()
{
    // The window's way: the job lives on a thread of its own and reports by queued signal.
    HttpClient client(HttpOptions::fromConfig(m_config));
    QThread thread;
    auto *job = new SellerLookupJob(client, m_config, mainSlots(), u"quorvex_demo"_s);
    job->moveToThread(&thread);
    connect(&thread, &QThread::started, job, [job] { job->run(); });
    connect(&thread, &QThread::finished, job, &QObject::deleteLater);
    SellerLookupResult received;
    Qt::HANDLE receivedOn = nullptr;
    connect(job, &SellerLookupJob::finished, this, [&](const SellerLookupResult &result) {
        received = result;
        receivedOn = QThread::currentThreadId();
    });
    thread.start();
    QTRY_VERIFY_WITH_TIMEOUT(receivedOn != nullptr, 20000);
    thread.quit();
    thread.wait();
    QCOMPARE(receivedOn, QThread::currentThreadId());
    QCOMPARE(received.categories.size(), 5);
    QCOMPARE(received.postage, u"7310001"_s);
}

void TestSeller::cli_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");

    QTest::newRow("categories, two selected")
        << QStringList{u"--nick"_s, u"quorvex_demo"_s, u"--select"_s, u"3,0"_s} << 0
        << u"nick\tquorvex_demo\npostage\t7310001\nlocation\t浙江/杭州\n"
           u"category\t女装\t1101\ncategory\t连衣裙\t1102\ncategory\tT恤\t1103\n"
           u"category\t家居&日用\t1104\ncategory\t收纳整理\t1105\n"
           u"shop-categories\t女装,家居&日用,\ncategory-ids\t,1101,1104,\n"_s;
    QTest::newRow("Chinese nick")
        << QStringList{u"--nick"_s, u"小周的杂货铺"_s} << 0
        << u"nick\t小周的杂货铺\npostage\t7310002\nlocation\t广东/深圳\n"
           u"category\t新品#上架\t2101\ncategory\t特价 专区\t2102\ncategory\t清仓\t2103\n"_s;
    QTest::newRow("item from the listing page")
        << QStringList{u"--nick"_s, u"page_only_shop"_s} << 0
        << u"nick\tpage_only_shop\npostage\t7310003\nlocation\t上海/上海\ncategory\t数码配件\t3101\n"_s;
    QTest::newRow("no categories, nothing selected")
        << QStringList{u"--nick"_s, u"no_category_shop"_s, u"--select"_s, QString()} << 0
        << u"nick\tno_category_shop\npostage\t7310004\nlocation\t江苏/南京\nshop-categories\t\ncategory-ids\t,\n"_s;
    QTest::newRow("no state")
        << QStringList{u"--nick"_s, u"no_state_shop"_s} << 0
        << u"nick\tno_state_shop\npostage\t7310005\nlocation\t/香港\ncategory\t图书\t5101\n"_s;
    QTest::newRow("no item, a category")
        << QStringList{u"--nick"_s, u"empty_shop"_s} << 0
        << u"nick\tempty_shop\npostage\t"_s + tabs45 + u"\nlocation\t/\ncategory\t预售\t6101\n"_s;
    QTest::newRow("unknown seller") << QStringList{u"--nick"_s, u"nobody_here"_s} << 1
                                    << u"nick\tnobody_here\npostage\t"_s + tabs45 + u"\nlocation\t/\n"_s;
    QTest::newRow("38 characters with spaces")
        << QStringList{u"--nick"_s, spacedDemoNick(38)} << 0
        << u"nick\tquorvex_demo\npostage\t7310001\nlocation\t浙江/杭州\n"
           u"category\t女装\t1101\ncategory\t连衣裙\t1102\n"
           u"category\tT恤\t1103\ncategory\t家居&日用\t1104\n"
           u"category\t收纳整理\t1105\n"_s;
    QTest::newRow("a row beyond the list")
        << QStringList{u"--nick"_s, u"no_state_shop"_s, u"--select"_s, u"0,1"_s} << 1
        << u"nick\tno_state_shop\npostage\t7310005\nlocation\t/香港\ncategory\t图书\t5101\n"_s;
}

void TestSeller::cli()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    QCOMPARE(runCli(arguments), status);
    QCOMPARE(m_out, output);
    QCOMPARE(m_err.isEmpty(), status == 0 && !arguments.contains(u"empty_shop"_s));
}

void TestSeller::cliRefusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString refused = u"请输入输入掌柜名(淘宝ID)\n"_s;
    QTest::newRow("39 characters, counted with the spaces")
        << QStringList{u"--nick"_s, spacedDemoNick(39)} << refused;
    QTest::newRow("initial text") << QStringList{u"--nick"_s, u"输入掌柜名(淘宝ID)"_s} << refused;
    QTest::newRow("blank") << QStringList{u"--nick"_s, u"   "_s} << refused;
    QTest::newRow("no nick") << QStringList{} << u"quorvex-cli seller: --nick is required\n"_s;
    QTest::newRow("rows that are not numbers")
        << QStringList{u"--nick"_s, u"quorvex_demo"_s, u"--select"_s, u"1,x"_s}
        << u"quorvex-cli seller: --select takes row numbers from 0, separated by commas, not 1,x\n"_s;
}

void TestSeller::cliRefusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QCOMPARE(runCli(arguments), 2);
    QVERIFY(m_out.isEmpty());
    QVERIFY2(m_err.startsWith(message), qPrintable(m_err));
    // Nothing was sent, not even the parameter page's request.
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestSeller)
#include "tst_seller.moc"
