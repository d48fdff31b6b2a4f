#include "core/text.h"
#include "export/itemfolders.h"
#include "export/itemvalues.h"
#include "export/layouts.h"
#include "market/itemservice.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Export;

class TestLayouts : public QObject
{
    Q_OBJECT

private slots:
    void headers();
    void commaQuoting_data();
    void commaQuoting();
    void pictureListEntries();
    void freight_data();
    void freight();
    void taobao4Row();
    void taobao5Row();
    void taobao5DescriptionQuotedOnce();
    void paipaiRowAndValues();
    void adjustments_data();
    void adjustments();
    void titlesAndFolders_data();
    void titlesAndFolders();
    void hostileCodesAsFolders_data();
    void hostileCodesAsFolders();
    void fitFolderName_data();
    void fitFolderName();
    void itemFolders_data();
    void itemFolders();
    void itemFolderRoom();
};

static const QString sampleDocument = uR"(<root>
<itemName>红色 杯子&amp;碟·套装</itemName><stateDesc>一口价出售</stateDesc><classId>11</classId>
<categoryId>22</categoryId><stockCount>5</stockCount><weight>0.5</weight><itemPrice>12345</itemPrice>
<sellerPayFreight>10</sellerPayFreight><expressPrice>1500</expressPrice><emsPrice>abc</emsPrice>
<invoiceItem>1</invoiceItem><guaranteeRepair>0</guaranteeRepair><itemLocalCode>SKU-1</itemLocalCode>
<attr>a:b</attr><picLink>http://img/a.jpg</picLink><picLink2>http://img/b.jpg</picLink2>
</root>)"_s;

static QStringList sampleValues()
{
    const Market::ItemDocument doc(sampleDocument);
    ValueInputs in;
    in.title = itemTitle(doc.field(u"itemName"_s));
    in.provinceName = u"广东"_s;
    in.cityName = u"深圳"_s;
    in.pictureUrls = mainPictureUrls(doc);
    in.pictureSuffixes = {u".JPG"_s, u"."_s};
    in.descriptionFile = u"{d}.htm"_s;
    in.stockFile = stockFileName(u"CODE"_s);
    return paipaiValues(doc, in, {});
}

void TestLayouts::headers()
{
    QCOMPARE(taobao4Header().size(), taobao4ColumnCount);
    QCOMPARE(taobao5FieldNames().size(), taobao5ColumnCount);
    QCOMPARE(taobao5Header().size(), taobao5ColumnCount);
    QCOMPARE(paipaiHeader().size(), paipaiColumnCount);
    const QString tb4 = headerText(OutputType::Taobao4);
    QVERIFY(tb4.startsWith(u"宝贝名称\t宝贝类目\t"_s));
    QVERIFY(tb4.endsWith(u"宝贝编号\t数字ID"_s)); // no TAB and no line end after the last name
    const QStringList tb5 = headerText(OutputType::Taobao5).split(u'\n');
    QCOMPARE(tb5.size(), 4);
    QCOMPARE(tb5.at(0), u"version 1.00"_s);
    QVERIFY(tb5.at(1).startsWith(u"title\tcid\tseller_cids\t"_s));
    QVERIFY(tb5.at(2).endsWith(u"物流体积\t物流重量"_s));
    QCOMPARE(tb5.at(3), QString());
    QCOMPARE(taobao5Header().at(41), u"闪电发货"_s);
    QVERIFY(headerText(OutputType::Paipai).startsWith(u"id\t商品名称\t"_s));
    QVERIFY(headerText(OutputType::Paipai).endsWith(u"7天免邮包退"_s));
}

void TestLayouts::commaQuoting_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << u"Red cup"_s << u"Red cup"_s;
    QTest::newRow("comma") << u"Red, cup"_s << u"\"Red, cup\""_s;
    QTest::newRow("inner quotes not doubled") << u"a,\"b\""_s << u"\"a,\"b\"\""_s;
    QTest::newRow("full-width comma is no comma") << u"a，b"_s << u"a，b"_s;
}

void TestLayouts::commaQuoting()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(commaQuoted(value), expected);
}

void TestLayouts::pictureListEntries()
{
    const QString a = u"http://img/a.jpg"_s;
    const QString b = u"http://img/b.jpg"_s;
    QCOMPARE(pictureList({a, b}, u'1'),
             Core::Md5HexLower(a) + u":1:0:|;"_s + Core::Md5HexLower(b) + u":1:1:|;"_s);
    QCOMPARE(pictureList({}, u'0'), QString());
}

