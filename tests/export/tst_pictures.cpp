#include "export/description.h"
#include "export/location.h"
#include "export/pictures.h"
#include "export/sharedpictures.h"
#include "filesizelimit.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#endif

using namespace Qt::Literals::StringLiterals;
using namespace Export;

namespace {

// A small real picture; Qt has no GIF writer, so that one is a known 1 × 1 file.
QByteArray encodedPicture(const char *format)
{
    if (qstrcmp(format, "GIF") == 0) {
        return QByteArray(
            "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00"
            "\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02" // "\x02D" would be one byte
            "D\x01\x00;",
            43);
    }
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A picture with detail, so its data runs over many bytes; JPEG also progressive.
QByteArray detailedPicture(const char *format, bool progressive = false)
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 4, (x ^ y) * 5, y * 5));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void pictureType_data();
    void pictureType();
    void storedName_data();
    void storedName();
    void completePictures_data();
    void completePictures();
    void picturesOnDisk_data();
    void picturesOnDisk();
    void descriptionPictures_data();
    void descriptionPictures();
    void utf8File();
    void atomicWrite_data();
    void atomicWrite();
    void processing_data();
    void processing();
    void linkStripping_data();
    void linkStripping();
    void rulesFile_data();
    void rulesFile();
    void rulesRoundTrip();
    void rulesRefused_data();
    void rulesRefused();
    void cities_data();
    void cities();
    void sharedDownloads();
};

void TestPictures::pictureType_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("type");
    QTest::newRow("jpg") << QByteArray("\xFF\xD8\xFF\xE0") << u"JPG"_s;
    QTest::newRow("gif") << QByteArray("GIF89a") << u"GIF"_s;
    QTest::newRow("bmp") << QByteArray("BM\x00\x00", 4) << u"BMP"_s;
    QTest::newRow("png") << QByteArray("\x89PNG\r\n") << u"PNG"_s;
    QTest::newRow("ico") << QByteArray("\x00\x00\x01\x00\x01\x00", 6) << u"ICO"_s;
    QTest::newRow("cursor is not ico") << QByteArray("\x00\x00\x02\x00\x01\x00", 6) << QString();
    QTest::newRow("html") << QByteArray("<html>") << QString();
    QTest::newRow("one byte") << QByteArray("\xFF") << QString();
    QTest::newRow("short ico") << QByteArray("\x00\x00\x01\x00", 4) << QString();
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestPictures::pictureType()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, type);
    QCOMPARE(detectPictureType(bytes), type);
}

void TestPictures::storedName_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("path");
    const QByteArray png = encodedPicture("PNG");
    const QByteArray pngSignatureThenGarbage = QByteArray("\x89PNG\r\n\x1A\n") + QByteArray(200, '\x5A');
    const QByteArray jpegSignatureThenGarbage = QByteArray("\xFF\xD8\xFF\xE0") + QByteArray(200, '\x11');
    QTest::newRow("png under .jpg") << u"/o/g/A.jpg"_s << png << u"PNG"_s << u"/o/g/A.PNG"_s;
    QTest::newRow("no extension") << u"/o/g/A"_s << png << u"PNG"_s << u"/o/g/A.PNG"_s;
    QTest::newRow("dot in the folder only") << u"/o.d/A"_s << png << u"PNG"_s << u"/o.d/A.PNG"_s;
    QTest::newRow("backslash folder") << u"C:\\o.d\\A"_s << png << u"PNG"_s << u"C:\\o.d\\A.PNG"_s;
    QTest::newRow("tbi keeps its name") << u"/o/a.tbi"_s << png << u"1"_s << u"/o/a.tbi"_s;
    QTest::newRow("jpeg") << u"/o/A.jpg"_s << encodedPicture("JPG") << u"JPG"_s << u"/o/A.JPG"_s;
    QTest::newRow("gif") << u"/o/A.jpg"_s << encodedPicture("GIF") << u"GIF"_s << u"/o/A.GIF"_s;
    QTest::newRow("ico") << u"/o/A.jpg"_s << encodedPicture("ICO") << u"ICO"_s << u"/o/A.ICO"_s;
    QTest::newRow("bmp") << u"/o/A.jpg"_s << encodedPicture("BMP") << u"BMP"_s << u"/o/A.BMP"_s;
    QTest::newRow("png signature, then garbage")
        << u"/o/A.jpg"_s << pngSignatureThenGarbage << QString() << QString();
    QTest::newRow("jpeg signature, then garbage")
        << u"/o/A.jpg"_s << jpegSignatureThenGarbage << QString() << QString();
    QTest::newRow("tbi refuses garbage after a signature")
        << u"/o/a.tbi"_s << pngSignatureThenGarbage << QString() << QString();
    QTest::newRow("tbi refuses a page") << u"/o/a.tbi"_s << QByteArray("<html>") << QString() << QString();
    QTest::newRow("exe") << u"/o/update.exe"_s << QByteArray("MZ") << u"1"_s << u"/o/update.exe"_s;
    QTest::newRow("html page not stored") << u"/o/A.jpg"_s << QByteArray("<html>") << QString() << QString();
    QTest::newRow("empty body") << u"/o/a.tbi"_s << QByteArray() << QString() << QString();
}

