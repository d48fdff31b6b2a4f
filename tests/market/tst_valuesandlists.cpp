#include "core/config.h"
#include "core/decimal.h"
#include "core/inputranges.h"
#include "core/text.h"
#include "market/importjob.h"
#include "market/itemlist.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Core;
using namespace Market;

class TestValuesAndLists : public QObject
{
    Q_OBJECT

private slots:
    void hundredths_data();
    void hundredths();
    void scaled_data();
    void scaled();
    void itemCodes_data();
    void itemCodes();
    void addressFile();
    void ignoredLines_data();
    void ignoredLines();
    void importOutcomeText();
    void inputRanges_data();
    void inputRanges();
    void listCaps_data();
    void listCaps();
    void oversizedListFileIsRefused();
};

void TestValuesAndLists::hundredths_data()
{
    QTest::addColumn<QString>("fen");
    QTest::addColumn<QString>("expected");
    QTest::newRow("price") << u"12345"_s << u"123.45"_s;
    QTest::newRow("small") << u"5"_s << u"0.05"_s;
    QTest::newRow("zero") << u"0"_s << u"0.00"_s;
    QTest::newRow("half rounds away from zero") << u"0.5"_s << u"0.01"_s;
    QTest::newRow("negative half") << u"-0.5"_s << u"-0.01"_s;
    QTest::newRow("just below half") << u"0.4999"_s << u"0.00"_s;
    QTest::newRow("carry through nines") << u"99999.5"_s << u"1000.00"_s;
    QTest::newRow("exponent") << u"1.5e3"_s << u"15.00"_s;
    QTest::newRow("spaces") << u" 100 "_s << u"1.00"_s;
    QTest::newRow("not numeric") << u"12元"_s << u"0"_s;
    QTest::newRow("empty") << QString() << u"0"_s;
    QTest::newRow("huge exponent refused") << u"1e999"_s << u"0"_s;
}

void TestValuesAndLists::hundredths()
{
    QFETCH(QString, fen);
    QFETCH(QString, expected);
    QCOMPARE(formatHundredths(fen), expected);
}

void TestValuesAndLists::scaled_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("decimal, not binary") << u"123.45"_s << u"110"_s << 2 << u"135.80"_s;
    QTest::newRow("no decimals") << u"123.45"_s << u"110"_s << 0 << u"136"_s;
    QTest::newRow("half away from zero") << u"0.25"_s << u"10"_s << 2 << u"0.03"_s;
    QTest::newRow("binary trap 1.005") << u"1.005"_s << u"100"_s << 2 << u"1.01"_s;
    QTest::newRow("fractional percent") << u"200"_s << u"33.3"_s << 3 << u"66.600"_s;
    QTest::newRow("five places") << u"1"_s << u"3"_s << 5 << u"0.03000"_s;
}

void TestValuesAndLists::scaled()
{
    QFETCH(QString, price);
    QFETCH(QString, percent);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    const auto value = Decimal::parse(price);
    const auto factor = Decimal::parse(percent);
    QVERIFY(value && factor);
    QCOMPARE(value->multipliedBy(*factor).shifted(-2).toFixed(decimals), expected);
}

void TestValuesAndLists::itemCodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fromEntry");
    QTest::addColumn<QString>("fromAddress");
    QTest::newRow("entry") << u"网址ID: ABC ：红色杯子: 大号"_s << u"ABC"_s << u"0"_s;
    QTest::newRow("item address") << u"http://auction1.paipai.com/0C7D360B00000000040100000CC1B772"_s
                                  << QString() << u"0C7D360B00000000040100000CC1B772"_s;
    QTest::newRow("address with anchor")
        << u"http://auction1.paipai.com/ABC#comments"_s << QString() << u"ABC"_s;
    QTest::newRow("no com/") << u"http://127.0.0.1:8080/ABC"_s << QString() << u"0"_s;
    QTest::newRow("search address") << u"http://search.paipai.com/x/ABC-12"_s << QString() << u"ABC"_s;
    QTest::newRow("search without dash") << u"http://search.paipai.com/x/ABC"_s << QString() << QString();
}