void TestLayouts::freight_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("10") << u"10"_s << u"2"_s;
    QTest::newRow("11") << u"11"_s << u"1"_s;
    QTest::newRow("0") << u"0"_s << u"2"_s;
    QTest::newRow("empty") << QString() << u"1"_s;
    QTest::newRow("text") << u"yes"_s << u"1"_s;
    QTest::newRow("10.5 rounds to even") << u"10.5"_s << u"2"_s;
    QTest::newRow("10.6") << u"10.6"_s << u"1"_s;
}

void TestLayouts::freight()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(freightPayer(value), expected);
}

void TestLayouts::taobao4Row()
{
    QStringList values = sampleValues();
    values[PaipaiColumn::Validity] = u"7"_s;
    const QString row =
        taobaoRow(OutputType::Taobao4, values,
                  {u"<p>desc, with comma</p>"_s, {u"http://img/a.jpg"_s}, u"2026-12-09 10:00:00"_s, {}});
    QVERIFY(row.startsWith(u'\r'));
    QVERIFY(row.endsWith(u'\t'));
    const QStringList fields = row.mid(1).chopped(1).split(u'\t');
    QCOMPARE(fields.size(), taobao4ColumnCount);
    QCOMPARE(fields.at(0), u"红色 杯子&碟套装"_s);
    QCOMPARE(fields.at(3), u"0"_s);
    QCOMPARE(fields.at(4), u"广东"_s);
    QCOMPARE(fields.at(7), u"123.45"_s);
    QCOMPARE(fields.at(9), u"5"_s);
    QCOMPARE(fields.at(10), u"7"_s);
    QCOMPARE(fields.at(11), u"2"_s); // freight 10
    QCOMPARE(fields.at(13), u"0"_s); // EMS not a number
    QCOMPARE(fields.at(14), u"15.00"_s);
    QCOMPARE(fields.at(23), u"2026-12-09 10:00:00"_s);
    QCOMPARE(fields.at(25), u"\"<p>desc, with comma</p>\""_s);
    QCOMPARE(fields.at(32), u"2026-12-09 10:00:00"_s);
    QCOMPARE(fields.at(36), Core::Md5HexLower(u"http://img/a.jpg"_s) + u":0:0:|;"_s);
    QCOMPARE(fields.at(41), u"SKU-1"_s);
}

void TestLayouts::taobao5Row()
{
    QStringList values = sampleValues();
    values[PaipaiColumn::Validity] = u"7"_s;
    const QString row =
        taobaoRow(OutputType::Taobao5, values, {u"<p>d</p>"_s, {}, u"2026-12-09 10:00:00"_s, u"  nick "_s});
    QVERIFY(row.endsWith(u'\n'));
    const QStringList fields = row.chopped(1).split(u'\t');
    QCOMPARE(fields.size(), taobao5ColumnCount);
    QCOMPARE(fields.at(17), u"1"_s);
    QCOMPARE(fields.at(20), u"\"<p>d</p>\""_s);
    QCOMPARE(fields.at(28), QString()); // no pictures given
    QCOMPARE(fields.at(39), u"nick"_s);
    QCOMPARE(fields.at(44), u"mysize_tp:-1"_s);
    QCOMPARE(fields.at(45), u"172577644"_s);
    // The box still showing its prompt gives no account name.
    const QString prompt = taobaoRow(OutputType::Taobao5, values, {{}, {}, {}, u"输入掌柜名(淘宝ID)"_s});
    QCOMPARE(prompt.chopped(1).split(u'\t').at(39), QString());
}

void TestLayouts::taobao5DescriptionQuotedOnce()
{
    const QString row =
        taobaoRow(OutputType::Taobao5, sampleValues(), {u"<img src=\"C:\\a,b.jpg\">"_s, {}, {}, {}});
    QCOMPARE(row.split(u'\t').at(20), u"\"<img src=\"\"C:\\a,b.jpg\"\">\""_s);
}

void TestLayouts::paipaiRowAndValues()
{
    const QStringList values = sampleValues();
    QCOMPARE(values.size(), paipaiColumnCount);
    QCOMPARE(values.at(2), u"b"_s);
    QCOMPARE(values.at(7), u"14"_s);
    QCOMPARE(values.at(14), u"10"_s); // the freight value as received
    QCOMPARE(values.at(25), u'{' + Core::Md5HexLower(u"http://img/a.jpg"_s) + u"}.JPG"_s);
    QCOMPARE(values.at(26), u'{' + Core::Md5HexLower(u"http://img/b.jpg"_s) + u"}."_s);
    QCOMPARE(values.at(27), QString());
    QCOMPARE(values.at(30), u"{d}.htm"_s);
    QCOMPARE(values.at(37), u'{' + Core::Md5Hex(u"CODE"_s) + u"}.xml"_s);
    QCOMPARE(values.at(41), u"拍拍助理2012 [82]"_s);
    const QString row = paipaiRow(values);
    QVERIFY(row.startsWith(u"\n\"-1\"\t\""_s));
    QVERIFY(row.endsWith(u"\"0\"\t"_s));
    QCOMPARE(row.count(u'\t'), paipaiColumnCount);
}