void TestPictures::storedName()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, body);
    QFETCH(QString, type);
    QFETCH(QString, path);
    const StoredPicture stored = decideStoredPicture(target, body);
    QCOMPARE(stored.type, type);
    QCOMPARE(stored.path, path);
    QCOMPARE(requestAddressOfPicture(u"http://x/a.jpg?w=1?v=2"_s), u"http://x/a.jpg"_s);
}

void TestPictures::completePictures_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("complete");
    const QList<std::pair<const char *, QByteArray>> pictures{
        {"jpeg", detailedPicture("JPG")}, {"progressive jpeg", detailedPicture("JPG", true)},
        {"png", detailedPicture("PNG")},  {"bmp", detailedPicture("BMP")},
        {"ico", detailedPicture("ICO")},  {"gif", encodedPicture("GIF")},
    };
    for (const auto &[name, bytes] : pictures) {
        QTest::addRow("%s, whole", name) << bytes << true;
        // Image readers show a JPEG or BMP cut short with a grey or black lower part.
        QTest::addRow("%s, cut in half", name) << bytes.left(bytes.size() / 2) << false;
        QTest::addRow("%s, last byte missing", name) << bytes.chopped(1) << false;
    }
    QTest::newRow("jpeg with bytes after its end") << detailedPicture("JPG") + "trailer" << true;
    QTest::newRow("jpeg signature, then noise")
        << QByteArray("\xFF\xD8\xFF\xE0") + QByteArray(4096, '\x9A') << false;
    QTest::newRow("png signature, then noise")
        << QByteArray("\x89PNG\r\n\x1A\n") + QByteArray(4096, '\x9A') << false;
    QTest::newRow("a page") << QByteArray("<html>404</html>") << false;
    QTest::newRow("empty") << QByteArray() << false;
    // Found by fuzzing: rows times height of these sizes overflowed (undefined behaviour).
    QTest::newRow("bmp of wild sizes")
        << QByteArray::fromHex(
               "424dc67e000000fc1e1e1e1e1e5b1e1e1e1ee7e11e1efe1e3a1e1e01c0ff000000000000000011"
               "08005000d0c6ffc089504e470d0abd0a")
        << false;
    QByteArray widest = detailedPicture("BMP");
    widest.replace(18, 8, QByteArray("\xFF\xFF\xFF\x7F\x00\x00\x00\x80", 8));
    QTest::newRow("bmp of the widest and tallest sizes") << widest << false;
}

void TestPictures::completePictures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, complete);
    QCOMPARE(isCompletePicture(bytes), complete);
}

void TestPictures::picturesOnDisk_data()
{
    QTest::addColumn<QString>("target");    // as the run names it
    QTest::addColumn<QStringList>("files"); // written beside it: name, then what it holds
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("found");
    QTest::newRow("tbi, whole") << u"a.tbi"_s << QStringList{u"a.tbi"_s, u"png"_s} << u"1"_s << u"a.tbi"_s;
    QTest::newRow("tbi, cut short") << u"a.tbi"_s << QStringList{u"a.tbi"_s, u"half png"_s} << QString()
                                    << QString();
    QTest::newRow("tbi, empty") << u"a.tbi"_s << QStringList{u"a.tbi"_s, u"empty"_s} << QString()
                                << QString();
    QTest::newRow("missing") << u"{d}.jpg"_s << QStringList{} << QString() << QString();
    QTest::newRow("stored under its type")
        << u"{d}.jpg"_s << QStringList{u"{d}.PNG"_s, u"png"_s} << u"PNG"_s << u"{d}.PNG"_s;
    // A stamped description picture keeps its name while its content is JPEG.
    QTest::newRow("type from the name")
        << u"D.jpg"_s << QStringList{u"D.GIF"_s, u"jpeg"_s} << u"GIF"_s << u"D.GIF"_s;
    QTest::newRow("a cut one passed over")
        << u"{d}.jpg"_s << QStringList{u"{d}.JPG"_s, u"half jpeg"_s, u"{d}.PNG"_s, u"png"_s} << u"PNG"_s
        << u"{d}.PNG"_s;
    QTest::newRow("other letter case is another file")
        << u"{d}.jpg"_s << QStringList{u"{d}.jpg"_s, u"jpeg"_s} << QString() << QString();
    QTest::newRow("larger than a download may be")
        << u"a.tbi"_s << QStringList{u"a.tbi"_s, u"large png"_s} << QString() << QString();
}

