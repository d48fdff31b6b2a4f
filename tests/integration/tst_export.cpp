#include "core/config.h"
#include "core/httpclient.h"
#include "core/savefile.h"
#include "core/text.h"
#include "export/exportjob.h"
#include "export/pictures.h"
#include "market/itemlist.h"
#include "sandboxprocess.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <thread>

using namespace Qt::Literals::StringLiterals;
using namespace Export;
using TestSupport::SandboxProcess;

namespace {

QByteArray readAll(const QString &path);

const QString richItem = u"0C7D360B00000000040100000CC1B772"_s;       // five main pictures, nested URLs
const QString commaItem = u"1A2B3C4D00000000050200000DD2C883"_s;      // comma in the title
const QString deviceNameItem = u"4C6E80A200000000080500001005FBB6"_s; // title "CON", a picture that 404s
const QString missingItem = u"8A0B1C2D000000000C0900001449330E"_s;    // the service doesn't know it
const QString sameAsMainItem = u"5D7F91B30000000009060000111600C7"_s; // one main picture, shown again
// Hostile items of the sandbox: titles that climb out of a folder, control characters.
const QString titleEscapeItem =
    u"A1B2C3D4000000000D0A000014E5F601"_s; // "../../../../tmp/quorvex-title-escape"
const QString backslashTitleItem = u"A1B2C3D4000000000E0B000014E5F602"_s; // "..\\..\\..\\evil"
const QString dotsTitleItem = u"A1B2C3D4000000000F0C000014E5F603"_s;      // ".."
const QString deviceTitleItem = u"A1B2C3D400000000100D000014E5F604"_s;    // "COM1"
const QString controlItem = u"A1B2C3D400000000110E000014E5F605"_s;        // NUL, ESC, BEL, DEL ...

// An item of the sandbox's generated shop 999: ten pictures on img0 to img3.
QString generatedItem(int i)
{
    return u"000003E7"_s + QString::number(i, 16).toUpper().rightJustified(24, u'0');
}

// An item of the sandbox's shop 4100, whose items share pictures: the fourth main picture
// in fours, the description's header, size chart, shipping notice and brand all of them.
QString sharedPictureItem(int i)
{
    return u"00001004"_s + QString::number(i, 16).toUpper().rightJustified(24, u'0');
}

// The picture and stock files under root by their path below it, with their bytes.
// Description files are left out: their names are settled per run, so items exported one
// by one into one folder name them otherwise than one run of them all does.
QMap<QString, QByteArray> treeUnder(const QString &root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.endsWith(u".htm"_s) && !path.endsWith(u".csv"_s))
            tree.insert(path.mid(root.size()), readAll(path));
    }
    return tree;
}

// Every file under root, for checking that a run wrote nothing where it should not.
QStringList filesUnder(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

QStringList entriesOf(const QStringList &codes)
{
    QStringList entries;
    for (const QString &code : codes)
        entries << Market::makeItemEntry(code, u"名"_s);
    return entries;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString decodeUtf16(const QByteArray &bytes)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2),
                              (bytes.size() - 2) / 2);
}

} // namespace

// Whole export runs against quorvex-sandbox.
class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void layouts_data();
    void layouts();
    void readByAStandardCsvReader();
    void paipaiFiles();
    void sameOutputWhateverTheJobs();
    void refusedPathWritesNothing();
    void emptyList();
    void recordFailures_data();
    void recordFailures();
    void unreachableItemService();
    void hangingPictureServer();
    void repeatedCodesExportOnce();
    void descriptionFileNamesStayDistinct();
    void hostileServers_data();
    void hostileServers();
    void hostileNamesStayInside();
    void controlCharactersNeverReachTheFiles();
    void resetPicturesFailAlone();
    void cancelEndsPromptlyWhateverTheServers();
    void optionsChangeTheDescription();
    void cancelLeavesAWellFormedFile();
    void watermarkStampsDescriptionPicturesOnly();
    void aWatermarkThatDoesNotFitIsCounted();
    void unwritableFilesAreFailures();
    void backslashPathsKeepFileAndPicturesTogether();
    void sharedPicturesDownloadedOnce_data();
    void sharedPicturesDownloadedOnce();
    void sharedPictureFailsForEveryItem();
    void everyWriteFailingInTurn();

private:
    ExportSummary run(OutputType type, const QStringList &codes, const QString &csvPath,
                      const std::function<void(ExportOptions &)> &adjust = {}, int longWaitMs = 60000);
    std::unique_ptr<SandboxProcess> m_sandbox;
    Core::Config m_config;
    QTemporaryDir m_dir;
    int m_runs = 0;
};

void TestExport::initTestCase()
{
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
    m_config.proxy = m_sandbox->proxyUrl();
    QVERIFY(m_dir.isValid());
}

void TestExport::init()
{
    m_sandbox->reset();
}

ExportSummary TestExport::run(OutputType type, const QStringList &codes, const QString &csvPath,
                              const std::function<void(ExportOptions &)> &adjust, int longWaitMs)
{
    ExportOptions options;
    options.csvPath = csvPath;
    options.programDir = m_dir.path();
    options.type = type;
    options.clock = [] { return QDateTime(QDate(2026, 12, 9), QTime(10, 30, 5)); };
    if (adjust)
        adjust(options);
    Core::HttpOptions httpOptions = Core::HttpOptions::fromConfig(m_config);
    httpOptions.longWaitMs = longWaitMs;
    Core::HttpClient client(httpOptions);
    ExportJob job(client, m_config, options, entriesOf(codes));
    return job.run();
}

void TestExport::layouts_data()
{
    QTest::addColumn<OutputType>("type");
    QTest::addColumn<QString>("expectedFile");
    QTest::addColumn<int>("pictureFailures");
    // The 404 picture, and the one answered with an error page and status 200.
    QTest::newRow("4.x") << OutputType::Taobao4 << u"expected-tb4.txt"_s << 2;
    QTest::newRow("5.x") << OutputType::Taobao5 << u"expected-tb5.txt"_s << 2;
    QTest::newRow("paipai") << OutputType::Paipai << u"expected-paipai.txt"_s << 2;
}

