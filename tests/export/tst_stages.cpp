#include "export/exportsummary.h"
#include "export/itemfiles.h"
#include "export/itempictures.h"
#include "export/itemvalues.h"
#include "export/layouts.h"

#include "core/text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Export;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList valuesWithStockFile(const QString &stockFile)
{
    QStringList values(45);
    values[PaipaiColumn::StockFile] = stockFile;
    return values;
}

} // namespace

// The stages of the export run, each with a fixture in and files or values out.
class TestStages : public QObject
{
    Q_OBJECT

private slots:
    void itemFilesNameAndWriteInListOrder();
    void itemFilesFailureRemovesOnlyWhatTheRunMade();
    void descriptionGetsLocalPictures_data();
    void descriptionGetsLocalPictures();
    void picturesReportWhatBecameOfThem();
    void countsOfWrittenAndFailedItems();
};

void TestStages::itemFilesNameAndWriteInListOrder()
{
    QTemporaryDir dir;
    int fullDisks = 0;
    ItemFiles files(dir.path(), [&fullDisks] { ++fullDisks; });

    ItemReport first{.code = u"AAAA"_s};
    QStringList firstValues = valuesWithStockFile(u"{a}.xml"_s);
    QStringList own;
    QVERIFY(files.write(u"同名"_s, first.code, firstValues, u"描述<p>"_s, u"<stock/>"_s, first, own));
    QCOMPARE(firstValues.at(PaipaiColumn::DescriptionFile), descriptionFileName(u"同名"_s));
    QCOMPARE(readAll(dir.filePath(descriptionFileName(u"同名"_s))), Core::encodeAnsi(u"描述<p>"_s) + "\r\n");
    QCOMPARE(readAll(dir.filePath(u"{a}.xml"_s)), QByteArray("\xEF\xBB\xBF<stock/>"));
    QCOMPARE(own, (QStringList{dir.filePath(descriptionFileName(u"同名"_s)), dir.filePath(u"{a}.xml"_s)}));

    // A later item whose folder gives the same name gets a name of its own; the first keeps its file.
    ItemReport second{.code = u"BBBB"_s};
    QStringList secondValues = valuesWithStockFile(u"{b}.xml"_s);
    QVERIFY(files.write(u"同名"_s, second.code, secondValues, u"另一个"_s, QString(), second, own));
    const QString ownName = u'{' + Core::Md5HexLower(u"同名BBBB"_s) + u"}.htm"_s;
    QCOMPARE(secondValues.at(PaipaiColumn::DescriptionFile), ownName);
    QCOMPARE(readAll(dir.filePath(ownName)), Core::encodeAnsi(u"另一个"_s) + "\r\n");
    QCOMPARE(readAll(dir.filePath(descriptionFileName(u"同名"_s))), Core::encodeAnsi(u"描述<p>"_s) + "\r\n");
    QVERIFY(!QFile::exists(dir.filePath(u"{b}.xml"_s))); // no stock text, no file
    QCOMPARE(fullDisks, 0);
}

void TestStages::itemFilesFailureRemovesOnlyWhatTheRunMade()
{
    QTemporaryDir dir;
    ItemFiles files(dir.path(), [] {});
    // An earlier run's stock file stays; a folder where the description goes makes it fail.
    QVERIFY(QDir(dir.path()).mkdir(descriptionFileName(u"item"_s)));
    const QString stock = dir.filePath(u"{s}.xml"_s);
    QFile earlier(stock);
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();

    ItemReport report{.code = u"CCCC"_s};
    QStringList values = valuesWithStockFile(u"{s}.xml"_s);
    QStringList own;
    QVERIFY(!files.write(u"item"_s, report.code, values, u"d"_s, u"new"_s, report, own));
    QCOMPARE(report.problems.size(), 1);
    QVERIFY(report.problems.at(0).contains(descriptionFileName(u"item"_s)));
    QVERIFY(own.isEmpty()); // both were there before
    failWriting(report, own);
    QCOMPARE(report.status, ItemReport::Status::WriteFailed);
    QCOMPARE(report.reason, report.problems.at(0));
    QVERIFY(QFileInfo(dir.filePath(descriptionFileName(u"item"_s))).isDir());
    QVERIFY(QFile::exists(stock));
}