void TestPictures::picturesOnDisk()
{
    QFETCH(QString, target);
    QFETCH(QStringList, files);
    QFETCH(QString, type);
    QFETCH(QString, found);
    QTemporaryDir dir;
    const QByteArray png = detailedPicture("PNG");
    const QByteArray jpeg = detailedPicture("JPG");
    const QHash<QString, QByteArray> contents{{u"png"_s, png},
                                              {u"half png"_s, png.left(png.size() / 2)},
                                              {u"jpeg"_s, jpeg},
                                              {u"half jpeg"_s, jpeg.left(jpeg.size() / 2)},
                                              {u"empty"_s, QByteArray()},
                                              {u"large png"_s, png + QByteArray(4096, ' ')}};
    for (qsizetype i = 0; i + 1 < files.size(); i += 2)
        QVERIFY(writeFile(dir.filePath(files.at(i)), contents.value(files.at(i + 1))));
    if (files.contains(u"{d}.jpg"_s) && QFile::exists(dir.filePath(u"{d}.JPG"_s)))
        QSKIP("the file system does not tell letter cases apart");
    const StoredPicture picture = findCompletePicture(dir.filePath(target), png.size() + 1024);
    QCOMPARE(picture.type, type);
    QCOMPARE(picture.path, found.isEmpty() ? QString() : dir.filePath(found));
}

void TestPictures::descriptionPictures_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QStringList>("urls");
    QTest::newRow("two images") << u"<img src=\"http://a/1.jpg\"><img alt=x src=\"http://a/2.jpg\" />"_s
                                << QStringList{u"http://a/1.jpg"_s, u"http://a/2.jpg"_s};
    QTest::newRow("same source once")
        << u"<img src=\"http://a/1.jpg\"><img src=\"http://a/1.jpg\">"_s << QStringList{u"http://a/1.jpg"_s};
    QTest::newRow("substring of a collected URL")
        << u"<img src=\"http://a/1.jpg_b.jpg\"><img src=\"http://a/1.jpg\">"_s
        << QStringList{u"http://a/1.jpg_b.jpg"_s};
    QTest::newRow("longer after shorter")
        << u"<img src=\"http://a/1.jpg\"><img src=\"http://a/1.jpg_b.jpg\">"_s
        << QStringList{u"http://a/1.jpg"_s, u"http://a/1.jpg_b.jpg"_s};
    QTest::newRow("background pass") << u"<td background=\"http://a/bg.gif\"><img src=\"http://a/1.jpg\">"_s
                                     << QStringList{u"http://a/1.jpg"_s, u"http://a/bg.gif"_s};
    QTest::newRow("unclosed tag") << u"<p>x</p><img src=\"http://a/1.jpg"_s << QStringList{};
    QTest::newRow("first empty then found")
        << u"<img alt=x><img src=\"http://a/1.jpg\">"_s << QStringList{u"http://a/1.jpg"_s};
    QTest::newRow("none") << u"<p>plain</p>"_s << QStringList{};
}

void TestPictures::descriptionPictures()
{
    QFETCH(QString, description);
    QFETCH(QStringList, urls);
    const QStringList markers{u"<img"_s, u">"_s, u"src=\""_s, u"\""_s, u"background=\""_s, u"\""_s};
    QCOMPARE(extractDescriptionPictures(description, markers), urls);
    // Empty markers find nothing and never loop.
    QCOMPARE(extractDescriptionPictures(description, QStringList(6)), QStringList());
}

void TestPictures::utf8File()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"s.xml"_s);
    QVERIFY(writeUtf8File(QString(), path, true).saved);
    QVERIFY(!QFile::exists(path));
    QVERIFY(writeUtf8File(u"库存"_s, path, true).saved);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\xEF\xBB\xBF") + u"库存"_s.toUtf8());
    QVERIFY(!writeUtf8File(u"x"_s, dir.filePath(u"missing/s.xml"_s), true).saved);
}

