#include "market/itemservice.h"
#include "market/openplatform.h"
#include "market/sellerlookup.h"

#include <QCryptographicHash>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Core;
using namespace Market;

Q_DECLARE_METATYPE(QList<Market::SellerCategory>)

namespace {

OpenPlatformParams letters()
{
    return {u"http://gw.example/router/rest"_s, u"S"_s, u"K"_s, u"M"_s, u"V"_s, u"F"_s};
}

// MD5 of the bytes, computed here without the product's digest.
QString md5Upper(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper());
}

using Categories = QList<SellerCategory>;

} // namespace

class TestOpenPlatform : public QObject
{
    Q_OBJECT

private slots:
    void slotsAndTimestamp();
    void signedRequests_data();
    void signedRequests();
    void firstItemId_data();
    void firstItemId();
    void categories_data();
    void categories();
    void hugeAndUnbalancedReplies_data();
    void hugeAndUnbalancedReplies();
    void location_data();
    void location();
    void platformError();
    void nickChecks_data();
    void nickChecks();
    void nickRewriting_data();
    void nickRewriting();
    void categoryStep_data();
    void categoryStep();
};

void TestOpenPlatform::slotsAndTimestamp()
{
    const QStringList table{u"http://gw/r"_s, u"secret"_s, u"key"_s,  u"md5"_s,
                            u"2.0"_s,         u"xml"_s,    u"other"_s};
    const OpenPlatformParams params = OpenPlatformParams::fromSlots(table);
    QCOMPARE(params.gateway, u"http://gw/r"_s);
    QCOMPARE(params.secret, u"secret"_s);
    QCOMPARE(params.appKey, u"key"_s);
    QCOMPARE(params.signMethod, u"md5"_s);
    QCOMPARE(params.version, u"2.0"_s);
    QCOMPARE(params.format, u"xml"_s);
    // A page that could not be read leaves every value empty.
    QCOMPARE(OpenPlatformParams::fromSlots({}).gateway, QString());

    QCOMPARE(openPlatformTimestamp(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9))), u"2024-03-05 07:08:09"_s);
    QCOMPARE(openPlatformTimestamp(QDateTime(QDate(2013, 12, 31), QTime(23, 59, 0))),
             u"2013-12-31 23:59:00"_s);
}

