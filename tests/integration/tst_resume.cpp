#include "core/config.h"
#include "core/httpclient.h"
#include "core/text.h"
#include "export/exportjob.h"
#include "market/itemlist.h"
#include "sandboxprocess.h"

#include <QDirIterator>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace Export;
using TestSupport::SandboxProcess;

namespace {

// Sample items whose pictures all arrive: JPEG, GIF, PNG (also under a ".jpg" name), BMP and
// ICO main pictures, description pictures, a picture URL with a query, one picture shown twice.
const QStringList sampleItems{u"0C7D360B00000000040100000CC1B772"_s, u"1A2B3C4D00000000050200000DD2C883"_s,
                              u"2F4E6A8C00000000060300000EE3D994"_s, u"3B5D7F9100000000070400000FF4EAA5"_s,
                              u"5D7F91B30000000009060000111600C7"_s, u"6E80A2C4000000000A07000012271108"_s};

// Every file under a folder with its content, by path relative to it.
using Files = QMap<QString, QByteArray>;
Files filesUnder(const QString &root)
{
    Files files;
    QDirIterator it(root, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        files.insert(QDir(root).relativeFilePath(path),
                     file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
    }
    return files;
}

bool isPictureFile(const QString &path)
{
    return !path.endsWith(u".htm"_s) && !path.endsWith(u".xml"_s) && !path.endsWith(u".csv"_s);
}

// Requests the sandbox saw for pictures.
int pictureRequests(const SandboxProcess &sandbox)
{
    int count = 0;
    const QJsonObject hosts = sandbox.counts().value(u"hosts"_s).toObject();
    for (auto it = hosts.begin(); it != hosts.end(); ++it) {
        if (it.key().startsWith(u"img"_s))
            count += it.value().toInt();
    }
    return count;
}

// What the report says of an item, the reused pictures aside.
QStringList described(const ItemReport &item)
{
    return QStringList{item.code, item.title, QString::number(int(item.status)), item.reason} +
           item.failedPictures + item.failedPictureReasons + item.unstampedPictures + item.problems;
}

} // namespace

// Resuming an export over the picture folder of an earlier run against quorvex-sandbox.
class TestResume : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void completeOutputFetchesNoPicture_data();
    void completeOutputFetchesNoPicture();
    void damagedPicturesAreFetchedAgain_data();
    void damagedPicturesAreFetchedAgain();
    void watermarkIsNotStampedTwice();

private:
    ExportSummary run(const QString &folder, OutputType type, bool resume, bool watermark = false);
    void compareReports(const ExportSummary &resumed, const ExportSummary &fresh);
    std::unique_ptr<SandboxProcess> m_sandbox;
    Core::Config m_config;
    QTemporaryDir m_dir;
};

void TestResume::initTestCase()
{
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
    m_config.proxy = m_sandbox->proxyUrl();
    QVERIFY(m_dir.isValid());
}

void TestResume::init()
{
    m_sandbox->reset();
}

ExportSummary TestResume::run(const QString &folder, OutputType type, bool resume, bool watermark)
{
    ExportOptions options;
    options.csvPath = m_dir.filePath(folder + u"/goods.csv"_s);
    options.programDir = m_dir.path();
    options.type = type;
    options.reusePictures = resume;
    options.useWatermark = watermark;
    options.clock = [] { return QDateTime(QDate(2026, 12, 9), QTime(10, 30, 5)); };
    QStringList entries;
    for (const QString &code : sampleItems)
        entries << Market::makeItemEntry(code, u"名"_s);
    Core::HttpClient client(Core::HttpOptions::fromConfig(m_config));
    ExportJob job(client, m_config, options, entries);
    return job.run();
}

// The summary and the report of a resumed run are a fresh run's, with the reused pictures told.
void TestResume::compareReports(const ExportSummary &resumed, const ExportSummary &fresh)
{
    QCOMPARE(resumed.written, fresh.written);
    QCOMPARE(resumed.pictureFailures, fresh.pictureFailures);
    QCOMPARE(resumed.unstampedPictures, fresh.unstampedPictures);
    QCOMPARE(resumed.failedItemCodes, fresh.failedItemCodes);
    QCOMPARE(resumed.notes, fresh.notes);
    QCOMPARE(resumed.items.size(), fresh.items.size());
    for (qsizetype i = 0; i < fresh.items.size(); ++i)
        QCOMPARE(described(resumed.items.at(i)), described(fresh.items.at(i)));
    QCOMPARE(resumed.text(), fresh.text() + u"，"_s + QString::number(resumed.reusedPictures) +
                                 u"张图片使用了已下载的文件"_s);
}

void TestResume::completeOutputFetchesNoPicture_data()
{
    QTest::addColumn<OutputType>("type");
    QTest::newRow("4.x") << OutputType::Taobao4;
    QTest::newRow("5.x") << OutputType::Taobao5;
    QTest::newRow("paipai") << OutputType::Paipai; // main pictures named by their type
}