void TestLayouts::adjustments_data()
{
    QTest::addColumn<bool>("price");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<QString>("decimals");
    QTest::addColumn<bool>("stock");
    QTest::addColumn<QString>("stockValue");
    QTest::addColumn<QString>("expectedPrice");
    QTest::addColumn<QString>("expectedQuantity");
    QTest::newRow("off") << false << u"110"_s << u"2"_s << false << u"9"_s << u"123.45"_s << u"5"_s;
    QTest::newRow("price up") << true << u"110"_s << u"2"_s << false << QString() << u"135.80"_s << u"5"_s;
    QTest::newRow("pattern 0") << true << u"110"_s << u"0"_s << false << QString() << u"136"_s << u"5"_s;
    QTest::newRow("percent not a number")
        << true << u"abc"_s << u"2"_s << false << QString() << u"123.45"_s << u"5"_s;
    QTest::newRow("stock set") << false << QString() << QString() << true << u"30"_s << u"123.45"_s
                               << u"30"_s;
    QTest::newRow("stock not a number")
        << false << QString() << QString() << true << u"many"_s << u"123.45"_s << u"100"_s;
}

void TestLayouts::adjustments()
{
    QFETCH(bool, price);
    QFETCH(QString, percent);
    QFETCH(QString, decimals);
    QFETCH(bool, stock);
    QFETCH(QString, stockValue);
    QFETCH(QString, expectedPrice);
    QFETCH(QString, expectedQuantity);
    Core::Adjustments adjust{price, percent, decimals, stock, stockValue};
    const QStringList values = paipaiValues(Market::ItemDocument(sampleDocument), {}, adjust);
    QCOMPARE(values.at(PaipaiColumn::Price), expectedPrice);
    QCOMPARE(values.at(PaipaiColumn::Quantity), expectedQuantity);
}

void TestLayouts::titlesAndFolders_data()
{
    QTest::addColumn<QString>("itemName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("folder");
    QTest::newRow("path characters and spaces") << u"a/b c"_s << u"a/b c"_s << u"abc"_s;
    QTest::newRow("entities decoded first") << u"Tom &amp; Jerry"_s << u"Tom & Jerry"_s << u"TomJerry"_s;
    QTest::newRow("quotes and middle dot") << u"\"A\"·'B'"_s << u"AB"_s << u"AB"_s;
    QTest::newRow("every unsafe character") << u"x\\/:|*<>$#&?y"_s << u"x\\/:|*<>$#&?y"_s << u"xy"_s;
    QTest::newRow("device name") << u"con"_s << u"con"_s << u"CODE"_s;
    QTest::newRow("dots only") << u"..."_s << u"..."_s << u"CODE"_s;
    QTest::newRow("leading and trailing dots") << u".a.b."_s << u".a.b."_s << u"a.b"_s;
    QTest::newRow("empty title") << QString() << QString() << u"CODE"_s;
    QTest::newRow("70 characters cut to 58")
        << QString(70, u'杯') << QString(70, u'杯') << QString(58, u'杯');
    QTest::newRow("device name with an extension") << u"COM1.txt"_s << u"COM1.txt"_s << u"CODE"_s;
    QTest::newRow("climbing out, POSIX") << u"../../../../tmp/x"_s << u"../../../../tmp/x"_s << u"tmpx"_s;
    QTest::newRow("climbing out, Windows") << u"..\\..\\evil"_s << u"..\\..\\evil"_s << u"evil"_s;
    QTest::newRow("drive letter") << u"C:\\Windows"_s << u"C:\\Windows"_s << u"CWindows"_s;
    QTest::newRow("control characters")
        << u"a\u0000b\u001Bc\u007Fd"_s << u"a\u0000b\u001Bc\u007Fd"_s << u"abcd"_s;
}

// The code stands in for an unusable title, and comes from a page just the same.
void TestLayouts::hostileCodesAsFolders_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain code") << u"0C7D360B00000000040100000CC1B772"_s
                                << u"0C7D360B00000000040100000CC1B772"_s;
    QTest::newRow("climbing out, POSIX") << u"../../../../tmp/quorvex-escape"_s << u"tmpquorvex-escape"_s;
    QTest::newRow("climbing out, Windows") << u"..\\..\\..\\quorvex-escape2"_s << u"quorvex-escape2"_s;
    QTest::newRow("drive letter") << u"C:\\quorvex-escape3"_s << u"Cquorvex-escape3"_s;
    QTest::newRow("absolute") << u"/tmp/quorvex-escape4"_s << u"tmpquorvex-escape4"_s;
    QTest::newRow("dots only") << u".."_s << QString();
    QTest::newRow("separators only") << u"/\\/"_s << QString();
    QTest::newRow("device name") << u"aux"_s << QString();
    QTest::newRow("device name with an extension") << u"LPT9.log"_s << QString();
}