void TestOpenPlatform::signedRequests_data()
{
    QTest::addColumn<QList<QueryParameter>>("parameters");
    QTest::addColumn<QString>("signingText");
    QTest::addColumn<QString>("query");
    // The bytes the signature must be the MD5 of: UTF-8, every "+" a space.
    QTest::addColumn<QByteArray>("digested");

    const OpenPlatformParams p = letters();
    const QString t = u"T"_s;
    QTest::newRow("categories call, the worked example")
        << sellerCategoriesParameters(p, u"abc"_s, t)
        << u"Sapp_keyKformatFmethodtaobao.sellercats.list.getnickabcsign_methodMtimestampTvVS"_s
        << u"app_key=K&format=F&method=taobao.sellercats.list.get&nick=abc&sign_method=M&timestamp=T&v=V"_s
        << QByteArray("Sapp_keyKformatFmethodtaobao.sellercats.list.getnickabcsign_methodMtimestampTvVS");
    QTest::newRow("item call, timestamp's space raw")
        << itemGetParameters(p, u"520000000101"_s, u"postage_id"_s, u"2024-03-05 07:08:09"_s)
        << u"Sapp_keyKfieldspostage_idformatFmethodtaobao.item.getnum_iid520000000101sign_methodM"
           u"timestamp2024-03-05 07:08:09vVS"_s
        << u"app_key=K&fields=postage_id&format=F&method=taobao.item.get&num_iid=520000000101&sign_method=M"
           u"&timestamp=2024-03-05 07:08:09&v=V"_s
        << QByteArray("Sapp_keyKfieldspostage_idformatFmethodtaobao.item.getnum_iid520000000101sign_methodM"
                      "timestamp2024-03-05 07:08:09vVS");
    QTest::newRow("items call, Chinese nick: signed over UTF-8, sent percent-encoded")
        << firstItemOfSellerParameters(p, u"小周"_s, t)
        << u"Sapp_keyKfieldsnum_iidformatFmethodtaobao.items.getnicks小周order_bydelist_timesign_methodM"
           u"timestampTvVS"_s
        << u"app_key=K&fields=num_iid&format=F&method=taobao.items.get&nicks=%E5%B0%8F%E5%91%A8"
           u"&order_by=delist_time&sign_method=M&timestamp=T&v=V"_s
        << QByteArray("Sapp_keyKfieldsnum_iidformatFmethodtaobao.items.getnicks\xE5\xB0\x8F\xE5\x91\xA8"
                      "order_bydelist_timesign_methodMtimestampTvVS");
    QTest::newRow("plus in the signing text counts as a space, sent raw")
        << sellerCategoriesParameters(p, u"a+b"_s, t)
        << u"Sapp_keyKformatFmethodtaobao.sellercats.list.getnicka+bsign_methodMtimestampTvVS"_s
        << u"app_key=K&format=F&method=taobao.sellercats.list.get&nick=a+b&sign_method=M&timestamp=T&v=V"_s
        << QByteArray("Sapp_keyKformatFmethodtaobao.sellercats.list.getnicka bsign_methodMtimestampTvVS");
    QTest::newRow("empty item id still sent")
        << itemGetParameters(p, QString(), u"location"_s, t)
        << u"Sapp_keyKfieldslocationformatFmethodtaobao.item.getnum_iidsign_methodMtimestampTvVS"_s
        << u"app_key=K&fields=location&format=F&method=taobao.item.get&num_iid=&sign_method=M&timestamp=T&v=V"_s
        << QByteArray("Sapp_keyKfieldslocationformatFmethodtaobao.item.getnum_iidsign_methodMtimestampTvVS");
}

void TestOpenPlatform::signedRequests()
{
    QFETCH(QList<QueryParameter>, parameters);
    QFETCH(QString, signingText);
    QFETCH(QString, query);
    QFETCH(QByteArray, digested);

    const SignedRequest request = signRequest(letters(), parameters);
    QCOMPARE(request.signingText, signingText);
    QCOMPARE(request.signature, md5Upper(digested));
    QCOMPARE(request.query, query + u"&sign="_s + request.signature);
    QCOMPARE(request.address, u"http://gw.example/router/rest?"_s + request.query);
    // The secret is signed, never sent.
    QVERIFY(!request.query.contains(u"=S&"_s));
}

void TestOpenPlatform::firstItemId_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("id");
    QTest::newRow("first of two")
        << u"<items_get_response><items list=\"true\"><item><num_iid>11</num_iid></item>"
           u"<item><num_iid>12</num_iid></item></items><total_results>2</total_results></items_get_response>"_s
        << u"11"_s;
    QTest::newRow("trimmed") << u"<num_iid>  42 </num_iid>"_s << u"42"_s;
    QTest::newRow("no items")
        << u"<items_get_response><total_results>0</total_results></items_get_response>"_s << QString();
    QTest::newRow("error reply")
        << u"<error_response><code>25</code><msg>Invalid signature</msg></error_response>"_s << QString();
    QTest::newRow("unclosed") << u"<num_iid>11"_s << QString();
    QTest::newRow("blank") << u"   "_s << QString();
}

void TestOpenPlatform::firstItemId()
{
    QFETCH(QString, reply);
    QFETCH(QString, id);
    QCOMPARE(readFirstItemId(reply), id);
}