void TestPictures::atomicWrite_data()
{
    QTest::addColumn<QString>("target"); // inside the test folder, which holds "old.txt"
    QTest::addColumn<bool>("fileSizeLimit");
    QTest::addColumn<bool>("written");
    QTest::newRow("replaces the old file") << u"old.txt"_s << false << true;
    QTest::newRow("a new file") << u"new.txt"_s << false << true;
    QTest::newRow("missing folder") << u"missing/new.txt"_s << false << false;
    QTest::newRow("target is a folder") << u"folder"_s << false << false;
#ifdef Q_OS_UNIX
    QTest::newRow("the write breaks off") << u"old.txt"_s << true << false;
#endif
}

void TestPictures::atomicWrite()
{
    QFETCH(QString, target);
    QFETCH(bool, fileSizeLimit);
    QFETCH(bool, written);
    QTemporaryDir dir;
    QFile old(dir.filePath(u"old.txt"_s));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("the old file");
    old.close();
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
    const QStringList before = QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    const QByteArray bytes(256 * 1024, 'n');

    QString error;
    bool result = false;
    if (fileSizeLimit) {
#ifdef Q_OS_UNIX
        // The disk fills up part way through: writes past 16 KB fail.
        const TestSupport::FileSizeLimit limit(16 * 1024);
        QVERIFY(limit.isActive());
        result = writeFileAtomically(dir.filePath(target), bytes, &error);
#endif
    } else {
        result = writeFileAtomically(dir.filePath(target), bytes, &error);
    }
    QCOMPARE(result, written);
    QCOMPARE(error.isEmpty(), written);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll() == bytes, written && target == u"old.txt"_s);
    old.close();
    if (!written) {
        // A failed write leaves every file as it was, and no half-written one beside them.
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the old file"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), before);
        QVERIFY(QFileInfo(dir.filePath(u"folder"_s)).isDir());
    }
}

void TestPictures::processing_data()
{
    QTest::addColumn<QString>("detailInfo");
    QTest::addColumn<bool>("useRules");
    QTest::addColumn<QString>("expected");
    QTest::newRow("entities and cdata")
        << u"<![CDATA[&lt;p&gt;a,b&lt;/p&gt;]]>"_s << false << u"<p>a，b</p>"_s;
    QTest::newRow("line breaks and tabs") << u"a\r\nb\tc\nd"_s << false << u"abcd"_s;
    QTest::newRow("empty alt and title")
        << u"<img alt=\"\" title=\"\" src=\"x\">"_s << false << u"<img   src=\"x\">"_s;
    QTest::newRow("rules in order") << u"QQ 12345 call 12345"_s << true << u"QQ 888 call 888"_s;
    QTest::newRow("rules off") << u"QQ 12345"_s << false << u"QQ 12345"_s;
}

void TestPictures::processing()
{
    QFETCH(QString, detailInfo);
    QFETCH(bool, useRules);
    QFETCH(QString, expected);
    // The second rule finds what the first one wrote; the blank third one does nothing.
    const QList<ReplacementRule> rules{{u"12345"_s, u"777"_s}, {u"777"_s, u"888"_s}, {u"  "_s, u"x"_s}};
    QCOMPARE(processDescription(detailInfo, useRules ? &rules : nullptr), expected);
}

void TestPictures::linkStripping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QString>("expected");
    QTest::newRow("opening tag removed")
        << u"x<a href=\"http://shop.paipai.com/1\">shop</a>y"_s << u"paipai.com/"_s << u"xshop</a>y"_s;
    QTest::newRow("item link drops its close")
        << u"<a href=\"http://item.htm?id=1\">t</a>z"_s << u"item.htm"_s << u"tz"_s;
    QTest::newRow("upper-case close") << u"<A href=\"http://item.htm\">t</A>z"_s << u"item.htm"_s << u"tz"_s;
    QTest::newRow("two links") << u"<a href=m1>a</a><a href=m2>b</a>"_s << u"href=m"_s << u"a</a>b</a>"_s;
    QTest::newRow("no marker") << u"<p>plain</p>"_s << u"paipai.com/"_s << u"<p>plain</p>"_s;
    QTest::newRow("tag never closes") << u"ok<a href=\"http://shop.paipai.com/1"_s << u"paipai.com/"_s
                                      << u"ok<a href=\"http://shop.paipai.com/1"_s;
    QTest::newRow("blank text") << u"  "_s << u"paipai.com/"_s << QString();
    // Worst cases of the fuzz target: the walk copied the rest of the text once per link,
    // seconds for 64 KB.
    QTest::newRow("thousands of item links")
        << u"<a href=\"http://item.taobao.com/item.htm?id=1\">t</a>"_s.repeated(3000) << u"item.htm"_s
        << u"t"_s.repeated(3000);
    QTest::newRow("a text of markers") << u"paipai.com/>"_s.repeated(6000) << u"paipai.com/"_s << QString();
    // Each link gives up the first closing tag after it, even one further on.
    QTest::newRow("closes further on")
        << u"<a item.htm>1<a item.htm>2</a>3</A>4</a>"_s << u"item.htm"_s << u"123</A>4"_s;
}

