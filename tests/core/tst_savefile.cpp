#include "core/config.h"
#include "core/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "filesizelimit.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::Literals::StringLiterals;
using Core::SaveStep;

Q_DECLARE_METATYPE(Core::SaveStep)

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// The one file writer: a failure at any step leaves the old file byte for byte and nothing
// beside it, and says whether the disk is full.
class TestSaveFile : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Core::setSaveFaultForTesting({}); }
    void replacesWhole();
    void failingStep_data();
    void failingStep();
    void shortWritesAreFailures();
    void blockedFolder();
    void settingsFile();
};

void TestSaveFile::replacesWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.txt"_s);
    QVERIFY(Core::saveFile(path, "old").saved);
    const QByteArray big(300'000, 'x'); // more than one write's worth
    const Core::SaveResult result = Core::saveFile(path, big);
    QVERIFY(result.saved);
    QVERIFY(result.message.isEmpty());
    QCOMPARE(readAll(path), big);
    QVERIFY(Core::saveFile(path, {}).saved);
    QCOMPARE(readAll(path), QByteArray());
    QCOMPARE(entries(dir.path()), QStringList{u"list.txt"_s});
}

void TestSaveFile::failingStep_data()
{
    QTest::addColumn<SaveStep>("step");
    QTest::addColumn<int>("nth"); // which occurrence of the step fails
    QTest::addColumn<bool>("diskFull");
    for (const bool full : {true, false}) {
        const char *kind = full ? "full disk" : "refused";
        QTest::addRow("open, %s", kind) << SaveStep::Open << 1 << full;
        QTest::addRow("first write, %s", kind) << SaveStep::Write << 1 << full;
        QTest::addRow("flush, %s", kind) << SaveStep::Flush << 1 << full;
        QTest::addRow("rename, %s", kind) << SaveStep::Rename << 1 << full;
    }
}

void TestSaveFile::failingStep()
{
    QFETCH(SaveStep, step);
    QFETCH(int, nth);
    QFETCH(bool, diskFull);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"goods.csv"_s);
    QVERIFY(Core::saveFile(path, "the old file").saved);
    int seen = 0;
    Core::setSaveFaultForTesting([&](SaveStep at, const QString &target, bool *full) {
        if (at != step || target != path || ++seen != nth)
            return false;
        *full = diskFull;
        return true;
    });
    const Core::SaveResult result = Core::saveFile(path, QByteArray(70'000, 'n'));
    QVERIFY(!result.saved);
    QCOMPARE(result.diskFull, diskFull);
    QVERIFY(result.message.contains(QDir::toNativeSeparators(path)));
    if (diskFull)
        QCOMPARE(result.reason, u"磁盘空间不足"_s);
    else
        QVERIFY(!result.reason.isEmpty() && result.reason != u"磁盘空间不足"_s);
    QCOMPARE(readAll(path), QByteArray("the old file"));
    QCOMPARE(entries(dir.path()), QStringList{u"goods.csv"_s});
}

void TestSaveFile::shortWritesAreFailures()
{
#ifdef Q_OS_UNIX
    // A file size limit fails writes past 4 KB as a disk that fills part way through does:
    // the system takes what fits and refuses the rest. The file is small enough that a
    // buffered writer would hand it to the system in one flush and miss the short write.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.txt"_s);
    QVERIFY(Core::saveFile(path, "the old list").saved);
    Core::SaveResult result;
    {
        const TestSupport::FileSizeLimit limit(4 * 1024);
        QVERIFY(limit.isActive());
        result = Core::saveFile(path, QByteArray(10'000, 'a'));
    }
    QVERIFY(!result.saved);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(readAll(path), QByteArray("the old list"));
    QCOMPARE(entries(dir.path()), QStringList{u"list.txt"_s});
#else
    QSKIP("file size limits are a Unix facility");
#endif
}

void TestSaveFile::blockedFolder()
{
    QTemporaryDir dir;
    // A folder where the file should be: nothing is replaced.
    QVERIFY(QDir().mkpath(dir.filePath(u"in-the-way"_s)));
    QVERIFY(!Core::saveFile(dir.filePath(u"in-the-way"_s), "x").saved);
    QVERIFY(QFileInfo(dir.filePath(u"in-the-way"_s)).isDir());

#ifdef Q_OS_UNIX
    if (geteuid() == 0)
        QSKIP("root writes into any folder");
#endif
    const QString folder = dir.filePath(u"blocked"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + u"/setsy.txt"_s;
    QVERIFY(Core::saveFile(path, "old").saved);
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const Core::SaveResult result = Core::saveFile(path, "new");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!result.saved);
    QVERIFY(!result.diskFull);
    QCOMPARE(readAll(path), QByteArray("old"));
}

// quorvex.ini: written whole through the same writer, other keys kept, the old file kept
// when the disk is full.
void TestSaveFile::settingsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"quorvex.ini"_s);
    QVERIFY(Core::saveFile(path, "[mine]\nkept=1\n").saved);
    Core::Config config;
    config.proxy = u"http://127.0.0.1:8080"_s;
    config.maxConnectionsPerHost = 4;
    QString error;
    QVERIFY2(config.save(path, &error), qPrintable(error));
    const Core::Config read = Core::Config::load(path);
    QCOMPARE(read.proxy, config.proxy);
    QCOMPARE(read.maxConnectionsPerHost, 4);
    QVERIFY(readAll(path).contains("kept=1"));

    const QByteArray before = readAll(path);
    Core::setSaveFaultForTesting([](SaveStep step, const QString &, bool *diskFull) {
        *diskFull = true;
        return step == SaveStep::Rename;
    });
    config.proxy = u"http://127.0.0.1:9090"_s;
    QVERIFY(!config.save(path, &error));
    QVERIFY(error.contains(u"磁盘空间不足"_s));
    QCOMPARE(readAll(path), before);
    QCOMPARE(entries(dir.path()), QStringList{u"quorvex.ini"_s});
}

QTEST_GUILESS_MAIN(TestSaveFile)
#include "tst_savefile.moc"