void TestOpenPlatform::categories_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<Categories>("expected");

    // Replies with <seller_cat> elements: each category from inside its own element.
    QTest::newRow("platform order: cid, parent_cid, name")
        << u"<sellercats_list_get_response><seller_cats list=\"true\">"
           u"<seller_cat><cid>1101</cid><parent_cid>0</parent_cid><name>女装</name><sort_order>1</"
           u"sort_order></seller_cat>"
           u"<seller_cat><cid>1102</cid><parent_cid>1101</parent_cid><name>连衣裙</name></seller_cat>"
           u"<seller_cat><cid>1103</cid><parent_cid>1101</parent_cid><name>T恤</name></seller_cat>"
           u"</seller_cats></sellercats_list_get_response>"_s
        << Categories{{u"女装"_s, u"1101"_s}, {u"连衣裙"_s, u"1102"_s}, {u"T恤"_s, u"1103"_s}};
    QTest::newRow("name before parent_cid")
        << u"<seller_cat><cid>1</cid><name>A</name><parent_cid>0</parent_cid></seller_cat>"
           u"<seller_cat><cid>2</cid><name>B</name><parent_cid>1</parent_cid></seller_cat>"_s
        << Categories{{u"A"_s, u"1"_s}, {u"B"_s, u"2"_s}};
    QTest::newRow("missing name stays with its own element")
        << u"<seller_cat><cid>1</cid><parent_cid>0</parent_cid></seller_cat>"
           u"<seller_cat><cid>2</cid><parent_cid>0</parent_cid><name>B</name></seller_cat>"_s
        << Categories{{QString(), u"1"_s}, {u"B"_s, u"2"_s}};
    QTest::newRow("entities decoded once")
        << u"<seller_cat><cid>1</cid><name>家居&amp;日用</name></seller_cat>"
           u"<seller_cat><cid>2</cid><name>&lt;b&gt; &#20013;&#x6587; &amp;lt;</name></seller_cat>"
           u"<seller_cat><cid>3</cid><name>A &unknown; &#0; &</name></seller_cat>"_s
        << Categories{
               {u"家居&日用"_s, u"1"_s}, {u"<b> 中文 &lt;"_s, u"2"_s}, {u"A &unknown; &#0; &"_s, u"3"_s}};
    QTest::newRow("ids trimmed, names kept as written")
        << u"<seller_cat><cid> 7 </cid><name> 特价 专区 </name></seller_cat>"_s
        << Categories{{u" 特价 专区 "_s, u"7"_s}};
    QTest::newRow("a name holding #")
        << u"<seller_cat><cid>1</cid><name>新品#上架</name></seller_cat><seller_cat><cid>2</cid><name>B</name></seller_cat>"_s
        << Categories{{u"新品#上架"_s, u"1"_s}, {u"B"_s, u"2"_s}};
    QTest::newRow("element without cid skipped")
        << u"<seller_cat><name>orphan</name></seller_cat><seller_cat><cid>2</cid><name>B</name></seller_cat>"_s
        << Categories{{u"B"_s, u"2"_s}};
    QTest::newRow("unclosed element ends at the next one")
        << u"<seller_cat><cid>1</cid><name>A</name><seller_cat><cid>2</cid><name>B</name></seller_cat>"_s
        << Categories{{u"A"_s, u"1"_s}, {u"B"_s, u"2"_s}};
    QTest::newRow("tags that close outside their element")
        << u"<seller_cat><cid>1</seller_cat><seller_cat><cid>2</cid><name>B</name>"_s
        << Categories{{QString(), QString()}, {u"B"_s, u"2"_s}};

    // Replies without them: the specified scan.
    QTest::newRow("scan: cid, name, parent_cid")
        << u"<cid>1</cid><name>A</name><parent_cid>0</parent_cid><cid>2</cid><name>B</name><parent_cid>0</parent_cid>"_s
        << Categories{{u"A"_s, u"1"_s}, {u"B"_s, u"2"_s}};
    QTest::newRow("scan: platform order skips every second category")
        << u"<cid>1</cid><parent_cid>0</parent_cid><name>A</name>"
           u"<cid>2</cid><parent_cid>0</parent_cid><name>B</name>"
           u"<cid>3</cid><parent_cid>0</parent_cid><name>C</name>"_s
        << Categories{{u"A"_s, u"1"_s}, {u"C"_s, u"3"_s}};
    QTest::newRow("scan: a missing name takes the next one")
        << u"<cid>1</cid><parent_cid>0</parent_cid><cid>2</cid><name>B</name><parent_cid>0</parent_cid>"_s
        << Categories{{u"B"_s, u"1"_s}};
    QTest::newRow("scan: the last without a name")
        << u"<cid>1</cid><name>A</name><parent_cid>0</parent_cid><cid> 2 </cid><parent_cid>0</parent_cid>"_s
        << Categories{{u"A"_s, u"1"_s}, {QString(), u"2"_s}};
    QTest::newRow("scan: entities stay")
        << u"<cid>1</cid><name>a&amp;b</name>"_s << Categories{{u"a&amp;b"_s, u"1"_s}};
    QTest::newRow("scan: unclosed cid and name") << u"<cid>1<name>A"_s << Categories{{QString(), QString()}};

    QTest::newRow("no categories") << u"<sellercats_list_get_response></sellercats_list_get_response>"_s
                                   << Categories{};
    QTest::newRow("error reply")
        << u"<error_response><code>15</code><msg>Remote service error</msg></error_response>"_s
        << Categories{};
    QTest::newRow("blank") << u" "_s << Categories{};
}