// The import file byte for byte (as UTF-16 text, with the output folder as <OUT>).
void TestExport::layouts()
{
    QFETCH(OutputType, type);
    QFETCH(QString, expectedFile);
    QFETCH(int, pictureFailures);
    const QString folder = m_dir.filePath(u"layout"_s + QString::number(m_runs++));
    const QString csv = folder + u"/goods.csv"_s;
    const ExportSummary summary = run(type, {richItem, commaItem, deviceNameItem, missingItem}, csv);
    QVERIFY(summary.started);
    QCOMPARE(summary.written, 3);
    QCOMPARE(summary.recordFailures, 1);
    QCOMPARE(summary.pictureFailures, pictureFailures);
    QCOMPARE(summary.failedItemCodes, (QStringList{deviceNameItem, missingItem}));
    QVERIFY(summary.hasFailures());

    const QByteArray bytes = readAll(csv);
    QVERIFY(bytes.startsWith("\xFF\xFE"));
    QString text = decodeUtf16(bytes);
    text.replace(QDir::toNativeSeparators(folder), u"<OUT>"_s);
    const QString expectedPath = QFINDTESTDATA(u"data/"_s + expectedFile);
    if (qEnvironmentVariableIsSet("QUORVEX_WRITE_EXPECTED")) {
        QFile out(expectedPath.isEmpty() ? QStringLiteral(QUORVEX_TEST_DATA "/") + expectedFile
                                         : expectedPath);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text.toUtf8());
        QSKIP("expected file written");
    }
    QVERIFY2(!expectedPath.isEmpty(), qPrintable(expectedFile));
    const QString expected = QString::fromUtf8(readAll(expectedPath));
    if (text != expected) {
        const QStringList got = text.split(u'\n');
        const QStringList want = expected.split(u'\n');
        for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i)
            QCOMPARE(got.at(i), want.at(i));
        QCOMPARE(got.size(), want.size());
    }
}

void TestExport::readByAStandardCsvReader()
{
    const QString python = QStandardPaths::findExecutable(u"python3"_s);
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    for (const OutputType type : {OutputType::Taobao4, OutputType::Taobao5, OutputType::Paipai}) {
        const QString csv = m_dir.filePath(u"reader"_s + QString::number(m_runs++) + u"/goods.csv"_s);
        QVERIFY(run(type, {richItem, commaItem, deviceNameItem, missingItem}, csv).started);
        QProcess reader;
        reader.start(python, {QFINDTESTDATA(u"read_import_file.py"_s), csv});
        QVERIFY(reader.waitForFinished(30000));
        const QByteArray output = reader.readAllStandardOutput() + reader.readAllStandardError();
        QVERIFY2(reader.exitCode() == 0, output.constData());
        const int columns = type == OutputType::Taobao4 ? 46 : type == OutputType::Taobao5 ? 49 : 45;
        // The item the service doesn't know gets no row.
        QCOMPARE(output.trimmed(), QByteArray("rows=3 columns=") + QByteArray::number(columns));
    }
}

void TestExport::paipaiFiles()
{
    const QString folder = m_dir.filePath(u"paipai"_s);
    run(OutputType::Paipai, {richItem, deviceNameItem}, folder + u"/shop.csv"_s);
    const QString pictures = folder + u"/shop"_s;
    // Main pictures named by the lower digest with their detected type.
    const QString main = pictures + u"/{"_s +
                         Core::Md5HexLower(u"http://img0.paipaiimg.com/a1/0C7D360B/main1.jpg"_s) + u"}.JPG"_s;
    QVERIFY2(QFile::exists(main), qPrintable(main));
    // The description file in GBK, ending in CR LF.
    const QString folderName = u"韩版秋冬新款毛呢外套女中长款修身显瘦大衣送围巾腰带包邮"_s;
    const QByteArray description = readAll(pictures + u"/{"_s + Core::Md5HexLower(folderName) + u"}.htm"_s);
    QVERIFY(description.endsWith("\r\n"));
    QVERIFY(Core::decodeAnsi(description).contains(u"韩版毛呢外套 细节展示"_s));
    QVERIFY(!description.contains("\r\n\r\n"));
    // Description pictures in the item folder, upper digest and type.
    const QString descriptionPicture = pictures + u'/' + folderName + u'/' +
                                       Core::Md5Hex(u"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg"_s) +
                                       u".JPG"_s;
    QVERIFY2(QFile::exists(descriptionPicture), qPrintable(descriptionPicture));
    // A reserved device name as the title gives the item code as the folder.
    QVERIFY(QFileInfo(pictures + u'/' + deviceNameItem).isDir());
    // The stock file is UTF-8 with its byte-order mark.
    const QByteArray stock = readAll(pictures + u"/{"_s + Core::Md5Hex(richItem) + u"}.xml"_s);
    QVERIFY(stock.startsWith("\xEF\xBB\xBF"));
    // Nothing was written outside the output folder.
    QDirIterator it(m_dir.path(), QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QVERIFY2(!path.startsWith(folder) || path.startsWith(pictures) || path == folder + u"/shop.csv"_s,
                 qPrintable(path));
    }
}

void TestExport::sameOutputWhateverTheJobs()
{
    m_sandbox->setLatency(5);
    QByteArray first;
    for (const int jobs : {1, 6}) {
        const QString folder = m_dir.filePath(u"jobs"_s + QString::number(jobs));
        run(OutputType::Taobao5, {richItem, commaItem, richItem, deviceNameItem, missingItem, commaItem},
            folder + u"/goods.csv"_s, [jobs](ExportOptions &options) { options.jobs = jobs; });
        QString text = decodeUtf16(readAll(folder + u"/goods.csv"_s));
        text.replace(QDir::toNativeSeparators(folder), u"<OUT>"_s);
        if (first.isEmpty())
            first = text.toUtf8();
        else
            QCOMPARE(text.toUtf8(), first);
    }
}

