#include "updatefixtures.h"

#include "core/savefile.h"
#include "selfupdate/programfiles.h"
#include "selfupdate/version.h"
#include "selfupdate/versioncheck.h"
#include "selfupdate/versionrecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <thread>

Q_DECLARE_METATYPE(Core::SaveStep)

using namespace Qt::Literals::StringLiterals;
using namespace SelfUpdate;
using Step = VersionCheckOutcome::Step;

// The rules of the version check, the installed-version record and program installs,
// without a network.
class TestSelfUpdate : public QObject
{
    Q_OBJECT

private slots:
    void normalising_data();
    void normalising();
    void startupDecision_data();
    void startupDecision();
    void manualDecision_data();
    void manualDecision();

    void readingTheRecord_data();
    void readingTheRecord();
    void readingCreatesAMissingRecord();
    void writingTheRecord_data();
    void writingTheRecord();
    void writingARecordThatIsAFolder();
    void aFullDiskKeepsTheRecord();

    void executableFormats_data();
    void executableFormats();
    void thisProgramIsAProgram();
    void installReplacesTheWholeFile();
    void installFailureLeavesTargetAndFolderAlone_data();
    void installFailureLeavesTargetAndFolderAlone();
    void replacingALockedProgramWaitsForIt();
    void aFullDiskNeverReplacesTheProgram_data();
    void aFullDiskNeverReplacesTheProgram();
};

void TestSelfUpdate::normalising_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // "-" for no number

    QTest::newRow("as published") << u"3.6"_s << u"3.6"_s;
    QTest::newRow("trailing zero") << u"3.60"_s << u"3.6"_s;
    QTest::newRow("whole number") << u"4"_s << u"4.0"_s;
    QTest::newRow("spaces") << u"  3.6 "_s << u"3.6"_s;
    QTest::newRow("half rounds up") << u"3.65"_s << u"3.7"_s;
    QTest::newRow("below half") << u"3.649"_s << u"3.6"_s;
    QTest::newRow("negative half away from zero") << u"-1.25"_s << u"-1.3"_s;
    QTest::newRow("exponent") << u"0.36e1"_s << u"3.6"_s;
    QTest::newRow("leading point") << u".5"_s << u"0.5"_s;
    QTest::newRow("plus sign") << u"+2"_s << u"2.0"_s;
    QTest::newRow("empty") << QString() << u"-"_s;
    QTest::newRow("word") << u"abc"_s << u"-"_s;
    QTest::newRow("two points") << u"3.6.1"_s << u"-"_s;
    QTest::newRow("decimal comma") << u"3,6"_s << u"-"_s;
    QTest::newRow("hexadecimal") << u"0x10"_s << u"-"_s;
    QTest::newRow("line break") << u"3.6\r\n"_s << u"-"_s;
    QTest::newRow("error page") << u"<html><body>404 Not Found</body></html>"_s << u"-"_s;
}

void TestSelfUpdate::normalising()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(normaliseVersion(text).value_or(u"-"_s), expected);
}

void TestSelfUpdate::startupDecision_data()
{
    QTest::addColumn<bool>("mainPageRead");
    QTest::addColumn<QString>("published");
    QTest::addColumn<bool>("asks");

    QTest::newRow("same version") << true << u"3.6"_s << false;
    QTest::newRow("same after normalising") << true << u"3.60"_s << false;
    QTest::newRow("rounds to the same") << true << u"3.64"_s << false;
    QTest::newRow("newer") << true << u"3.7"_s << true;
    QTest::newRow("whole number") << true << u"4"_s << true;
    QTest::newRow("older asks too") << true << u"3.5"_s << true;
    QTest::newRow("unreachable") << true << QString() << false;
    QTest::newRow("not a number") << true << u"abc"_s << false;
    QTest::newRow("error page") << true << u"<html>500</html>"_s << false;
    QTest::newRow("main page not read") << false << u"4.0"_s << false;
}

void TestSelfUpdate::startupDecision()
{
    QFETCH(bool, mainPageRead);
    QFETCH(QString, published);
    QFETCH(bool, asks);

    const VersionCheckOutcome outcome = decideStartupCheck(mainPageRead, published);
    QCOMPARE(outcome.step, asks ? Step::Ask : Step::Nothing);
    QCOMPARE(outcome.question, asks ? u"已有最新版本,请下载更新"_s : QString());
}