void TestOpenPlatform::categories()
{
    QFETCH(QString, reply);
    QFETCH(Categories, expected);
    QCOMPARE(readSellerCategories(reply), expected);
}

void TestOpenPlatform::hugeAndUnbalancedReplies_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("count");
    const int n = 200000;
    QTest::newRow("opening cid tags only") << u"<cid>"_s.repeated(n) << n;
    QTest::newRow("cid and name without closers") << u"<cid>1<name>A<parent_cid>"_s.repeated(n) << n;
    QTest::newRow("unclosed elements") << u"<seller_cat><cid>1</cid><name>A"_s.repeated(n) << n;
    QTest::newRow("elements with unclosed tags") << u"<seller_cat><cid>1<name>A"_s.repeated(n) << n;
    QTest::newRow("elements without cid") << u"<seller_cat><name>A</name></seller_cat>"_s.repeated(n) << 0;
    QTest::newRow("one closer at the very end") << u"<seller_cat><cid>"_s.repeated(n) + u"</cid>"_s << n;
}

void TestOpenPlatform::hugeAndUnbalancedReplies()
{
    // Megabytes of tags that never close are read in one pass, not one pass per tag.
    QFETCH(QString, reply);
    QFETCH(int, count);
    QCOMPARE(readSellerCategories(reply).size(), count);
    QCOMPARE(readFirstItemId(u"<num_iid>"_s.repeated(100000)), QString());
    QCOMPARE(readSellerLocation(u"<city>"_s.repeated(100000)), u"/"_s);
}

void TestOpenPlatform::location_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("location");
    QTest::newRow("city before state") << u"<city>杭州</city><state>浙江</state>"_s << u"浙江/杭州"_s;
    QTest::newRow("state before city")
        << u"<state>浙江</state><city>杭州</city><zip>310000</zip>"_s << u"浙江/杭州"_s;
    QTest::newRow("no state") << u"<city>香港</city>"_s << u"/香港"_s;
    QTest::newRow("no city") << u"<state>上海</state>"_s << u"上海/"_s;
    QTest::newRow("entities decoded first")
        << u"&lt;city&gt;杭州&lt;/city&gt;&lt;state&gt;浙江&lt;/state&gt;"_s << u"浙江/杭州"_s;
    QTest::newRow("first elements count")
        << u"<city>A</city><city>B</city><state>C</state><state>D</state>"_s << u"C/A"_s;
    QTest::newRow("closing tag before opening") << u"</city><city>A<state>S</state>"_s << u"S/"_s;
    QTest::newRow("blank field result") << blankFieldResult() << u"/"_s;
}

void TestOpenPlatform::location()
{
    QFETCH(QString, field);
    QFETCH(QString, location);
    QCOMPARE(readSellerLocation(field), location);
}