void TestExport::refusedPathWritesNothing()
{
    for (const QString &name : {u"goods.Csv"_s, u"goods.txt"_s, u"goods"_s}) {
        const QString path = m_dir.filePath(u"refused/"_s + name);
        const ExportSummary summary = run(OutputType::Taobao5, {richItem}, path);
        QVERIFY(!summary.started);
        QCOMPARE(summary.error, u"文件名要‘.csv’为扩展名"_s);
        QVERIFY(!QFileInfo::exists(m_dir.filePath(u"refused"_s)));
    }
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), 0);
    QVERIFY(run(OutputType::Taobao5, {}, m_dir.filePath(u"upper/GOODS.CSV"_s)).started);

    // A file where the picture folder goes: the run would list pictures it can't store, so
    // nothing is fetched and the previous import file stays.
    QVERIFY(QDir().mkpath(m_dir.filePath(u"blocked"_s)));
    for (const char *name : {"blocked/goods", "blocked/goods.csv"}) {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("previous");
    }
    const QString blocked = m_dir.filePath(u"blocked/goods.csv"_s);
    const int requestsBefore = m_sandbox->counts().value(u"total"_s).toInt();
    const ExportSummary summary = run(OutputType::Taobao5, {richItem}, blocked);
    QVERIFY(!summary.started);
    QCOMPARE(summary.error,
             u"无法创建图片文件夹 "_s + QDir::toNativeSeparators(m_dir.filePath(u"blocked/goods"_s)));
    QCOMPARE(readAll(blocked), QByteArray("previous"));
    QCOMPARE(m_sandbox->counts().value(u"total"_s).toInt(), requestsBefore);
}

void TestExport::emptyList()
{
    // A list without items has nothing to list: a file of a header alone would replace a good one.
    const QString csv = m_dir.filePath(u"empty/goods.csv"_s);
    QVERIFY(QDir().mkpath(m_dir.filePath(u"empty"_s)));
    QFile previous(csv);
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write("previous");
    previous.close();
    const ExportSummary summary = run(OutputType::Taobao4, {}, csv);
    QCOMPARE(readAll(csv), QByteArray("previous"));
    QVERIFY(summary.error.contains(u"原有文件保持不变"_s));
    QCOMPARE(summary.written, 0);

    // Without a previous file there is nothing to keep, and the message does not claim one.
    const QString fresh = m_dir.filePath(u"empty/fresh.csv"_s);
    const ExportSummary none = run(OutputType::Taobao4, {}, fresh);
    QVERIFY(!QFileInfo::exists(fresh));
    QCOMPARE(none.error, u"没有读到任何商品的信息，导入文件未写入："_s + QDir::toNativeSeparators(fresh));
}

void TestExport::recordFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("reset") << u"reset"_s << u"商品服务：服务器断开了连接，没有应答"_s;
    QTest::newRow("server error") << u"status:500"_s << u"商品服务返回错误（HTTP 500）"_s;
    QTest::newRow("not found") << u"status:404"_s << u"商品服务返回错误（HTTP 404）"_s;
    QTest::newRow("empty body") << u"empty"_s << u"商品服务返回了空内容"_s;
    QTest::newRow("broken off") << u"truncate"_s << u"商品服务：传输中断，内容不完整（HTTP 200）"_s;
    QTest::newRow("no answer") << u"hang"_s << u"商品服务：服务器无应答（等待超时）"_s;
    QTest::newRow("unknown item") << QString() << u"商品服务：商品不存在或已下架"_s;
}

// An item whose record can't be read gets no row and no file, and its reason tells the cause.
void TestExport::recordFailures()
{
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    const QString failing = fault.isEmpty() ? missingItem : commaItem;
    if (!fault.isEmpty())
        m_sandbox->addFault(u"*itemCode="_s + failing + u"*"_s, fault);
    const QString folder = m_dir.filePath(u"recordfailed"_s + QString::number(m_runs++));
    const QString csv = folder + u"/goods.csv"_s;
    ExportSummary summary = run(OutputType::Taobao4, {richItem, failing}, csv, {}, 300);
    QCOMPARE(summary.written, 1);
    QCOMPARE(summary.rowsWritten, 1);
    QCOMPARE(summary.recordFailures, 1);
    QCOMPARE(summary.items.at(1).status, ItemReport::Status::RecordFailed);
    QCOMPARE(summary.items.at(1).reason, reason);
    QCOMPARE(summary.failedItemCodes, QStringList{failing});
    QCOMPARE(summary.text(), u"下载完成,共成功下载1个，1个商品读取失败"_s);
    QVERIFY(summary.details().contains(reason));
    const QString text = decodeUtf16(readAll(csv));
    QVERIFY(text.contains(u"韩版秋冬新款毛呢外套"_s));
    QVERIFY(!text.contains(u"蓝格"_s));
    // Nothing of the failed item is on disk: only the written item's stock file and description.
    const QStringList top = QDir(folder + u"/goods"_s).entryList(QDir::Files);
    QCOMPARE(top.filter(u".xml"_s), QStringList{u"{"_s + Core::Md5Hex(richItem) + u"}.xml"_s});
    QCOMPARE(top.filter(u".htm"_s).size(), 1);
}

void TestExport::unreachableItemService()
{
    // One item read: the file is whole, without a row for the item that failed.
    m_sandbox->addFault(u"*itemCode=1A2B3C4D*"_s, u"reset"_s);
    const QString csv = m_dir.filePath(u"noservice/goods.csv"_s);
    ExportSummary summary = run(OutputType::Taobao4, {richItem, commaItem}, csv);
    QCOMPARE(summary.written, 1);
    QCOMPARE(summary.recordFailures, 1);

    // Nothing read: the previous file stays, and the run says so.
    m_sandbox->addFault(u"api.paipai.com/*"_s, u"reset"_s);
    const QByteArray before = readAll(csv);
    summary = run(OutputType::Taobao4, {richItem, commaItem}, csv);
    QCOMPARE(summary.written, 0);
    QCOMPARE(summary.recordFailures, 2);
    QVERIFY(summary.error.contains(u"原有文件保持不变"_s));
    QVERIFY(summary.hasFailures());
    QCOMPARE(readAll(csv), before);
}