void TestSelfUpdate::manualDecision_data()
{
    QTest::addColumn<QString>("published");
    QTest::addColumn<QString>("installed"); // the record's six characters
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("question");

    const QString differs = u"最新版本是：%1，需要升级，是否现在升级？"_s;
    const QString same = u"现在已是最新版本：%1，不用升级，是否需要强制再升级？"_s;
    QTest::newRow("newer published") << u"4"_s << u"3.6   "_s << int(Step::Ask) << differs.arg(u"4.0");
    QTest::newRow("older published") << u"2"_s << u"3.6   "_s << int(Step::Ask) << differs.arg(u"2.0");
    QTest::newRow("same") << u"3.60"_s << u"3.6   "_s << int(Step::Ask) << same.arg(u"3.6");
    QTest::newRow("same, record unnormalised")
        << u"3.6"_s << u"3.60  "_s << int(Step::Ask) << same.arg(u"3.6");
    QTest::newRow("version file unreachable")
        << QString() << u"3.6   "_s << int(Step::Ask) << differs.arg(QString());
    QTest::newRow("version file not a number")
        << u"abc"_s << u"3.6   "_s << int(Step::Ask) << differs.arg(QString());
    const QString unknown = u"无法确定现在的版本，最新版本是：%1，是否需要强制再升级？"_s;
    QTest::newRow("no record") << u"4"_s << QString() << int(Step::Ask) << unknown.arg(u"4.0");
    QTest::newRow("blank record") << u"4"_s << u"      "_s << int(Step::Ask) << unknown.arg(u"4.0");
    const QString binary = QString(QChar(1)) + QChar(0) + QChar(0xff) + u"3.6"_s;
    QTest::newRow("binary record") << u"4"_s << binary << int(Step::Ask) << unknown.arg(u"4.0");
    QTest::newRow("nothing anywhere") << QString() << QString() << int(Step::Ask) << unknown.arg(QString());
}

void TestSelfUpdate::manualDecision()
{
    QFETCH(QString, published);
    QFETCH(QString, installed);
    QFETCH(int, step);
    QFETCH(QString, question);

    const VersionCheckOutcome outcome = decideManualCheck(published, installed);
    QCOMPARE(int(outcome.step), step);
    QCOMPARE(outcome.question, question);
}

void TestSelfUpdate::readingTheRecord_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("field");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("nine bytes") << QByteArray("123456789") << QString();
    QTest::newRow("exactly fifteen") << QByteArray("1234567893.6   ") << u"3.6   "_s;
    QTest::newRow("longer") << QByteArray("1234567894.0   tail") << u"4.0   "_s;
    QTest::newRow("ends inside the field") << QByteArray("1234567893.6") << u"3.6"_s;
    QTest::newRow("ANSI text") << QByteArray("123456789\xb0\xe6\xb1\xbe  ") << u"版本  "_s;
}

void TestSelfUpdate::readingTheRecord()
{
    QFETCH(QByteArray, record);
    QFETCH(QString, field);
    QTemporaryDir dir;
    QVERIFY(Files::write(dir.filePath(u"tb.dat"_s), record));
    QCOMPARE(readVersionField(dir.path()), field);
    QCOMPARE(Files::read(dir.filePath(u"tb.dat"_s)), record);
}

void TestSelfUpdate::readingCreatesAMissingRecord()
{
    QTemporaryDir dir;
    QCOMPARE(readVersionField(dir.path()), QString());
    QVERIFY(QFileInfo(dir.filePath(u"tb.dat"_s)).isFile());
    QCOMPARE(QFileInfo(dir.filePath(u"tb.dat"_s)).size(), 0);
}

void TestSelfUpdate::writingTheRecord_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QByteArray>("after");

    const QByteArray zeros(9, '\0');
    QByteArray binary;
    for (int i = 0; i < 40; ++i)
        binary.append(char(255 - i * 5));
    QByteArray binaryAfter = binary;
    binaryAfter.replace(9, 6, "4.0   ");

    QTest::newRow("missing") << false << QByteArray() << u"4.0"_s << QByteArray(zeros).append("4.0   ");
    QTest::newRow("empty") << true << QByteArray() << u"3.6"_s << QByteArray(zeros).append("3.6   ");
    QTest::newRow("five bytes") << true << QByteArray("abcde") << u"3.6"_s
                                << QByteArray("abcde\0\0\0\0", 9).append("3.6   ");
    QTest::newRow("twelve bytes") << true << QByteArray("123456789ABC") << u"3.6"_s
                                  << QByteArray("1234567893.6   ");
    QTest::newRow("exactly fifteen") << true << QByteArray("1234567893.5   ") << u"3.6"_s
                                     << QByteArray("1234567893.6   ");
    QTest::newRow("longer") << true << QByteArray("123456789ABCDEFGHIJK") << u"3.6"_s
                            << QByteArray("1234567893.6   GHIJK");
    QTest::newRow("binary") << true << binary << u"4.0"_s << binaryAfter;
    QTest::newRow("no published version")
        << true << QByteArray("1234567893.6   xyz") << QString() << QByteArray("123456789      xyz");
    QTest::newRow("cut to six") << true << QByteArray("123456789ABCDEFG") << u"12345.7"_s
                                << QByteArray("12345678912345.G");
}