void TestValuesAndLists::itemCodes()
{
    QFETCH(QString, text);
    QFETCH(QString, fromEntry);
    QFETCH(QString, fromAddress);
    if (!fromEntry.isEmpty())
        QCOMPARE(itemCodeFromEntry(text), fromEntry);
    QCOMPARE(itemCodeFromAddress(text), fromAddress);
}

void TestValuesAndLists::addressFile()
{
    const QString text = u"http://a.paipai.com/A1, http://a.paipai.com/A2\r\n"
                         u"\"http://a.paipai.com/A3,x\"\r\nnot an address\nhttps://a.paipai.com/A4\n"
                         u"http://a.paipai.com/A5"_s;
    QCOMPARE(readItemAddresses(text),
             (QStringList{u"http://a.paipai.com/A1"_s, u"http://a.paipai.com/A2"_s,
                          u"http://a.paipai.com/A3,x"_s, u"http://a.paipai.com/A5"_s}));

    QString many;
    for (int i = 0; i <= maxImportedAddresses; ++i)
        many += u"http://a.paipai.com/"_s + QString::number(i) + u"\r\n"_s;
    const QStringList capped = readItemAddresses(many);
    QCOMPARE(capped.size(), maxImportedAddresses);
    QCOMPARE(capped.last(), u"http://a.paipai.com/9999"_s);

    // The written file reads back to the same codes in the same order, in GBK or UTF-8.
    Config config;
    const QByteArray written = writeItemAddresses(config, {u"C1"_s, u"C2"_s});
    QCOMPARE(written, QByteArray("http://auction1.paipai.com/C1\r\nhttp://auction1.paipai.com/C2\r\n"));
    QCOMPARE(readItemListFile(written), (QStringList{u"网址ID:C1："_s, u"网址ID:C2："_s}));
    const QByteArray entries = encodeAnsi(u"网址ID:C1：红色杯子\r\n网址ID:C2：蓝色\r\n"_s);
    QCOMPARE(readItemListFile(entries), (QStringList{u"网址ID:C1：红色杯子"_s, u"网址ID:C2：蓝色"_s}));
    QCOMPARE(readItemListFile(u"网址ID:C1：红色杯子\n"_s.toUtf8()), (QStringList{u"网址ID:C1：红色杯子"_s}));
    QCOMPARE(readItemListFile(u"网址ID:C1：甲\r网址ID:C2：乙"_s.toUtf8()),
             (QStringList{u"网址ID:C1：甲"_s, u"网址ID:C2：乙"_s}));
}

// Both list forms stop at the cap and say how many they left out.
void TestValuesAndLists::listCaps_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("addresses") << u"http://a.paipai.com/%1\r\n"_s;
    QTest::newRow("entries") << u"网址ID:C%1：名\r\n"_s;
}

void TestValuesAndLists::listCaps()
{
    QFETCH(QString, line);
    QString text;
    for (int i = 0; i < maxImportedAddresses + 250; ++i)
        text += line.arg(i);
    int dropped = -1;
    const QStringList entries = readItemListFile(text.toUtf8(), &dropped);
    QCOMPARE(entries.size(), maxImportedAddresses);
    QCOMPARE(itemCodeFromEntry(entries.last()).right(4), u"9999"_s);
    QCOMPARE(dropped, 250);
    QVERIFY(droppedEntriesWarning(dropped).contains(u"250"_s));
    QCOMPARE(droppedEntriesWarning(0), QString());

    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.txt"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();
    const ItemListFile list = loadItemListFile(path);
    QVERIFY(list.error.isEmpty());
    QCOMPARE(list.entries, entries);
    QCOMPARE(list.dropped, 250);
}