void TestExport::hangingPictureServer()
{
    m_sandbox->addFault(u"img1.paipaiimg.com/*"_s, u"hang"_s);
    const QString csv = m_dir.filePath(u"hang/goods.csv"_s);
    const ExportSummary summary = run(OutputType::Taobao5, {richItem}, csv, {}, 300);
    QCOMPARE(summary.written, 1);
    QVERIFY(summary.pictureFailures >= 2);
    QCOMPARE(summary.items.at(0).status, ItemReport::Status::PicturesFailed);
    QVERIFY(
        summary.items.at(0).failedPictures.contains(u"http://img1.paipaiimg.com/a1/0C7D360B/main2.jpg"_s));
    // A picture that never arrived leaves no file and keeps its remote address.
    const QString text = decodeUtf16(readAll(csv));
    QVERIFY(text.contains(u"src=\"\"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg\"\""_s));
}

void TestExport::repeatedCodesExportOnce()
{
    const QString folder = m_dir.filePath(u"twice"_s);
    const QString lowerCase = richItem.toLower(); // the service reads codes without regard to case
    const ExportSummary summary =
        run(OutputType::Paipai, {richItem, commaItem, richItem, lowerCase}, folder + u"/goods.csv"_s);
    QCOMPARE(summary.written, 2);
    QCOMPARE(summary.duplicates, 2);
    QCOMPARE(summary.items.size(), 4);
    QCOMPARE(summary.items.at(0).status, ItemReport::Status::Written);
    QCOMPARE(summary.items.at(2).status, ItemReport::Status::Duplicate);
    QCOMPARE(summary.items.at(3).status, ItemReport::Status::Duplicate);
    QVERIFY(!summary.hasFailures());
    QCOMPARE(summary.text(), u"下载完成,共成功下载2个，2个重复商品只导出一次"_s);
    const QStringList rows = decodeUtf16(readAll(folder + u"/goods.csv"_s)).split(u'\n').mid(1);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(m_sandbox->hostCount(u"api.paipai.com/item/getItem.xhtml"_s), 2);
}

void TestExport::descriptionFileNamesStayDistinct()
{
    // Two items of one title: the second gets a description file of its own.
    const QString twinItem = u"0C7D360B00000000040100000CC1B773"_s;
    const QString folder = m_dir.filePath(u"twins"_s);
    run(OutputType::Paipai, {richItem, twinItem}, folder + u"/goods.csv"_s);
    const QString text = decodeUtf16(readAll(folder + u"/goods.csv"_s));
    const QStringList rows = text.split(u'\n', Qt::SkipEmptyParts).mid(1);
    QCOMPARE(rows.size(), 2);
    const QString first = rows.at(0).split(u'\t').at(30);
    const QString second = rows.at(1).split(u'\t').at(30);
    const QString folderName = u"韩版秋冬新款毛呢外套女中长款修身显瘦大衣送围巾腰带包邮"_s;
    QCOMPARE(first, u"\"{"_s + Core::Md5HexLower(folderName) + u"}.htm\""_s);
    QCOMPARE(second, u"\"{"_s + Core::Md5HexLower(folderName + twinItem) + u"}.htm\""_s);
    QVERIFY(QFile::exists(folder + u"/goods/"_s + first.mid(1).chopped(1)));
    QVERIFY(QFile::exists(folder + u"/goods/"_s + second.mid(1).chopped(1)));
}

void TestExport::hostileServers_data()
{
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QStringList>("faults"); // PATTERN=KIND
    QTest::addColumn<int>("written");
    QTest::addColumn<QString>("failedCode"); // the item that fails, or empty
    QTest::addColumn<QString>("itemReason"); // its reason, or the reason of each failed picture
    QTest::addColumn<int>("pictureFailures");
    const QString escape = u"../../../../tmp/quorvex-escape"_s;
    QTest::newRow("codes climbing out")
        << QStringList{richItem, escape, u"..\\..\\..\\quorvex-escape2"_s, u"C:\\quorvex-escape3"_s,
                       u"/tmp/quorvex-escape4"_s}
        << QStringList() << 1 << escape << u"商品编号无效：../../../../tmp/quorvex-escape"_s << 0;
    QTest::newRow("document cut before its end")
        << QStringList{richItem, commaItem} << QStringList{u"*itemCode=1A2B3C4D*=cut"_s} << 1 << commaItem
        << u"商品服务的回复不完整或不是商品信息"_s << 0;
    QTest::newRow("document too large")
        << QStringList{richItem, commaItem} << QStringList{u"*itemCode=1A2B3C4D*=oversize:100000000"_s} << 1
        << commaItem << u"商品服务：内容过大，已中止下载"_s << 0;
    QTest::newRow("redirect loop") << QStringList{richItem, commaItem}
                                   << QStringList{u"*itemCode=1A2B3C4D*=redirect-loop"_s} << 1 << commaItem
                                   << u"商品服务：网址重定向次数过多"_s << 0;
    QTest::newRow("signature, then garbage")
        << QStringList{generatedItem(1)}
        << QStringList{u"*/gen/999/1/0.jpg=garbage:png"_s, u"*/gen/999/1/6.jpg=garbage:jpeg"_s} << 1
        << QString() << u"下载的内容不是图片"_s << 2;
    QTest::newRow("picture too large")
        << QStringList{generatedItem(2)} << QStringList{u"*/gen/999/2/7.jpg=oversize:4000000000"_s} << 1
        << QString() << u"内容过大，已中止下载"_s << 1;
    QTest::newRow("picture broken off")
        << QStringList{generatedItem(3)} << QStringList{u"*/gen/999/3/2.jpg=reset-body"_s} << 1 << QString()
        << u"传输中断，内容不完整（HTTP 200）"_s << 1;
}

