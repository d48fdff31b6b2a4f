#include "core/config.h"
#include "core/httpclient.h"
#include "core/itemlist.h"
#include "core/text.h"
#include "export/exportjob.h"
#include "sandboxprocess.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace Qt::Literals::StringLiterals;
using namespace Export;
using TestSupport::SandboxProcess;

namespace {

const QString richItem = u"0C7D360B00000000040100000CC1B772"_s;      // five main pictures, nested URLs
const QString commaItem = u"1A2B3C4D00000000050200000DD2C883"_s;     // comma in the title
const QString deviceNameItem = u"4C6E80A200000000080500001005FBB6"_s; // title "CON", a picture that 404s
const QString missingItem = u"8A0B1C2D000000000C0900001449330E"_s;    // the service doesn't know it
const QString sameAsMainItem = u"5D7F91B30000000009060000111600C7"_s;  // one main picture, shown again

QStringList entriesOf(const QStringList &codes)
{
    QStringList entries;
    for (const QString &code : codes)
        entries << Core::makeItemEntry(code, u"名"_s);
    return entries;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString decodeUtf16(const QByteArray &bytes)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2), (bytes.size() - 2) / 2);
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
    void cancelEndsPromptlyWhateverTheServers();
    void optionsChangeTheDescription();
    void cancelLeavesAWellFormedFile();
    void watermarkStampsDescriptionPicturesOnly();
    void unwritableFilesAreFailures();
    void backslashPathsKeepFileAndPicturesTogether();

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
        QFile out(expectedPath.isEmpty() ? QStringLiteral(QUORVEX_TEST_DATA "/") + expectedFile : expectedPath);
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
    const QString main = pictures + u"/{"_s + Core::Md5HexLower(u"http://img0.paipaiimg.com/a1/0C7D360B/main1.jpg"_s)
        + u"}.JPG"_s;
    QVERIFY2(QFile::exists(main), qPrintable(main));
    // The description file in GBK, ending in CR LF.
    const QString folderName = u"韩版秋冬新款毛呢外套女中长款修身显瘦大衣送围巾腰带包邮"_s;
    const QByteArray description = readAll(pictures + u"/{"_s + Core::Md5HexLower(folderName) + u"}.htm"_s);
    QVERIFY(description.endsWith("\r\n"));
    QVERIFY(Core::decodeAnsi(description).contains(u"韩版毛呢外套 细节展示"_s));
    QVERIFY(!description.contains("\r\n\r\n"));
    // Description pictures in the item folder, upper digest and type.
    const QString descriptionPicture = pictures + u'/' + folderName + u'/'
        + Core::Md5Hex(u"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg"_s) + u".JPG"_s;
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
    QVERIFY(summary.items.at(0).failedPictures.contains(u"http://img1.paipaiimg.com/a1/0C7D360B/main2.jpg"_s));
    // A picture that never arrived leaves no file and keeps its remote address.
    const QString text = decodeUtf16(readAll(csv));
    QVERIFY(text.contains(u"src=\"\"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg\"\""_s));
}

void TestExport::repeatedCodesExportOnce()
{
    const QString folder = m_dir.filePath(u"twice"_s);
    const QString lowerCase = richItem.toLower();  // the service reads codes without regard to case
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
    QVERIFY(!QFile::exists(csv));  // nothing whole to write, and no file of a header alone
}

void TestExport::optionsChangeTheDescription()
{
    const QString folder = m_dir.filePath(u"options"_s);
    const ExportSummary summary = run(OutputType::Taobao4, {richItem}, folder + u"/goods.csv"_s, [](ExportOptions &o) {
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
    ExportJob job(client, m_config, options, entriesOf({richItem, commaItem, deviceNameItem, sameAsMainItem}));
    connect(&job, &ExportJob::itemDone, &job, [&job](int index) {
        if (index == 1)
            job.cancel();
    }, Qt::DirectConnection);
    const ExportSummary summary = job.run();
    QVERIFY(summary.cancelled);
    QCOMPARE(summary.rowsWritten, 2);
    // What was written is whole: no picture of a written item was left out by the stop.
    QCOMPARE(summary.pictureFailures, 0);
    QCOMPARE(summary.items.at(1).status, ItemReport::Status::Written);
    QCOMPARE(summary.items.at(2).status, ItemReport::Status::NotReached);
    QVERIFY(summary.text().contains(u"已停止"_s));
    const QStringList lines = decodeUtf16(readAll(csv)).split(u'\n');
    QCOMPARE(lines.size(), 6);  // three header lines, two rows, nothing after the last LF
    QCOMPARE(lines.last(), QString());
}

void TestExport::watermarkStampsDescriptionPicturesOnly()
{
    const QString folder = m_dir.filePath(u"watermark"_s);
    const ExportSummary summary = run(OutputType::Taobao5, {richItem}, folder + u"/goods.csv"_s,
                                      [](ExportOptions &o) { o.useWatermark = true; });
    QVERIFY2(summary.notes.isEmpty(), qPrintable(summary.notes.join(u'\n')));
    Core::HttpClient client(Core::HttpOptions::fromConfig(m_config));
    const auto original = [&client](const QString &url) { return client.get({url, Core::WaitMode::Long}).body; };

    const QString descriptionUrl = u"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg"_s;
    const QString stamped = folder + u"/goods/韩版秋冬新款毛呢外套女中长款修身显瘦大衣送围巾腰带包邮/"_s
        + Core::Md5Hex(descriptionUrl) + u".JPG"_s;
    const QByteArray stampedBytes = readAll(stamped);
    QVERIFY(stampedBytes.startsWith("\xFF\xD8"));
    QVERIFY(stampedBytes != original(descriptionUrl));
    QImage image;
    QVERIFY(image.loadFromData(stampedBytes, "JPG"));

    // Main pictures are never stamped.
    const QString mainUrl = u"http://img0.paipaiimg.com/a1/0C7D360B/main1.jpg"_s;
    QCOMPARE(readAll(folder + u"/goods/"_s + Core::Md5HexLower(mainUrl) + u".tbi"_s), original(mainUrl));
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

QTEST_MAIN(TestExport)
#include "tst_export.moc"