void TestResume::completeOutputFetchesNoPicture()
{
    QFETCH(OutputType, type);
    const QString folder = u"complete"_s + QString::number(int(type));
    const ExportSummary fresh = run(folder, type, false);
    QCOMPARE(fresh.written, int(sampleItems.size()));
    QVERIFY2(fresh.pictureFailures == 0, qPrintable(fresh.details()));
    QCOMPARE(fresh.reusedPictures, 0);
    const int pictures = pictureRequests(*m_sandbox);
    QVERIFY2(pictures > 20, qPrintable(QString::number(pictures)));
    const Files before = filesUnder(m_dir.filePath(folder));

    m_sandbox->reset();
    const ExportSummary resumed = run(folder, type, true);
    QCOMPARE(pictureRequests(*m_sandbox), 0);
    // Per item, the item document and the stock page only; the run's own pages once.
    const QJsonObject paths = m_sandbox->counts().value(u"paths"_s).toObject();
    int perItem = 0;
    for (auto it = paths.begin(); it != paths.end(); ++it) {
        if (!it.key().startsWith(u"/soft/venlo/"_s) && it.key() != u"/js/cities.js"_s)
            perItem += it.value().toInt();
        else
            QCOMPARE(it.value().toInt(), 1);
    }
    QCOMPARE(m_sandbox->count(u"/item/getItem.xhtml"_s), int(sampleItems.size()));
    QCOMPARE(perItem, 2 * int(sampleItems.size()));
    // Every picture the first run stored is taken from disk, those it copied from a
    // download another item made too.
    QVERIFY(fresh.sharedPictures > 0);
    QCOMPARE(resumed.reusedPictures, pictures + fresh.sharedPictures);
    compareReports(resumed, fresh);
    const Files after = filesUnder(m_dir.filePath(folder));
    QCOMPARE(after.keys(), before.keys());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
}

void TestResume::damagedPicturesAreFetchedAgain_data()
{
    QTest::addColumn<OutputType>("type");
    QTest::newRow("5.x") << OutputType::Taobao5;
    QTest::newRow("paipai") << OutputType::Paipai;
}

void TestResume::damagedPicturesAreFetchedAgain()
{
    QFETCH(OutputType, type);
    const QString folder = u"damaged"_s + QString::number(int(type));
    const ExportSummary fresh = run(folder, type, false);
    QVERIFY2(fresh.pictureFailures == 0, qPrintable(fresh.details()));
    const int pictures = pictureRequests(*m_sandbox);
    const Files before = filesUnder(m_dir.filePath(folder));

    // Main pictures lie in the picture folder, description pictures in the item folders.
    QStringList mainPictures, descriptionPictures;
    for (const QString &path : before.keys()) {
        if (isPictureFile(path))
            (path.count(u'/') == 1 ? mainPictures : descriptionPictures) << path;
    }
    QVERIFY(mainPictures.size() >= 3 && descriptionPictures.size() >= 2);
    const QString picturePath = m_dir.filePath(folder) + u'/';
    const auto overwrite = [&](const QString &path, const QByteArray &bytes) {
        QFile file(picturePath + path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    QVERIFY(QFile::remove(picturePath + mainPictures.at(0)));
    QVERIFY(overwrite(mainPictures.at(1), {}));
    QVERIFY(overwrite(mainPictures.at(2), before.value(mainPictures.at(2)).chopped(2)));
    QVERIFY(overwrite(descriptionPictures.at(0), before.value(descriptionPictures.at(0)).left(1000)));
    QVERIFY(QFile::remove(picturePath + descriptionPictures.at(1)));

    m_sandbox->reset();
    const ExportSummary resumed = run(folder, type, true);
    QCOMPARE(pictureRequests(*m_sandbox), 5);
    QCOMPARE(resumed.reusedPictures, pictures + fresh.sharedPictures - 5);
    compareReports(resumed, fresh);
    QCOMPARE(filesUnder(m_dir.filePath(folder)), before);
}

void TestResume::watermarkIsNotStampedTwice()
{
    const QString folder = u"stamped"_s;
    const ExportSummary fresh = run(folder, OutputType::Taobao5, false, true);
    QVERIFY2(fresh.notes.isEmpty(), qPrintable(fresh.notes.join(u'\n')));
    QVERIFY2(fresh.pictureFailures == 0, qPrintable(fresh.details()));
    const Files before = filesUnder(m_dir.filePath(folder));
    QString descriptionPicture;
    for (const QString &path : before.keys()) {
        if (isPictureFile(path) && path.count(u'/') == 2)
            descriptionPicture = path;
    }
    QVERIFY(!descriptionPicture.isEmpty());
    // It was stamped: its file is not what the server sent.
    const QString url = u"http://img1.paipaiimg.com/a1/0C7D360B/desc/a.jpg"_s;
    const QString stamped = before.keys().filter(Core::Md5Hex(url)).value(0);
    QVERIFY(!stamped.isEmpty());
    Core::HttpClient client(Core::HttpOptions::fromConfig(m_config));
    QVERIFY(before.value(stamped) != client.get({url, Core::WaitMode::Long}).body);

    // The missing one is fetched and stamped once; the others are left as they are.
    QVERIFY(QFile::remove(m_dir.filePath(folder) + u'/' + descriptionPicture));
    m_sandbox->reset();
    const ExportSummary resumed = run(folder, OutputType::Taobao5, true, true);
    QCOMPARE(pictureRequests(*m_sandbox), 1);
    compareReports(resumed, fresh);
    QCOMPARE(filesUnder(m_dir.filePath(folder)), before);
}

QTEST_MAIN(TestResume)
#include "tst_resume.moc"