// Whatever a server sends, a failure never passes as a row or a picture, and says why.
void TestExport::hostileServers()
{
    QFETCH(QStringList, codes);
    QFETCH(QStringList, faults);
    QFETCH(int, written);
    QFETCH(QString, failedCode);
    QFETCH(QString, itemReason);
    QFETCH(int, pictureFailures);
    for (const QString &fault : faults) {
        const qsizetype at = fault.lastIndexOf(u'=');
        m_sandbox->addFault(fault.left(at), fault.mid(at + 1));
    }
    const QString folder = m_dir.filePath(u"hostile"_s + QString::number(m_runs++));
    const ExportSummary summary = run(OutputType::Paipai, codes, folder + u"/goods.csv"_s, {}, 5000);
    QCOMPARE(summary.written, written);
    QCOMPARE(summary.rowsWritten, written);
    QCOMPARE(summary.pictureFailures, pictureFailures);
    QCOMPARE(summary.recordFailures, int(codes.size()) - written);
    if (!failedCode.isEmpty()) {
        const auto failed = std::find_if(summary.items.cbegin(), summary.items.cend(),
                                         [&](const ItemReport &item) { return item.code == failedCode; });
        QVERIFY(failed != summary.items.cend());
        QCOMPARE(failed->status, ItemReport::Status::RecordFailed);
        QCOMPARE(failed->reason, itemReason);
    } else {
        const ItemReport &item = summary.items.at(0);
        QCOMPARE(item.status, ItemReport::Status::PicturesFailed);
        QCOMPARE(item.failedPictureReasons, QStringList(pictureFailures, itemReason));
        // Nothing is stored for a picture that failed.
        for (const QString &url : item.failedPictures) {
            const QString stem = Core::Md5HexLower(url);
            const QString main = Core::Md5Hex(url);
            for (const QString &file : filesUnder(folder))
                QVERIFY2(!file.contains(stem) && !file.contains(main), qPrintable(file));
        }
    }
    const QStringList rows = decodeUtf16(readAll(folder + u"/goods.csv"_s)).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 1 + written);
    // Nothing outside the output folder.
    for (const QString &path :
         {u"/tmp/quorvex-escape"_s, u"/tmp/quorvex-escape4"_s, u"/tmp/quorvex-title-escape"_s})
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
    for (const QString &file : filesUnder(m_dir.path()))
        QVERIFY2(Core::isPathInside(m_dir.path(), file), qPrintable(file));
}

void TestExport::hostileNamesStayInside()
{
    const QString folder = m_dir.filePath(u"hostilenames"_s);
    const QString pictures = folder + u"/goods"_s;
    const ExportSummary summary =
        run(OutputType::Taobao5, {titleEscapeItem, backslashTitleItem, dotsTitleItem, deviceTitleItem},
            folder + u"/goods.csv"_s);
    QCOMPARE(summary.written, 4);
    QVERIFY2(!summary.hasFailures(), qPrintable(summary.details()));
    // Each item's description pictures are in a folder of its own, inside the picture folder.
    const QStringList expectedFolders{u"tmpquorvex-title-escape"_s, u"evil"_s, dotsTitleItem,
                                      deviceTitleItem};
    for (const QString &name : expectedFolders) {
        const QDir itemFolder(pictures + u'/' + name);
        QVERIFY2(itemFolder.exists(), qPrintable(name));
        QCOMPARE(itemFolder.entryList(QDir::Files).size(), 2);
    }
    QCOMPARE(QDir(pictures).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 4);
    QVERIFY(!QFileInfo::exists(u"/tmp/quorvex-title-escape"_s));
    for (const QString &file : filesUnder(m_dir.path()))
        QVERIFY2(Core::isPathInside(folder, file) || !file.startsWith(folder), qPrintable(file));
    QVERIFY(!QFileInfo::exists(m_dir.filePath(u"evil"_s)));
}

void TestExport::controlCharactersNeverReachTheFiles()
{
    const QString folder = m_dir.filePath(u"control"_s);
    for (const OutputType type : {OutputType::Taobao5, OutputType::Paipai}) {
        const QString csv = folder + QString::number(int(type)) + u"/goods.csv"_s;
        const ExportSummary summary = run(type, {controlItem}, csv);
        QCOMPARE(summary.written, 1);
        const QString text = decodeUtf16(readAll(csv));
        QVERIFY(text.contains(u"控制字符空字符转义响铃制表回车换行删除 测试宝贝"_s));
        // The layouts' own TABs and line ends are the only control characters left.
        for (const QChar c : text)
            QVERIFY2(c.unicode() >= 0x20 || c == u'\t' || c == u'\r' || c == u'\n',
                     qPrintable(QString::number(c.unicode())));
        QVERIFY(!text.contains(QChar(0x7F)));
        for (const QString &file : filesUnder(QFileInfo(csv).path() + u"/goods"_s)) {
            if (!file.endsWith(u".htm"_s))
                continue;
            QByteArray bytes = readAll(file);
            QVERIFY(bytes.endsWith("\r\n"));
            bytes.chop(2);
            QVERIFY(bytes.contains("<p>"));
            for (const char c : std::as_const(bytes))
                QVERIFY2(uchar(c) >= 0x20 && uchar(c) != 0x7F, file.toUtf8().constData());
        }
    }
}

// A picture whose transfer is reset in mid-body fails alone, run after run; its
// neighbours on the same hosts and connections all arrive.
void TestExport::resetPicturesFailAlone()
{
    QStringList codes;
    for (int i = 0; i < 30; ++i)
        codes << generatedItem(10 + i);
    for (int run = 0; run < 3; ++run) {
        m_sandbox->reset();
        QStringList faulty;
        for (int i = 0; i < 6; ++i) {
            const QString path =
                u"/gen/999/"_s + QString::number(10 + 5 * i) + u'/' + QString::number(i) + u".jpg"_s;
            m_sandbox->addFault(u"*"_s + path, u"reset-body"_s);
            faulty << path;
        }
        const QString folder = m_dir.filePath(u"resets"_s + QString::number(m_runs++));
        const ExportSummary summary = this->run(OutputType::Taobao5, codes, folder + u"/goods.csv"_s);
        QCOMPARE(summary.written, 30);
        QCOMPARE(summary.pictureFailures, 6);
        QStringList failed;
        for (const ItemReport &item : summary.items) {
            for (const QString &url : item.failedPictures)
                failed << QUrl(url).path();
        }
        failed.sort();
        faulty.sort();
        QCOMPARE(failed, faulty);
    }
}