void TestLayouts::hostileCodesAsFolders()
{
    QFETCH(QString, code);
    QFETCH(QString, folder);
    QCOMPARE(itemFolderName(u".."_s, code), folder);
}

void TestLayouts::titlesAndFolders()
{
    QFETCH(QString, itemName);
    QFETCH(QString, title);
    QFETCH(QString, folder);
    QCOMPARE(itemTitle(itemName), title);
    QCOMPARE(itemFolderName(itemTitle(itemName), u"CODE"_s), folder);
}

void TestLayouts::fitFolderName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("room");
    QTest::addColumn<QString>("fitted");
    QTest::newRow("no limit") << u"红色杯子"_s << -1 << u"红色杯子"_s;
    QTest::newRow("fits") << u"红色杯子"_s << 4 << u"红色杯子"_s;
    QTest::newRow("cut") << u"红色杯子"_s << 2 << u"红色"_s;
    QTest::newRow("no half character") << u"a😀b"_s << 2 << u"a"_s;
    QTest::newRow("no dot or space at the end") << u"ab. .cd"_s << 4 << u"ab"_s;
    QTest::newRow("no room") << u"abc"_s << 0 << QString();
}

void TestLayouts::fitFolderName()
{
    QFETCH(QString, name);
    QFETCH(int, room);
    QFETCH(QString, fitted);
    QCOMPARE(Export::fitFolderName(name, room), fitted);
}

void TestLayouts::itemFolders_data()
{
    QTest::addColumn<bool>("caseBlind");
    QTest::addColumn<int>("room");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("folders");
    QTest::newRow("same name, one folder")
        << true << -1 << QStringList{u"Cup"_s, u"Cup"_s} << QStringList{u"Cup"_s, u"Cup"_s};
    QTest::newRow("case-blind: names that differ in case only")
        << true << -1 << QStringList{u"Cup"_s, u"CUP"_s, u"cup"_s, u"CUP"_s, u"Cup"_s}
        << QStringList{u"Cup"_s, u"CUP-2"_s, u"cup-3"_s, u"CUP-2"_s, u"Cup"_s};
    QTest::newRow("case-blind: a title that looks like a numbered one")
        << true << -1 << QStringList{u"Cup"_s, u"cup-2"_s, u"CUP"_s}
        << QStringList{u"Cup"_s, u"cup-2"_s, u"CUP-3"_s};
    QTest::newRow("case-sensitive: every name its own")
        << false << -1 << QStringList{u"Cup"_s, u"CUP"_s, u"cup"_s}
        << QStringList{u"Cup"_s, u"CUP"_s, u"cup"_s};
    QTest::newRow("cut to the room, number included")
        << true << 4 << QStringList{u"Cupboard"_s, u"CUPBOARD"_s} << QStringList{u"Cupb"_s, u"CU-2"_s};
    QTest::newRow("two long titles cut to one name share it")
        << true << 3 << QStringList{u"abcX"_s, u"abcY"_s} << QStringList{u"abc"_s, u"abc"_s};
    QTest::newRow("no room for a number")
        << true << 1 << QStringList{u"a"_s, u"A"_s} << QStringList{u"a"_s, QString()};
}

void TestLayouts::itemFolders()
{
    QFETCH(bool, caseBlind);
    QFETCH(int, room);
    QFETCH(QStringList, names);
    QFETCH(QStringList, folders);
    Export::ItemFolders given(caseBlind, room);
    QStringList claimed;
    for (const QString &name : std::as_const(names))
        claimed << given.claim(name);
    QCOMPARE(claimed, folders);
}

// picture folder + "\" + item folder + "\" + 36 characters stays within 259.
void TestLayouts::itemFolderRoom()
{
    QCOMPARE(Export::itemFolderRoom(100, false), -1);
    QCOMPARE(Export::itemFolderRoom(100, true), 259 - 100 - 2 - 36);
    QCOMPARE(Export::itemFolderRoom(220, true), 1);
    QCOMPARE(Export::itemFolderRoom(221, true), 0);
    QCOMPARE(Export::itemFolderRoom(400, true), 0);
    // The picture folder's own files fit exactly when one character of an item folder does.
    QCOMPARE(220 + 1 + Export::longestPictureFolderFileName, Export::windowsMaxPath);
}

QTEST_GUILESS_MAIN(TestLayouts)
#include "tst_layouts.moc"