void TestValuesAndLists::oversizedListFileIsRefused()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"big.txt"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(maxListFileBytes + 1)); // sparse: nothing is read before the refusal
    file.close();
    const ItemListFile list = loadItemListFile(path);
    QVERIFY(list.error.contains(u"太大"_s));
    QVERIFY(list.entries.isEmpty());
    QVERIFY(!loadItemListFile(dir.filePath(u"missing.txt"_s)).error.isEmpty());
}

void TestValuesAndLists::ignoredLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("ignoredLines");
    QTest::newRow("address file") << QByteArray(
                                         "http://a.paipai.com/A1, http://a.paipai.com/A2\r\nnote\r\n\r\n")
                                  << 2 << 1;
    QTest::newRow("a line with an address among other fields")
        << QByteArray("note, http://a.paipai.com/A1\n") << 1 << 0;
    // In a file of entries every other line is ignored, addresses included.
    QTest::newRow("entries") << (u"网址ID:C1：杯子\nhttp://a.paipai.com/A1\n备注\n 网址ID:C2：\n"_s).toUtf8()
                             << 2 << 2;
    QTest::newRow("blank lines are not ignored lines") << QByteArray("\r\n  \n\t\n") << 0 << 0;
    QTest::newRow("nothing usable") << QByteArray("hello\nworld") << 0 << 2;
}

void TestValuesAndLists::ignoredLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, entries);
    QFETCH(int, ignoredLines);
    int ignored = -1;
    QCOMPARE(readItemListFile(bytes, nullptr, &ignored).size(), entries);
    QCOMPARE(ignored, ignoredLines);
}

void TestValuesAndLists::importOutcomeText()
{
    ImportOutcome outcome;
    outcome.total = 3;
    outcome.imported = 3;
    outcome.ignoredLines = 2;
    QCOMPARE(outcome.text(), u"导入完成，共读取3个网址，忽略2行"_s);
    outcome.dropped = 5;
    QCOMPARE(outcome.text(), u"导入完成，共读取3个网址，忽略2行；"_s + droppedEntriesWarning(5));
    outcome.cancelled = true;
    outcome.imported = 1;
    QCOMPARE(outcome.text(), u"导入已停止，已导入1/3个网址"_s);
    outcome.error = u"无法读取列表文件 x"_s;
    QCOMPARE(outcome.text(), outcome.error);
}

void TestValuesAndLists::inputRanges_data()
{
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("percent 1") << u"percent"_s << u"1"_s << true;
    QTest::newRow("percent 10000") << u"percent"_s << u"10000"_s << true;
    QTest::newRow("percent 0") << u"percent"_s << u"0"_s << false;
    QTest::newRow("percent 10001") << u"percent"_s << u"10001"_s << false;
    QTest::newRow("percent 99.5") << u"percent"_s << u"99.5"_s << true;
    QTest::newRow("percent text") << u"percent"_s << u"abc"_s << false;
    QTest::newRow("decimals 0") << u"decimals"_s << u"0"_s << true;
    QTest::newRow("decimals 5") << u"decimals"_s << u"5"_s << true;
    QTest::newRow("decimals 6") << u"decimals"_s << u"6"_s << false;
    QTest::newRow("decimals 2.5") << u"decimals"_s << u"2.5"_s << false;
    QTest::newRow("decimals 9") << u"decimals"_s << u"9"_s << false;
    QTest::newRow("stock 0") << u"stock"_s << u"0"_s << true;
    QTest::newRow("stock -5") << u"stock"_s << u"-5"_s << false;
    QTest::newRow("stock text") << u"stock"_s << u"x"_s << false;
}

void TestValuesAndLists::inputRanges()
{
    QFETCH(QString, range);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    const QHash<QString, InputRange> ranges{{u"percent"_s, pricePercentRange()},
                                            {u"decimals"_s, priceDecimalsRange()},
                                            {u"stock"_s, stockValueRange()}};
    QCOMPARE(ranges.value(range).accepts(text), accepted);
    QVERIFY(!ranges.value(range).message.isEmpty());
}

QTEST_GUILESS_MAIN(TestValuesAndLists)
#include "tst_valuesandlists.moc"