void TestOpenPlatform::platformError()
{
    QCOMPARE(readPlatformError(
                 u"<?xml version=\"1.0\"?><error_response><code>25</code><msg>Invalid Signature</msg>"
                 u"</error_response>"_s),
             u"25 Invalid Signature"_s);
    QCOMPARE(readPlatformError(
                 u"<error_response><code>15</code><msg>Remote service error</msg><sub_code>x</sub_code>"
                 u"<sub_msg>用户不存在：a&amp;b</sub_msg></error_response>"_s),
             u"15 Remote service error: 用户不存在：a&b"_s);
    QCOMPARE(
        readPlatformError(u"<items_get_response><total_results>0</total_results></items_get_response>"_s),
        QString());
    QCOMPARE(joinSellerCategories({{u"A"_s, u"1"_s}, {u"B"_s, u"2"_s}}), u"A#1#B#2#"_s);
    QCOMPARE(joinSellerCategories({}), QString());
}

void TestOpenPlatform::nickChecks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    const QString nick38 = u"n"_s.repeated(38);
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("spaces only") << u"    "_s << false;
    QTest::newRow("initial text") << u"输入掌柜名(淘宝ID)"_s << false;
    QTest::newRow("initial text inside") << u"abc输入掌柜"_s << false;
    QTest::newRow("38 characters") << nick38 << true;
    QTest::newRow("39 characters") << nick38 + u'n' << false;
    QTest::newRow("38 with outer spaces") << u"  "_s + nick38 + u"  "_s << true;
    QTest::newRow("38 Chinese characters") << u"掌"_s.repeated(38) << true;
    QTest::newRow("39 counted before inner spaces go") << u"a b"_s.repeated(13) << false;
    QTest::newRow("38 with inner spaces") << u"a b"_s.repeated(12) + u"ab"_s << true;
    QTest::newRow("tab is not a space") << u"\t"_s << true;
}

void TestOpenPlatform::nickChecks()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QCOMPARE(checkSellerNick(text), accepted ? QString() : u"请输入输入掌柜名(淘宝ID)"_s);
}

void TestOpenPlatform::nickRewriting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("nick");
    QTest::newRow("inner spaces removed") << u" quorvex _ demo "_s << u"quorvex_demo"_s;
    QTest::newRow("cleaned") << u"a\tb\"c'd\r\n"_s << u"abcd"_s;
    QTest::newRow("Chinese kept") << u"小周 的杂货铺"_s << u"小周的杂货铺"_s;
    QTest::newRow("plus kept") << u"a+b"_s << u"a+b"_s;
}

void TestOpenPlatform::nickRewriting()
{
    QFETCH(QString, text);
    QFETCH(QString, nick);
    QCOMPARE(rewriteSellerNick(text), nick);
}

void TestOpenPlatform::categoryStep_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("shopCategories");
    QTest::addColumn<QString>("categoryIds");
    QTest::newRow("two selected") << QList<int>{0, 1} << u"A,B,"_s << u",11,12,"_s;
    QTest::newRow("none selected") << QList<int>{} << QString() << u","_s;
    QTest::newRow("list order, whatever the order given") << QList<int>{2, 0} << u"A,C,"_s << u",11,13,"_s;
    QTest::newRow("a row once") << QList<int>{1, 1} << u"B,"_s << u",12,"_s;
    QTest::newRow("rows outside the table ignored") << QList<int>{-1, 1, 3} << u"B,"_s << u",12,"_s;
}

void TestOpenPlatform::categoryStep()
{
    QFETCH(QList<int>, rows);
    QFETCH(QString, shopCategories);
    QFETCH(QString, categoryIds);
    const Categories table{{u"A"_s, u"11"_s}, {u"B"_s, u"12"_s}, {u"C"_s, u"13"_s}};
    const SellerCategorySelection selection = selectSellerCategories(table, rows);
    QCOMPARE(selection.shopCategories, shopCategories);
    QCOMPARE(selection.categoryIds, categoryIds);
    // A shop without categories: nothing to select.
    QCOMPARE(selectSellerCategories({}, rows).categoryIds, u","_s);
}

QTEST_GUILESS_MAIN(TestOpenPlatform)
#include "tst_openplatform.moc"