void TestExport::cancelEndsPromptlyWhateverTheServers()
{
    // Every picture host hangs and the wait is the full minute: only the stop can end the run.
    m_sandbox->addFault(u"img*.paipaiimg.com/*"_s, u"hang"_s);
    const QString csv = m_dir.filePath(u"stopnow/goods.csv"_s);
    ExportOptions options;
    options.csvPath = csv;
    options.programDir = m_dir.path();
    options.type = OutputType::Taobao5;
    Core::HttpClient client(Core::HttpOptions::fromConfig(m_config));
    ExportJob job(client, m_config, options, entriesOf({richItem, commaItem, deviceNameItem}));
    QElapsedTimer sinceCancel;
    std::thread stopper([&job, &sinceCancel, this] {
        // Stop once the pictures are on the wire (plain polling: no test macro off the test thread).
        for (int i = 0; i < 200 && m_sandbox->counts().value(u"total"_s).toInt() <= 10; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sinceCancel.start();
        job.cancel();
    });
    const ExportSummary summary = job.run();
    const qint64 elapsed = sinceCancel.elapsed();
    stopper.join();
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    QVERIFY(summary.cancelled);
    QCOMPARE(summary.written, 0);
    QVERIFY(summary.text().startsWith(u"已停止,共成功下载0个"_s));
    QVERIFY(!QFile::exists(csv)); // nothing whole to write, and no file of a header alone
}

void TestExport::optionsChangeTheDescription()
{
    const QString folder = m_dir.filePath(u"options"_s);
    const ExportSummary summary =
        run(OutputType::Taobao4, {richItem}, folder + u"/goods.csv"_s, [](ExportOptions &o) {
            o.skipDescriptionPictures = true;
            o.useRules = true;
            o.rules = QList<ReplacementRule>{{u"细节展示"_s, u"细节图"_s}};
            o.adjustments.adjustPrice = true;
            o.adjustments.pricePercent = u"110"_s;
            o.adjustments.priceDecimals = u"2"_s;
            o.adjustments.adjustStock = true;
            o.adjustments.stockValue = u"9"_s;
        });
    QCOMPARE(summary.pictureFailures, 0);
    const QStringList fields = decodeUtf16(readAll(folder + u"/goods.csv"_s)).split(u'\r').at(1).split(u'\t');
    QCOMPARE(fields.at(7), u"294.80"_s);
    QCOMPARE(fields.at(9), u"9"_s);
    QVERIFY(fields.at(25).contains(u"细节图"_s));
    QVERIFY(fields.at(25).contains(u"src=\"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg\""_s));
    QCOMPARE(m_sandbox->count(u"/a1/0C7D360B/desc/a.jpg"_s), 0);
    QVERIFY(!QFileInfo::exists(folder + u"/goods/韩版秋冬新款毛呢外套女中长款修身显瘦大衣送围巾腰带包邮"_s));
}

void TestExport::cancelLeavesAWellFormedFile()
{
    const QString csv = m_dir.filePath(u"cancel/goods.csv"_s);
    ExportOptions options;
    options.csvPath = csv;
    options.programDir = m_dir.path();
    options.type = OutputType::Taobao5;
    options.jobs = 1;
    Core::HttpClient client(Core::HttpOptions::fromConfig(m_config));
    ExportJob job(client, m_config, options,
                  entriesOf({richItem, commaItem, deviceNameItem, sameAsMainItem}));
    connect(
        &job, &ExportJob::itemDone, &job,
        [&job](int index) {
            if (index == 1)
                job.cancel();
        },
        Qt::DirectConnection);
    const ExportSummary summary = job.run();
    QVERIFY(summary.cancelled);
    QCOMPARE(summary.rowsWritten, 2);
    // What was written is whole: no picture of a written item was left out by the stop.
    QCOMPARE(summary.pictureFailures, 0);
    QCOMPARE(summary.items.at(1).status, ItemReport::Status::Written);
    QCOMPARE(summary.items.at(2).status, ItemReport::Status::NotReached);
    QVERIFY(summary.text().contains(u"已停止"_s));
    const QStringList lines = decodeUtf16(readAll(csv)).split(u'\n');
    QCOMPARE(lines.size(), 6); // three header lines, two rows, nothing after the last LF
    QCOMPARE(lines.last(), QString());
}

void TestExport::watermarkStampsDescriptionPicturesOnly()
{
    const QString folder = m_dir.filePath(u"watermark"_s);
    const ExportSummary summary = run(OutputType::Taobao5, {richItem}, folder + u"/goods.csv"_s,
                                      [](ExportOptions &o) { o.useWatermark = true; });
    QVERIFY2(summary.notes.isEmpty(), qPrintable(summary.notes.join(u'\n')));
    Core::HttpClient client(Core::HttpOptions::fromConfig(m_config));
    const auto original = [&client](const QString &url) {
        return client.get({url, Core::WaitMode::Long}).body;
    };

    const QString descriptionUrl = u"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg"_s;
    const QString stamped = folder + u"/goods/韩版秋冬新款毛呢外套女中长款修身显瘦大衣送围巾腰带包邮/"_s +
                            Core::Md5Hex(descriptionUrl) + u".JPG"_s;
    const QByteArray stampedBytes = readAll(stamped);
    QVERIFY(stampedBytes.startsWith("\xFF\xD8"));
    QVERIFY(stampedBytes != original(descriptionUrl));
    QImage image;
    QVERIFY(image.loadFromData(stampedBytes, "JPG"));

    // Main pictures are never stamped.
    const QString mainUrl = u"http://img0.paipaiimg.com/a1/0C7D360B/main1.jpg"_s;
    QCOMPARE(readAll(folder + u"/goods/"_s + Core::Md5HexLower(mainUrl) + u".tbi"_s), original(mainUrl));
}

void TestExport::aWatermarkThatDoesNotFitIsCounted()
{
    const QString folder = m_dir.filePath(u"watermark-too-large"_s);
    Imaging::WatermarkSettings settings;
    settings.fontSize = u"1000"_s; // wider than any picture of the item
    const ExportSummary summary =
        run(OutputType::Taobao5, {richItem}, folder + u"/goods.csv"_s, [&settings](ExportOptions &o) {
            o.useWatermark = true;
            o.watermarkSettings = settings;
        });
    QVERIFY2(summary.notes.isEmpty(), qPrintable(summary.notes.join(u'\n')));
    QCOMPARE(summary.pictureFailures, 0);
    QVERIFY(summary.unstampedPictures > 0);
    QCOMPARE(summary.items.at(0).unstampedPictures.size(), summary.unstampedPictures);
    QVERIFY(summary.text().contains(QString::number(summary.unstampedPictures) + u"张图片未加水印"_s));
    // Left without the mark, but re-encoded as every stamped picture is.
    const QString descriptionUrl = u"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg"_s;
    const QString picture = folder + u"/goods/韩版秋冬新款毛呢外套女中长款修身显瘦大衣送围巾腰带包邮/"_s +
                            Core::Md5Hex(descriptionUrl) + u".JPG"_s;
    QVERIFY(summary.items.at(0).unstampedPictures.contains(picture));
    QVERIFY(readAll(picture).startsWith("\xFF\xD8"));
}

void TestExport::unwritableFilesAreFailures()
{
    const QString folder = m_dir.filePath(u"unwritable"_s);
    // A folder standing where the stock file goes.
    QVERIFY(QDir().mkpath(folder + u"/goods/{"_s + Core::Md5Hex(richItem) + u"}.xml"_s));
    const ExportSummary summary = run(OutputType::Paipai, {richItem}, folder + u"/goods.csv"_s);
    QCOMPARE(summary.fileFailures, 1);
    QVERIFY(summary.hasFailures());
    QCOMPARE(summary.failedItemCodes, QStringList{richItem});
    QVERIFY(summary.text().endsWith(u"1个文件写入失败"_s));
    QVERIFY(summary.details().contains(u"}.xml"_s));
}

void TestExport::backslashPathsKeepFileAndPicturesTogether()
{
    const QString folder = m_dir.filePath(u"backslash"_s);
    QVERIFY(QDir().mkpath(folder));
    const ExportSummary summary = run(OutputType::Taobao5, {richItem}, folder + u"\\goods.csv"_s);
    QVERIFY(summary.started);
    QVERIFY(QFile::exists(folder + u"/goods.csv"_s));
    QVERIFY(QFileInfo(folder + u"/goods"_s).isDir());
}

void TestExport::sharedPicturesDownloadedOnce_data()
{
    QTest::addColumn<OutputType>("type");
    QTest::addColumn<bool>("watermark");
    QTest::newRow("5.x") << OutputType::Taobao5 << false;
    QTest::newRow("5.x, watermark") << OutputType::Taobao5 << true;
    QTest::newRow("paipai, watermark") << OutputType::Paipai << true;
}

// Items that show the same pictures get each picture from one download, and the very files
// and rows each of them gets when exported on its own: the same bytes, the same stamp.
void TestExport::sharedPicturesDownloadedOnce()
{
    QFETCH(OutputType, type);
    QFETCH(bool, watermark);
    // sameAsMainItem's description shows its main picture: one download for two files, one
    // of them stamped under the watermark.
    QStringList codes{sameAsMainItem, richItem};
    for (int i = 0; i < 40; ++i)
        codes << sharedPictureItem(i);
    const auto adjust = [watermark](ExportOptions &options) {
        options.useWatermark = watermark;
        options.jobs = 8;
    };
    m_sandbox->setLatency(10);
    const QString together = m_dir.filePath(u"shared"_s + QString::number(m_runs++));
    const ExportSummary summary = run(type, codes, together + u"/goods.csv"_s, adjust);
    QCOMPARE(summary.written, int(codes.size()));
    QCOMPARE(summary.pictureFailures, 0);
    QVERIFY2(summary.notes.isEmpty(), qPrintable(summary.notes.join(u'\n')));

    // Every picture address was asked for once, whatever its query.
    const auto pictureCounts = [this] {
        QMap<QString, int> pictures;
        const QJsonObject hosts = m_sandbox->counts().value(u"hosts"_s).toObject();
        for (auto it = hosts.begin(); it != hosts.end(); ++it) {
            const QString path = it.key().section(u'/', 1);
            if (!path.startsWith(u"item/"_s) && !path.startsWith(u"stock/"_s) &&
                !path.startsWith(u"soft/"_s) && !path.startsWith(u"js/"_s))
                pictures.insert(it.key(), it.value().toInt());
        }
        return pictures;
    };
    const QMap<QString, int> downloaded = pictureCounts();
    for (auto it = downloaded.cbegin(); it != downloaded.cend(); ++it)
        QVERIFY2(it.value() == 1, qPrintable(it.key()));
    // Shop 4100: five pictures of each item's own, one per four items, four for the shop.
    QCOMPARE(summary.sharedPictures, 40 * 10 - (40 * 5 + 10 + 4) + 1);

    // The same items one by one, each run downloading for itself, into a folder of their own.
    m_sandbox->reset();
    const QString alone = m_dir.filePath(u"alone"_s + QString::number(m_runs++));
    static const QRegularExpression descriptionFile(u"[^\\t\"]*\\.htm"_s);
    QStringList rows;
    QString header;
    for (const QString &code : std::as_const(codes)) {
        const ExportSummary one = run(type, {code}, alone + u"/goods.csv"_s, adjust);
        QCOMPARE(one.written, 1);
        QCOMPARE(one.sharedPictures, code == sameAsMainItem ? 1 : 0);
        QString text = decodeUtf16(readAll(alone + u"/goods.csv"_s));
        text.replace(QDir::toNativeSeparators(alone), u"<OUT>"_s)
            .replace(descriptionFile, u"<DESCRIPTION>"_s);
        if (!rows.isEmpty()) {
            // The header is what every run's file begins with.
            qsizetype common = 0;
            while (common < std::min(text.size(), rows.first().size()) &&
                   text.at(common) == rows.first().at(common))
                ++common;
            header = text.left(text.lastIndexOf(u'\n', common - 1) + 1);
        }
        rows << text;
    }
    QVERIFY(!header.isEmpty());
    QString expected = header;
    for (const QString &text : std::as_const(rows)) {
        QVERIFY(text.startsWith(header));
        // Layouts whose rows don't end in a line end put one between them.
        if (!expected.endsWith(u'\n'))
            expected += u'\n';
        expected += text.mid(header.size());
    }
    QString text = decodeUtf16(readAll(together + u"/goods.csv"_s));
    text.replace(QDir::toNativeSeparators(together), u"<OUT>"_s).replace(descriptionFile, u"<DESCRIPTION>"_s);
    if (text != expected) {
        const QStringList got = text.split(u'\n'), want = expected.split(u'\n');
        for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i)
            QCOMPARE(got.at(i), want.at(i));
        QCOMPARE(got.size(), want.size());
    }
    // What the runs one by one downloaded, less the one picture sameAsMainItem shows twice,
    // the run of them all downloaded once or copied.
    int aloneDownloads = 0;
    for (const int count : pictureCounts())
        aloneDownloads += count;
    QCOMPARE(int(downloaded.size()) + summary.sharedPictures, aloneDownloads + 1);
    const auto togetherFiles = treeUnder(together);
    const auto aloneFiles = treeUnder(alone);
    QCOMPARE(togetherFiles.keys(), aloneFiles.keys());
    for (auto it = aloneFiles.cbegin(); it != aloneFiles.cend(); ++it)
        QVERIFY2(togetherFiles.value(it.key()) == it.value(), qPrintable(it.key()));
}

