#include "market/parampages.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Core;
using namespace Market;

class TestParamPages : public QObject
{
    Q_OBJECT

private slots:
    void readPairs_data();
    void readPairs();
    void keepsSlotsNotNamed();
    void pageTable();
};

void TestParamPages::readPairs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("slotCount");
    QTest::addColumn<QStringList>("expected"); // "slot=value" of the non-empty table

    QTest::newRow("pairs") << u"a#0#b#2#"_s << 3 << QStringList{u"0=a"_s, u"2=b"_s};
    QTest::newRow("later pair wins") << u"a#1#b#1#"_s << 3 << QStringList{u"1=b"_s};
    QTest::newRow("value keeps its spaces") << u" x y #1#"_s << 3 << QStringList{u"1= x y "_s};
    QTest::newRow("slot number with spaces") << u"v# 2 #"_s << 3 << QStringList{u"2=v"_s};
    QTest::newRow("slot out of range") << u"a#3#b#0#"_s << 3 << QStringList{u"0=b"_s};
    QTest::newRow("negative slot") << u"a#-1#b#1#"_s << 3 << QStringList{u"1=b"_s};
    QTest::newRow("slot not a number") << u"a#x#b#1#"_s << 3 << QStringList{u"1=b"_s};
    QTest::newRow("slot with a decimal point") << u"a#1.0#b#2#"_s << 3 << QStringList{u"2=b"_s};
    QTest::newRow("value without slot number") << u"a#1#dangling#"_s << 3 << QStringList{u"1=a"_s};
    QTest::newRow("trailing text without #") << u"a#1#tail"_s << 3 << QStringList{u"1=a"_s};
    QTest::newRow("no # at all") << u"just text"_s << 3 << QStringList{};
    QTest::newRow("empty value clears") << u"a#1##1#"_s << 3 << QStringList{};
    QTest::newRow("check text inside a value")
        << u"店铺复制#6#http://x/#7#"_s << 43 << QStringList{u"6=店铺复制"_s, u"7=http://x/"_s};
    QTest::newRow("last slot of 43") << u"z#42#y#43#"_s << 43 << QStringList{u"42=z"_s};
    QTest::newRow("garbage") << u"###1##2####"_s << 3 << QStringList{};
}

void TestParamPages::readPairs()
{
    QFETCH(QString, text);
    QFETCH(int, slotCount);
    QFETCH(QStringList, expected);
    QStringList table;
    readParamPairs(text, table, slotCount);
    QCOMPARE(table.size(), slotCount);
    QStringList filled;
    for (int i = 0; i < table.size(); ++i) {
        if (!table.at(i).isEmpty())
            filled << QString::number(i) + u'=' + table.at(i);
    }
    QCOMPARE(filled, expected);
}

void TestParamPages::keepsSlotsNotNamed()
{
    QStringList table{u"design0"_s, u"design1"_s, u"design2"_s};
    readParamPairs(u"new#1#"_s, table, 3);
    QCOMPARE(table, (QStringList{u"design0"_s, u"new"_s, u"design2"_s}));
}

void TestParamPages::pageTable()
{
    const ParamPageInfo main = paramPageInfo(ParamPage::Main);
    QCOMPARE(main.fileName, u"copy36.htm"_s);
    QCOMPARE(main.slotCount, 43);
    QVERIFY(main.fallbackWhenBlank);
    QCOMPARE(main.wait, WaitMode::Short);
    const ParamPageInfo stock = paramPageInfo(ParamPage::Stock);
    QCOMPARE(stock.primaryQuery, u"?21212"_s);
    QCOMPARE(stock.checkText, u"找库存参数"_s);
    QCOMPARE(paramPageInfo(ParamPage::App).slotCount, 21);
    QCOMPARE(paramPageInfo(ParamPage::UrlFind).wait, WaitMode::Long);
    QVERIFY(!paramPageInfo(ParamPage::FirstItem).fallbackWhenBlank);
}

QTEST_GUILESS_MAIN(TestParamPages)
#include "tst_parampages.moc"