void TestPictures::linkStripping()
{
    QFETCH(QString, text);
    QFETCH(QString, marker);
    QFETCH(QString, expected);
    QCOMPARE(stripLinks(text, marker), expected);
}

void TestPictures::rulesFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("texts"); // find1, replace1, ... find5, replace5
    QTest::newRow("ten empty") << QByteArray("^^^^^^^^^^\r\n") << QStringList(10);
    QTest::newRow("two texts, one caret") << QByteArray("a^b") << (QStringList{u"a"_s} + QStringList(9));
    QTest::newRow("odd count") << QByteArray("a^b^c^")
                               << (QStringList{u"a"_s, u"b"_s, u"c"_s} + QStringList(7));
    QTest::newRow("spaces kept") << QByteArray(" a ^x^") << (QStringList{u" a "_s, u"x"_s} + QStringList(8));
    QTest::newRow("beyond five rows ignored")
        << QByteArray("1^2^3^4^5^6^7^8^9^10^11^12^")
        << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s, u"8"_s, u"9"_s, u"10"_s};
    QTest::newRow("only the first line")
        << QByteArray("a^b^\r\nc^d^") << (QStringList{u"a"_s, u"b"_s} + QStringList(8));
}

void TestPictures::rulesFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, texts);
    const QList<ReplacementRule> rules = parseReplacementRules(bytes);
    QCOMPARE(rules.size(), replacementRuleCount);
    QStringList got;
    for (const ReplacementRule &rule : rules)
        got << rule.find << rule.replace;
    QCOMPARE(got, texts);
}

void TestPictures::rulesRoundTrip()
{
    QTemporaryDir dir;
    QCOMPARE(loadReplacementRules(dir.path()).size(), replacementRuleCount); // no file: five empty rules
    QList<ReplacementRule> rules(replacementRuleCount);
    rules[0] = {u"QQ:12345"_s, u"QQ:888"_s};
    rules[4] = {u"旧店"_s, u"新店"_s};
    QString error;
    QVERIFY(saveReplacementRules(dir.path(), rules, &error));
    QFile file(dir.filePath(u"re.txt"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("QQ:12345^QQ:888^^^^^^^"));
    QVERIFY(bytes.endsWith("^\r\n"));
    const QList<ReplacementRule> back = loadReplacementRules(dir.path());
    QCOMPARE(back.at(4).find, u"旧店"_s);
    QCOMPARE(back.at(4).replace, u"新店"_s);
}

void TestPictures::rulesRefused_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("replace");
    QTest::addColumn<QString>("problem");
    QTest::newRow("caret in a find text")
        << 0 << u"a^b"_s << u"x"_s << u"替换一的查找内容含有字符“^”，替换规则无法保存"_s;
    QTest::newRow("caret in a replacement")
        << 4 << u"a"_s << u"^"_s << u"替换五的替换内容含有字符“^”，替换规则无法保存"_s;
    QTest::newRow("line break") << 1 << u"a\nb"_s << QString()
                                << u"替换二的查找内容含有换行，替换规则无法保存"_s;
    QTest::newRow("no GBK code") << 2 << u"店😀"_s << QString()
                                 << u"替换三的查找内容含有无法保存的字符，替换规则无法保存"_s;
}

void TestPictures::rulesRefused()
{
    QFETCH(int, row);
    QFETCH(QString, find);
    QFETCH(QString, replace);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    QList<ReplacementRule> rules(replacementRuleCount);
    rules[3] = {u"旧店"_s, u"新店"_s};
    QString error;
    QVERIFY(saveReplacementRules(dir.path(), rules, &error));
    const QList<ReplacementRule> saved = loadReplacementRules(dir.path());

    rules[row] = {find, replace};
    QCOMPARE(replacementRulesProblem(rules), problem);
    QVERIFY(!saveReplacementRules(dir.path(), rules, &error));
    QCOMPARE(error, problem);
    const QList<ReplacementRule> back = loadReplacementRules(dir.path());
    QCOMPARE(back.at(3).find, saved.at(3).find); // the file is as it was
    QCOMPARE(back.at(3).replace, saved.at(3).replace);
    QCOMPARE(back.at(row).find, saved.at(row).find);
}

