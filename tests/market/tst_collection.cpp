#include "core/config.h"
#include "market/collection.h"
#include "market/itemlist.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Core;
using namespace Market;

class TestCollection : public QObject
{
    Q_OBJECT

private slots:
    void shopAddress_data();
    void shopAddress();
    void listAddress_data();
    void listAddress();
    void pageCount_data();
    void pageCount();
    void listing();
    void listingWithoutStartMarker();
    void listingFullOfStartMarkers();
    void listingNamesAreCut();
    void csvName_data();
    void csvName();
    void freeCsvName();
    void modes();
    void singleItemCodes_data();
    void singleItemCodes();
};

void TestCollection::shopAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("kind");
    QTest::newRow("slash") << u"http://shop.paipai.com/888/index.shtml"_s << u"888"_s << 1;
    QTest::newRow("query") << u"http://shop.paipai.com/888?ptag=1"_s << u"888"_s << 1;
    QTest::newRow("ampersand") << u"http://shop.paipai.com/888&x"_s << u"888"_s << 1;
    QTest::newRow("bare") << u"http://shop.paipai.com/888"_s << u"888"_s << 1;
    QTest::newRow("second shop host") << u"http://shop.wanggou.com/777/"_s << u"777"_s << 2;
    QTest::newRow("not a shop") << u"http://www.example.com/x"_s << u"http:"_s << 2;
}

void TestCollection::shopAddress()
{
    QFETCH(QString, address);
    QFETCH(QString, number);
    QFETCH(int, kind);
    const ShopAddress shop = parseShopAddress(Config(), address);
    QCOMPARE(shop.shopNumber, number);
    QCOMPARE(shop.kind, kind);
}

void TestCollection::listAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("key");
    QTest::newRow("category and key")
        << u"http://shop.paipai.com/888/-1234567890-/shoes/"_s << u"888"_s << u"1234567890"_s << u"shoes"_s;
    QTest::newRow("category only") << u"http://shop.paipai.com/888/-42-"_s << u"888"_s << u"42"_s
                                   << QString();
    QTest::newRow("no category") << u"http://shop.paipai.com/888/all/x"_s << u"888"_s << QString()
                                 << u"all"_s;
}

void TestCollection::listAddress()
{
    QFETCH(QString, address);
    QFETCH(QString, number);
    QFETCH(QString, category);
    QFETCH(QString, key);
    const ListAddress list = parseListAddress(Config(), address);
    QCOMPARE(list.shop.shopNumber, number);
    QCOMPARE(list.category, category);
    QCOMPARE(list.key, key);
}

void TestCollection::pageCount_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<qint64>("pages");
    QTest::newRow("80") << u"80"_s << qint64(2);
    QTest::newRow("81") << u"81"_s << qint64(3);
    QTest::newRow("1") << u"1"_s << qint64(1);
    QTest::newRow("0") << u"0"_s << qint64(0);
    QTest::newRow("text") << u"many"_s << qint64(0);
    QTest::newRow("quoted") << u"\"40\""_s << qint64(1);
    QTest::newRow("huge claim") << u"1e12"_s << qint64(25000000000);
}

void TestCollection::pageCount()
{
    QFETCH(QString, count);
    QFETCH(qint64, pages);
    QCOMPARE(listingPageCount(count), pages);
}

static QStringList markers()
{
    QStringList table(51);
    table[8] = u"<ul class=\"itemlist\">"_s;
    table[9] = u"</ul>"_s;
    table[10] = u"<li class=\"item\">"_s;
    table[11] = u"<a "_s;
    table[12] = u"href=\"http://auction1.paipai.com/"_s;
    table[18] = u"href=\"http://auction1.wanggou.com/"_s;
    table[13] = u"\""_s;
    table[19] = u"?"_s;
    table[14] = u"title=\""_s;
    table[15] = u"\">"_s;
    return table;
}

void TestCollection::listing()
{
    const QString page = uR"(<li class="item">outside the area</li>
<ul class="itemlist">
<li class="item"><a href="http://auction1.paipai.com/AAA?ptag=1" title="红色杯子">x</a></li>
<li class="item"><a href="http://auction1.paipai.com/BBB" title="">y</a></li>
<li class="item"><a href="http://auction1.wanggou.com/CCC" title="蓝色">z</a></li>
</ul>)"_s;
    QCOMPARE(listingEntries(page, markers(), 1),
             (QStringList{u"网址ID:AAA：红色杯子"_s, u"网址ID:BBB："_s,
                          u"网址ID:href=：蓝色"_s})); // the other kind's code marker is not skipped
    QCOMPARE(listingEntries(page, markers(), 2).last(), u"网址ID:CCC：蓝色"_s);
}