void TestSelfUpdate::writingTheRecord()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, before);
    QFETCH(QString, version);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"tb.dat"_s);
    if (exists)
        QVERIFY(Files::write(path, before));

    QString error;
    QVERIFY2(writeVersionField(dir.path(), version, &error), qPrintable(error));
    QCOMPARE(Files::read(path), after);
}

void TestSelfUpdate::writingARecordThatIsAFolder()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"tb.dat"_s));
    QString error;
    QVERIFY(!writeVersionField(dir.path(), u"4.0"_s, &error));
    QVERIFY(error.contains(u"tb.dat"));
    QVERIFY(QFileInfo(dir.filePath(u"tb.dat"_s)).isDir());
}

void TestSelfUpdate::aFullDiskKeepsTheRecord()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"tb.dat"_s);
    QVERIFY(writeVersionField(dir.path(), u"3.6"_s));
    const QByteArray before = Files::read(path);
    Core::setSaveFaultForTesting([](Core::SaveStep step, const QString &, bool *diskFull) {
        *diskFull = true;
        return step == Core::SaveStep::Write;
    });
    QString error;
    const bool written = writeVersionField(dir.path(), u"4.0"_s, &error);
    Core::setSaveFaultForTesting({});
    QVERIFY(!written);
    QVERIFY2(error.contains(u"磁盘空间不足"_s) && error.contains(u"tb.dat"_s), qPrintable(error));
    QCOMPARE(Files::read(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"tb.dat"_s});
}

void TestSelfUpdate::executableFormats_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<ExecutableFormat>("format");

    const QByteArray elf = ProgramBytes::elf();
    QByteArray relocatable = elf;
    relocatable[16] = 1;
    QByteArray elfPastItsEnd = elf;
    qToLittleEndian<quint64>(quint64(elf.size() + 1), elfPastItsEnd.data() + 96); // one byte past the end
    const QByteArray pe = ProgramBytes::pe();
    QByteArray macho(64, '\0');
    macho.replace(0, 4, QByteArray("\xcf\xfa\xed\xfe", 4));
    macho[12] = 2;

    QTest::newRow("ELF program") << elf << ExecutableFormat::Elf;
    QTest::newRow("ELF cut in half") << elf.left(elf.size() / 2) << ExecutableFormat::None;
    QTest::newRow("ELF one byte short") << elf.chopped(1) << ExecutableFormat::None;
    QTest::newRow("ELF headers only") << elf.left(64) << ExecutableFormat::None;
    QTest::newRow("ELF object file") << relocatable << ExecutableFormat::None;
    QTest::newRow("ELF segment past the end") << elfPastItsEnd << ExecutableFormat::None;
    QTest::newRow("ELF magic and noise") << QByteArray("\x7f"
                                                       "ELF")
                                                .append(QByteArray(200, 'x'))
                                         << ExecutableFormat::None;
    QTest::newRow("PE program") << pe << ExecutableFormat::Pe;
    QTest::newRow("PE cut in half") << pe.left(pe.size() / 2) << ExecutableFormat::None;
    QTest::newRow("PE library") << ProgramBytes::pe(4096, 'w', 0x2022) << ExecutableFormat::None;
    QTest::newRow("MZ alone") << QByteArray("MZ").append(QByteArray(500, '\0')) << ExecutableFormat::None;
    QTest::newRow("Mach-O program") << macho << ExecutableFormat::MachO;
    QTest::newRow("empty") << QByteArray() << ExecutableFormat::None;
    QTest::newRow("error page") << QByteArray("<html><head><title>404 Not Found</title></head></html>")
                                << ExecutableFormat::None;
    QTest::newRow("JPEG picture") << QByteArray("\xff\xd8\xff\xe0").append(QByteArray(500, 'j'))
                                  << ExecutableFormat::None;
}

void TestSelfUpdate::executableFormats()
{
    QFETCH(QByteArray, bytes);
    QFETCH(ExecutableFormat, format);
    QCOMPARE(executableFormat(bytes), format);
}

// The checks must let a real program of this platform through, and only whole.
void TestSelfUpdate::thisProgramIsAProgram()
{
    const QByteArray self = Files::read(QCoreApplication::applicationFilePath());
    QVERIFY(!self.isEmpty());
    QCOMPARE(executableFormat(self), platformExecutableFormat());
    QCOMPARE(executableFormat(self.left(self.size() / 2)), ExecutableFormat::None);
    QCOMPARE(executableFormat(self.left(self.size() - 16)), ExecutableFormat::None);
}