// A shared picture that fails fails for every item that shows it, with the same reason,
// from its one request.
void TestExport::sharedPictureFailsForEveryItem()
{
    m_sandbox->addFault(u"img1.paipaiimg.com/gen/4100/shared/sizes.jpg"_s, u"status:404"_s);
    QStringList codes;
    for (int i = 0; i < 12; ++i)
        codes << sharedPictureItem(i);
    const QString folder = m_dir.filePath(u"sharedfail"_s);
    const ExportSummary summary = run(OutputType::Taobao5, codes, folder + u"/goods.csv"_s,
                                      [](ExportOptions &options) { options.jobs = 6; });
    QCOMPARE(m_sandbox->count(u"/gen/4100/shared/sizes.jpg"_s), 1);
    QCOMPARE(summary.pictureFailures, 12);
    QCOMPARE(summary.failedItemCodes, codes);
    for (const ItemReport &report : summary.items) {
        QCOMPARE(report.failedPictures,
                 QStringList{u"http://img1.paipaiimg.com/gen/4100/shared/sizes.jpg"_s});
        QCOMPARE(report.failedPictureReasons, QStringList{u"服务器返回错误（HTTP 404）"_s});
    }
}

// A small export run again and again, failing each of its file writes in turn (as a disk
// that refuses the file, or as a full one at the rename): no run claims success, the import
// file is the old one or rows of a complete one, no empty, cut-short or temporary file is
// left, and the report agrees with the import file.
void TestExport::everyWriteFailingInTurn()
{
    const QStringList codes{richItem, commaItem, sameAsMainItem};
    const auto adjust = [](ExportOptions &options) { options.jobs = 1; };
    int writes = 0;
    Core::setSaveFaultForTesting([&writes](Core::SaveStep step, const QString &, bool *) {
        writes += step == Core::SaveStep::Open;
        return false;
    });
    const QString reference = m_dir.filePath(u"turns-reference"_s);
    const ExportSummary clean = run(OutputType::Taobao5, codes, reference + u"/goods.csv"_s, adjust);
    Core::setSaveFaultForTesting({});
    QCOMPARE(clean.written, 3);
    QVERIFY2(writes > 10, qPrintable(QString::number(writes)));
    QString referenceText = decodeUtf16(readAll(reference + u"/goods.csv"_s));
    referenceText.replace(QDir::toNativeSeparators(reference), u"<OUT>"_s);
    const QStringList referenceLines = referenceText.split(u'\n');
    static const QRegularExpression temporaryName(u"\\.[A-Za-z0-9]{6}$"_s);

    for (const Core::SaveStep step : {Core::SaveStep::Open, Core::SaveStep::Rename}) {
        const bool diskFull = step == Core::SaveStep::Rename;
        for (int failing = 1; failing <= writes; ++failing) {
            const QString turn =
                u"turn %1 of %2%3"_s.arg(failing).arg(writes).arg(diskFull ? u", disk full"_s : u""_s);
            const QString folder = m_dir.filePath(u"turns-"_s + QString::number(m_runs++));
            const QString csv = folder + u"/goods.csv"_s;
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(Core::saveFile(csv, "previous").saved);
            int seen = 0;
            QString failedPath;
            Core::setSaveFaultForTesting([&](Core::SaveStep at, const QString &path, bool *full) {
                if (at != step || ++seen != failing)
                    return false;
                failedPath = path;
                *full = diskFull;
                return true;
            });
            const ExportSummary summary = run(OutputType::Taobao5, codes, csv, adjust);
            Core::setSaveFaultForTesting({});
            QVERIFY2(!failedPath.isEmpty(), qPrintable(turn));
            QVERIFY2(summary.hasFailures(), qPrintable(turn + u": "_s + summary.text()));
            QVERIFY2(!summary.cancelled, qPrintable(turn));
            QCOMPARE(!summary.stopReason.isEmpty(), diskFull && failedPath != csv);

            const QByteArray bytes = readAll(csv);
            int written = 0;
            for (const ItemReport &report : summary.items)
                written += report.status == ItemReport::Status::Written;
            if (bytes == "previous") {
                QVERIFY2(!summary.error.isEmpty(), qPrintable(turn));
                QVERIFY2(written == 0, qPrintable(turn));
            } else {
                QString text = decodeUtf16(bytes);
                text.replace(QDir::toNativeSeparators(folder), u"<OUT>"_s);
                for (const QString &line : text.split(u'\n'))
                    QVERIFY2(referenceLines.contains(line), qPrintable(turn + u": "_s + line.left(80)));
                QVERIFY2(written == summary.written && written > 0, qPrintable(turn));
                QVERIFY2(failedPath != csv, qPrintable(turn));
            }
            for (const QString &path : filesUnder(folder)) {
                const QFileInfo info(path);
                QVERIFY2(!temporaryName.match(info.fileName()).hasMatch(), qPrintable(turn + u": "_s + path));
                QVERIFY2(info.size() > 0, qPrintable(turn + u": "_s + path));
                if (!detectPictureType(readAll(path)).isEmpty())
                    QVERIFY2(isCompletePicture(readAll(path)), qPrintable(turn + u": "_s + path));
            }
        }
    }
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