void TestCollection::listingWithoutStartMarker()
{
    QStringList table = markers();
    table[10].clear();
    QVERIFY(listingEntries(u"<ul class=\"itemlist\"><li class=\"item\"></ul>"_s, table, 1).isEmpty());
}

void TestCollection::listingFullOfStartMarkers()
{
    // A worst case of the fuzz target: item starts without their links, and one quote at the
    // very end. Each code reached to that quote, so every entry held the rest of the page and
    // the walk copied the page once per item.
    const QString start = u"<li class=\"item\">"_s;
    QString page = u"<ul class=\"itemlist\">"_s;
    for (int i = 0; i < 3000; ++i)
        page += start;
    page += u"\"</ul>"_s;
    const QStringList entries = listingEntries(page, markers(), 1);
    QCOMPARE(entries.size(), 3000);
    for (const QString &entry : entries) {
        QVERIFY2(entry.size() <= 80, qPrintable(entry.left(100)));
        QVERIFY(!isItemCode(itemCodeFromEntry(entry)));
    }
    // A code shorter than the span limit is read as before: the last start's span is "".
    QCOMPARE(entries.last(), u"网址ID:："_s);
}

void TestCollection::listingNamesAreCut()
{
    const QString item =
        u"<ul class=\"itemlist\"><li class=\"item\"><a href=\"http://auction1.paipai.com/AAA\" title=\""_s;
    QCOMPARE(listingEntries(item + QString(300, u'长') + u"\">x</a></ul>"_s, markers(), 1),
             QStringList{u"网址ID:AAA："_s + QString(256, u'长')});
    // Never half of a character: a pair cut in two loses its first half too.
    QCOMPARE(listingEntries(item + QString(255, u'长') + u"😀\">x</a></ul>"_s, markers(), 1),
             QStringList{u"网址ID:AAA："_s + QString(255, u'长')});
}

void TestCollection::csvName_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("name");
    QTest::newRow("single digits padded")
        << QDateTime(QDate(2026, 3, 5), QTime(9, 7)) << u"202603050907.csv"_s;
    QTest::newRow("two digits each") << QDateTime(QDate(2026, 12, 25), QTime(23, 59))
                                     << u"202612252359.csv"_s;
    QTest::newRow("1:25") << QDateTime(QDate(2026, 1, 2), QTime(1, 25)) << u"202601020125.csv"_s;
    QTest::newRow("12:05") << QDateTime(QDate(2026, 1, 2), QTime(12, 5)) << u"202601021205.csv"_s;
    QTest::newRow("seconds ignored") << QDateTime(QDate(2026, 1, 2), QTime(0, 0, 59))
                                     << u"202601020000.csv"_s;
}

void TestCollection::csvName()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, name);
    QCOMPARE(timeBasedCsvName(when), name);
}

// A second export of the same minute never replaces the first: neither an import file nor
// a picture folder of the name is taken again.
void TestCollection::freeCsvName()
{
    QTemporaryDir dir;
    const QDateTime when(QDate(2026, 12, 10), QTime(13, 41));
    QCOMPARE(freeTimeBasedCsvName(dir.path(), when), u"202612101341.csv"_s);
    QFile first(dir.filePath(u"202612101341.csv"_s));
    QVERIFY(first.open(QIODevice::WriteOnly));
    first.close();
    QCOMPARE(freeTimeBasedCsvName(dir.path(), when), u"202612101341-2.csv"_s);
    // Only the picture folder of a run whose file went: still taken.
    QVERIFY(QDir(dir.path()).mkdir(u"202612101341-2"_s));
    QCOMPARE(freeTimeBasedCsvName(dir.path(), when), u"202612101341-3.csv"_s);
    QCOMPARE(freeTimeBasedCsvName(dir.path(), when.addSecs(60)), u"202612101342.csv"_s);
}

void TestCollection::modes()
{
    for (CollectMode mode : {CollectMode::Single, CollectMode::Shop, CollectMode::List})
        QCOMPARE(collectModeFromText(collectModeText(mode)), mode);
    QCOMPARE(collectModeHint(CollectMode::Shop), u"输入店铺首页网址"_s);
    QCOMPARE(cleanCollectAddress(u" http://a b.com/\"x'\t "_s), u"http://ab.com/x"_s);
}

void TestCollection::singleItemCodes_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("code");
    QTest::newRow("anchor") << u"http://auction1.paipai.com/ABC#more"_s << u"ABC"_s;
    QTest::newRow("search without dash") << u"http://search.paipai.com/a/b"_s << QString();
}

void TestCollection::singleItemCodes()
{
    QFETCH(QString, address);
    QFETCH(QString, code);
    QCOMPARE(itemCodeFromAddress(address), code);
}

QTEST_GUILESS_MAIN(TestCollection)
#include "tst_collection.moc"