void TestSelfUpdate::installReplacesTheWholeFile()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(programFileName(ProgramFile::DownloadCopy));
    QVERIFY(Files::write(target, QByteArray(100000, 'o'))); // an older, larger copy
    const QByteArray program = ProgramBytes::program(5000);

    QString error;
    QVERIFY2(installProgram(program, target, &error), qPrintable(error));
    QCOMPARE(Files::read(target), program);
    QCOMPARE(Files::entries(dir.path()), QStringList{programFileName(ProgramFile::DownloadCopy)});
#ifndef Q_OS_WIN
    const QFile::Permissions permissions = QFileInfo(target).permissions();
    QVERIFY(permissions.testFlags(QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther | QFile::ReadOwner));
#endif
}

void TestSelfUpdate::installFailureLeavesTargetAndFolderAlone_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("target is a folder") << u"folder"_s;
    QTest::newRow("folder missing") << u"missing"_s;
}

void TestSelfUpdate::installFailureLeavesTargetAndFolderAlone()
{
    QFETCH(QString, obstacle);
    QTemporaryDir dir;
    QString target = dir.filePath(programFileName(ProgramFile::Main));
    if (obstacle == u"folder") {
        QVERIFY(QDir(dir.path()).mkpath(target + u"/inside"_s));
    } else {
        target = dir.filePath(u"gone/"_s + programFileName(ProgramFile::Main));
    }
    const QStringList before = Files::entries(dir.path());

    QString error;
    QVERIFY(!installProgram(ProgramBytes::program(), target, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(Files::entries(dir.path()), before);
    if (obstacle == u"folder")
        QVERIFY(QFileInfo::exists(target + u"/inside"_s));
}

void TestSelfUpdate::aFullDiskNeverReplacesTheProgram_data()
{
    QTest::addColumn<Core::SaveStep>("step");
    QTest::newRow("part way through") << Core::SaveStep::Write;
    QTest::newRow("at the end") << Core::SaveStep::Flush;
}

// The disk fills while the new program is written: the old one stays and still runs.
void TestSelfUpdate::aFullDiskNeverReplacesTheProgram()
{
    QFETCH(Core::SaveStep, step);
    QTemporaryDir dir;
    const QString target = dir.filePath(programFileName(ProgramFile::Main));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("the old program");
    old.close();
    const QStringList before = Files::entries(dir.path());
    Core::setSaveFaultForTesting([step](Core::SaveStep at, const QString &, bool *diskFull) {
        *diskFull = true;
        return at == step;
    });
    QString error;
    const bool installed =
        installProgram(ProgramBytes::program(), target, &error, std::chrono::milliseconds(0));
    Core::setSaveFaultForTesting({});
    QVERIFY(!installed);
    QVERIFY2(error.contains(u"磁盘空间不足"_s), qPrintable(error));
    QCOMPARE(Files::entries(dir.path()), before);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("the old program"));
}

// Windows keeps a program's file locked for a moment after its process ended: the updater
// waits for it instead of failing at once, and a file that stays locked fails cleanly.
void TestSelfUpdate::replacingALockedProgramWaitsForIt()
{
#ifndef Q_OS_WIN
    QSKIP("only Windows refuses to replace a file that is open");
#else
    QTemporaryDir dir;
    const QString target = dir.filePath(programFileName(ProgramFile::Main));
    const QByteArray old = ProgramBytes::program(2000, 'o');
    QVERIFY(Files::write(target, old));
    const QByteArray program = ProgramBytes::program(5000);
    QFile holder(target); // Qt opens files without letting others delete or rename them
    QVERIFY(holder.open(QIODevice::ReadOnly));

    QString error;
    QVERIFY(!installProgram(program, target, &error, std::chrono::milliseconds(300)));
    QVERIFY2(error.startsWith(u"无法替换"_s), qPrintable(error));
    QCOMPARE(Files::read(target), old);
    QCOMPARE(Files::entries(dir.path()), QStringList{programFileName(ProgramFile::Main)});

    std::thread release([&holder] {
        QThread::msleep(600);
        holder.close();
    });
    const bool installed = installProgram(program, target, &error);
    release.join();
    QVERIFY2(installed, qPrintable(error));
    QCOMPARE(Files::read(target), program);
    QCOMPARE(Files::entries(dir.path()), QStringList{programFileName(ProgramFile::Main)});
#endif
}

QTEST_GUILESS_MAIN(TestSelfUpdate)
#include "tst_selfupdate.moc"