void TestStages::descriptionGetsLocalPictures_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("expected");
    const QString native = QDir::toNativeSeparators(u"/p/a/long.jpg"_s);
    const QString shortNative = QDir::toNativeSeparators(u"/p/a/short.jpg"_s);
    QTest::newRow("5.x") << int(OutputType::Taobao5)
                         << u"<img src=\"FILE://"_s + native + u"\"><img src=\"FILE://"_s + shortNative +
                                u"\">看"_s;
    QTest::newRow("4.x") << int(OutputType::Taobao4)
                         << u"<img src=\""_s + native + u"\"><img src=\""_s + shortNative + u"\">看"_s;
}

void TestStages::descriptionGetsLocalPictures()
{
    QFETCH(int, type);
    QFETCH(QString, expected);
    // A URL that begins another never breaks the longer one, whatever order they came in.
    const QString description =
        u"<img src=\"http://x/a.jpg_big.jpg\"><img src=\"http://x/a.jpg\"><a href=\"http://shop/item.htm?1\">看</a>"_s;
    const QList<std::pair<QString, QString>> stored{{u"http://x/a.jpg"_s, u"/p/a/short.jpg"_s},
                                                    {u"http://x/a.jpg_big.jpg"_s, u"/p/a/long.jpg"_s}};
    QCOMPARE(localizeDescription(description, stored, OutputType(type), {u"http://shop/item.htm"_s}),
             expected);
}

void TestStages::picturesReportWhatBecameOfThem()
{
    ItemPictures pictures;
    pictures.pictures = pictureTargets(OutputType::Taobao5, u"/p"_s, u"/p/item"_s,
                                       {u"http://m/1.jpg"_s, u"http://m/2.jpg"_s}, {u"http://d/1.jpg"_s});
    QCOMPARE(pictures.pictures.at(0).target, u"/p/"_s + Core::Md5HexLower(u"http://m/1.jpg"_s) + u".tbi"_s);
    QCOMPARE(pictures.pictures.at(2).target, u"/p/item/"_s + Core::Md5Hex(u"http://d/1.jpg"_s) + u".jpg"_s);
    QVERIFY(pictures.pictures.at(2).description);
    pictures.outcomes = {
        {.attempted = true, .type = u"JPG"_s, .path = u"/p/1.tbi"_s, .created = true},
        {.attempted = true, .reason = u"服务器返回错误（HTTP 404）"_s},
        {.attempted = true, .type = u"JPG"_s, .path = u"/p/item/D.JPG"_s, .unstamped = true, .created = true},
    };
    pictures.reused = 1;
    QCOMPARE(pictures.mainPictureSuffixes(), (QStringList{u".JPG"_s, u"."_s}));
    QCOMPARE(pictures.storedDescriptionPictures(),
             (QList<std::pair<QString, QString>>{{u"http://d/1.jpg"_s, u"/p/item/D.JPG"_s}}));
    QCOMPARE(pictures.createdDescriptionFiles(), QStringList{u"/p/item/D.JPG"_s});
    ItemReport report;
    pictures.addTo(report);
    QCOMPARE(report.failedPictures, QStringList{u"http://m/2.jpg"_s});
    QCOMPARE(report.failedPictureReasons, QStringList{u"服务器返回错误（HTTP 404）"_s});
    QCOMPARE(report.unstampedPictures, QStringList{u"/p/item/D.JPG"_s});
    QCOMPARE(report.reusedPictures, 1);
}

void TestStages::countsOfWrittenAndFailedItems()
{
    ExportSummary summary;
    countWrittenItem(summary, {.code = u"A"_s, .status = ItemReport::Status::Written, .reusedPictures = 2});
    countWrittenItem(summary, {.code = u"B"_s,
                               .status = ItemReport::Status::PicturesFailed,
                               .failedPictures = {u"x"_s, u"y"_s},
                               .unstampedPictures = {u"z"_s},
                               .problems = {u"p"_s}});
    countItemWithoutRow(summary, {.code = u"C"_s, .status = ItemReport::Status::RecordFailed});
    countItemWithoutRow(summary,
                        {.code = u"D"_s, .status = ItemReport::Status::WriteFailed, .problems = {u"q"_s}});
    QCOMPARE(summary.written, 2);
    QCOMPARE(summary.rowsWritten, 2);
    QCOMPARE(summary.pictureFailures, 2);
    QCOMPARE(summary.unstampedPictures, 1);
    QCOMPARE(summary.reusedPictures, 2);
    QCOMPARE(summary.recordFailures, 1);
    QCOMPARE(summary.fileFailures, 2);
    // Each failed item once, in the order the writer took them.
    QCOMPARE(summary.failedItemCodes, (QStringList{u"B"_s, u"C"_s, u"D"_s}));
}

QTEST_GUILESS_MAIN(TestStages)
#include "tst_stages.moc"
