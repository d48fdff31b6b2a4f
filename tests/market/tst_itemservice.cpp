#include "core/config.h"
#include "market/itemservice.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Core;
using namespace Market;

class TestItemService : public QObject
{
    Q_OBJECT

private slots:
    void extract_data();
    void extract();
    void blankOutcomeIsAlways45Tabs_data();
    void blankOutcomeIsAlways45Tabs();
    void requestAddress();
    void documentFieldHelpers();
    void completeDocument_data();
    void completeDocument();
};

void TestItemService::completeDocument_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("complete");
    QTest::newRow("whole") << u"<?xml version=\"1.0\"?>\n<itemInfo><itemName>a</itemName></itemInfo>"_s
                           << true;
    QTest::newRow("any first element") << u"<root a=\"1\"><x/></root>\n"_s << true;
    QTest::newRow("comment first") << u"<!-- <itemInfo> --><itemInfo></itemInfo>"_s << true;
    QTest::newRow("empty element") << u"<itemInfo/>"_s << true;
    QTest::newRow("cut before its end")
        << u"<?xml version=\"1.0\"?>\n<itemInfo><itemName>a</itemName><picLink>"_s << false;
    QTest::newRow("cut inside the declaration") << u"<?xml vers"_s << false;
    QTest::newRow("cut inside the first tag") << u"<itemIn"_s << false;
    QTest::newRow("only an inner element closed") << u"<itemInfo><itemName>a</itemName>"_s << false;
    QTest::newRow("html page") << u"<html><body>500</body>"_s << false;
    QTest::newRow("no markup") << u"Internal Server Error"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void TestItemService::completeDocument()
{
    QFETCH(QString, source);
    QFETCH(bool, complete);
    QCOMPARE(isCompleteDocument(source), complete);
}

static const QString document = uR"(<?xml version="1.0" encoding="GBK"?>
<root><errorCode>0</errorCode>
<itemName>  Red cup  </itemName>
<itemPrice>12345</itemPrice>
<cityId>301</cityId>
<emptyOne></emptyOne>
<weight attr="1">2.5</weight>
<ns:stockCount>7</ns:stockCount>
<title>First &amp; best</title>
<item><num_iid>1</num_iid></item>
<broken>no end
<item><num_iid>2</num_iid></item>
<title>Second</title>
</root>)"_s;

void TestItemService::extract_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("expected");
    QTest::newRow("single, trimmed") << u"itemName"_s << u"Red cup"_s;
    QTest::newRow("spaces around the name") << u"  itemName "_s << u"Red cup"_s;
    QTest::newRow("two values, one tab") << u"itemName,cityId"_s << u"Red cup\t301"_s;
    QTest::newRow("leading missing adds no tab") << u"missing,cityId"_s << u"301"_s;
    QTest::newRow("leading empties add no tab") << u"missing,emptyOne,cityId"_s << u"301"_s;
    QTest::newRow("later empty adds its tab") << u"itemName,missing"_s << u"Red cup\t"_s;
    QTest::newRow("empty between") << u"itemName,missing,cityId"_s << u"Red cup\t\t301"_s;
    QTest::newRow("first occurrence wins") << u"title"_s << u"First &amp; best"_s;
    QTest::newRow("entities stay encoded") << u"title"_s << u"First &amp; best"_s;
    QTest::newRow("tag with attributes not found") << u"weight,cityId"_s << u"301"_s;
    QTest::newRow("prefixed tag not found") << u"stockCount,cityId"_s << u"301"_s;
    QTest::newRow("item_img asks for item") << u"title,item_img"_s << u"<num_iid>1</num_iid>"_s;
    QTest::newRow("prop_img asks for item") << u"prop_img"_s << u"<num_iid>1</num_iid>"_s;
    QTest::newRow("names are case-sensitive") << u"ItemName,cityId"_s << u"301"_s;
}

void TestItemService::extract()
{
    QFETCH(QString, fields);
    QFETCH(QString, expected);
    QCOMPARE(ExtractItemFields(document, fields), expected);
}

void TestItemService::blankOutcomeIsAlways45Tabs_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("fields");
    QTest::newRow("present but empty") << document << u"emptyOne"_s;
    QTest::newRow("missing closing tag") << document << u"broken"_s;
    QTest::newRow("three names, none there") << document << u"a,b,c"_s;
    QTest::newRow("empty source") << QString() << u"itemName"_s;
    QTest::newRow("blank source") << u"   "_s << u"itemName,cityId"_s;
    QTest::newRow("error document")
        << u"<root><errorCode>1</errorCode><errorMessage>no item</errorMessage></root>"_s << u"itemName"_s;
}

void TestItemService::blankOutcomeIsAlways45Tabs()
{
    QFETCH(QString, source);
    QFETCH(QString, fields);
    const QString result = ExtractItemFields(source, fields);
    QCOMPARE(result, QString(45, u'\t'));
    QCOMPARE(result, blankFieldResult());
}

void TestItemService::requestAddress()
{
    Config config;
    config.itemApi = u"api.example:8080"_s;
    QCOMPARE(
        itemServiceAddress(config, u"  0C7D360B00000000040100000CC1B772 "_s),
        u"http://api.example:8080/item/getItem.xhtml?format=xml&itemCode=0C7D360B00000000040100000CC1B772"
        u"&needParseAttr=1&needDetailInfo=1&needExtendInfo=0"_s);
}

void TestItemService::documentFieldHelpers()
{
    const ItemDocument doc(document);
    QCOMPARE(doc.field(u"itemPrice"_s), u"12345"_s);
    QCOMPARE(doc.field(u"emptyOne"_s), QString()); // the blank result comes back as empty
    QVERIFY(doc.hasItem());
    QVERIFY(!ItemDocument(u"<root><errorCode>1</errorCode></root>"_s).hasItem());
    QVERIFY(ItemDocument().isEmpty());
}

QTEST_GUILESS_MAIN(TestItemService)
#include "tst_itemservice.moc"