void TestPictures::cities_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("city");
    QTest::addColumn<QString>("province");
    const QString script = u"/* table */ var CityList = new Array('北京','广东省','其他');\n"
                           u"var c = [[0,112,'朝阳'],[1,12,'深圳'],[1,7,'no end]];"_s;
    QTest::newRow("plain") << script << u"12"_s << u"深圳"_s << u"'广东省'"_s;
    QTest::newRow("112 holds 12") << script << u"112"_s << u"朝阳"_s << u"'北京'"_s;
    QTest::newRow("missing closing quote") << script << u"7"_s << QString() << QString();
    QTest::newRow("id of the last element") << script << u"2"_s << QString() << QString();
    QTest::newRow("empty ids") << script << QString() << QString() << QString();
    QTest::newRow("negative") << script << u"-1"_s << QString() << QString();
    QTest::newRow("empty script") << QString() << u"12"_s << QString() << QString();
    QTest::newRow("parenthesis before city")
        << u"f(1) city ) ( 'a','b'"_s << u"0"_s << QString() << QString();
}

void TestPictures::cities()
{
    QFETCH(QString, script);
    QFETCH(QString, id);
    QFETCH(QString, city);
    QFETCH(QString, province);
    const CityTable table(script);
    QCOMPARE(table.cityName(id), city);
    // Province ids read the same script: "12" and "112" are beyond the list.
    const QString provinceId = id == u"12"_s ? u"1"_s : id == u"112"_s ? u"0"_s : id;
    QCOMPARE(table.provinceName(provinceId), province);
}

// The first to claim an address downloads it; the others hear once it is published, and a
// download still awaited is never forgotten however many addresses come after it.
void TestPictures::sharedDownloads()
{
    SharedPictures shared(4);
    QStringList heard;
    const auto listener = [&heard](const QString &name) {
        return [&heard, name](const FetchedPicture &fetched) {
            heard << name + u':' + fetched.rawPath + u':' + fetched.stampedPath + u':' + fetched.reason;
        };
    };
    QVERIFY(shared.claim(u"http://a/1.jpg"_s, listener(u"first"_s)));
    QVERIFY(!shared.claim(u"http://a/1.jpg"_s, listener(u"second"_s)));
    QVERIFY(heard.isEmpty());
    for (int i = 2; i <= 9; ++i) {
        QVERIFY(shared.claim(u"http://a/"_s + QString::number(i) + u".jpg"_s, {}));
        shared.publish(u"http://a/"_s + QString::number(i) + u".jpg"_s, {u"gone"_s, {}, {}, {}, false});
    }
    // The awaited one is still there; the oldest published ones are not.
    QVERIFY(!shared.claim(u"http://a/1.jpg"_s, listener(u"third"_s)));
    QVERIFY(shared.claim(u"http://a/2.jpg"_s, {}));
    shared.publish(u"http://a/1.jpg"_s, {{}, u"JPG"_s, {}, u"/p/stamped.JPG"_s, false});
    // The one that downloads is not told what it published itself.
    QCOMPARE(heard, (QStringList{u"second::/p/stamped.JPG:"_s, u"third::/p/stamped.JPG:"_s}));
    // A second download adds the file the first could not leave; one that failed adds nothing.
    shared.publish(u"http://a/1.jpg"_s, {{}, u"JPG"_s, u"/p/raw.JPG"_s, u"/p/other.JPG"_s, false});
    QVERIFY(!shared.claim(u"http://a/1.jpg"_s, listener(u"fourth"_s)));
    QCOMPARE(heard.last(), u"fourth:/p/raw.JPG:/p/stamped.JPG:"_s);
    shared.publish(u"http://a/9.jpg"_s, {{}, u"JPG"_s, u"/p/9.JPG"_s, {}, false});
    QVERIFY(!shared.claim(u"http://a/9.jpg"_s, listener(u"fifth"_s)));
    QCOMPARE(heard.last(), u"fifth:::gone"_s);
}

QTEST_GUILESS_MAIN(TestPictures)
#include "tst_pictures.moc"
