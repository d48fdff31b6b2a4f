#include "market/parampages.h"
#include "market/stocklist.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Core;
using namespace Market;

class TestStockList : public QObject
{
    Q_OBJECT

private slots:
    void fragment_data();
    void fragment();
    void stubWithoutParameters();
    void adjustmentsApplyToVariants();
    void unsafeParametersEnd();
    void replacementsThatMultiply();
    void pageAddress();
};

// A parameter table as the maker's page gives it, for a page of the shape below.
static QStringList parameters()
{
    QStringList table;
    readParamPairs(u"<Stock #1#找库存参数#2#<sku>#3#</sku>#4#<pic>#5#</pic>#6#<v>#7#</v>#8#"
                   u"<p>#9##10#</p>#11#<price>#12##13#</price>#14#<num>#15##16#</num>#17#"
                   u"<v>#18#</v>#19#<#20#[#21#>#22#]#23# Attr=#24# List=\"#25#http://#26#.jpg#27#"
                   u"<area>#28#</area>#29#<novariants/>#30#"_s,
                   table, 51);
    return table;
}

static const QString threeVariants = u"<sku><v><p>红色</p><price>1250</price><num>7</num></v>"
                                     u"<v><p>蓝色</p><price>abc</price><num>x</num></v>"
                                     u"<v><price>99</price><num>3</num></v></sku>"
                                     u"<area><pic>http://img.example/p1.jpg</pic></area>"_s;

void TestStockList::fragment_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("expected");
    QTest::newRow("three variants")
        << threeVariants
        << u"<Stock  List=\"0#红色~,12.50,7,;1#蓝色~,0,0,;2#~,0.99,3,\" Attr=\""
           u"[p]红色[/p][price]1250[/price][num]7[/num][p]蓝色[/p][price]abc[/price][num]x[/num]"
           u"[price]99[/price][num]3[/num]\" StockPicPath=\"img.example/p1\"/>"_s;
    QTest::newRow("no-variants marker wins")
        << u"<novariants/>"_s + threeVariants
        << u"<Stock  List=\"\" Attr=\"\" StockPicPath=\"img.example/p1\"/>"_s;
    QTest::newRow("page unreachable") << QString() << u"<Stock  List=\"\" Attr=\"\" StockPicPath=\"\"/>"_s;
}

void TestStockList::fragment()
{
    QFETCH(QString, page);
    QFETCH(QString, expected);
    QCOMPARE(composeStockList(parameters(), page), expected);
}

void TestStockList::stubWithoutParameters()
{
    QCOMPARE(composeStockList(QStringList(51), threeVariants), u"\"\"\" StockPicPath=\"\"/>"_s);
    StockParameters missing;
    QCOMPARE(missing.pageAddress(u"ABC"_s), QString());
}

void TestStockList::adjustmentsApplyToVariants()
{
    Adjustments adjust;
    adjust.adjustPrice = true;
    adjust.pricePercent = u"110"_s;
    adjust.priceDecimals = u"2"_s;
    adjust.adjustStock = true;
    adjust.stockValue = u"50"_s;
    const QString fragment = composeStockList(parameters(), threeVariants, adjust);
    QVERIFY2(fragment.contains(u"0#红色~,13.75,50,;1#蓝色~,0,50,;2#~,1.09,50,"_s), qPrintable(fragment));
}

void TestStockList::unsafeParametersEnd()
{
    // An empty record start would never advance; a record without its end stops the list.
    QStringList table = parameters();
    table[7].clear();
    QVERIFY(composeStockList(table, threeVariants).contains(u"List=\"\""_s));
    table = parameters();
    const QString unterminated = u"<sku><v><p>红色</p><price>100</price><num>1</num></v><v><p>x</p></sku>"_s;
    QVERIFY(composeStockList(table, unterminated).contains(u"List=\"0#红色~,1.00,1,\""_s));
}

void TestStockList::replacementsThatMultiply()
{
    // A worst case of the fuzz target: a long replacement of a character the section is full of
    // asked for the product of the two sizes (gigabytes from two pages of 30 KB). The copy is
    // left out.
    QStringList table = parameters();
    table[21] = QString(3000, u'[');
    const QString page = u"<sku>"_s + QString(5000, u'<') + u"</sku>"_s;
    QCOMPARE(composeStockList(table, page), u"<Stock  List=\"\" Attr=\"\" StockPicPath=\"\"/>"_s);
    // Growth within four times the section (or a megabyte) is kept.
    table[21] = u"&lt;"_s;
    QCOMPARE(composeStockList(table, u"<sku><b></sku>"_s),
             u"<Stock  List=\"\" Attr=\"&lt;b]\" StockPicPath=\"\"/>"_s);
}

void TestStockList::pageAddress()
{
    StockParameters parameters;
    parameters.table[0] = u"http://auction1.paipai.com/stock?code={spid}&again={spid}"_s;
    QCOMPARE(parameters.pageAddress(u"AB12"_s), u"http://auction1.paipai.com/stock?code=AB12&again=AB12"_s);
}

QTEST_GUILESS_MAIN(TestStockList)
#include "tst_stocklist.moc"
