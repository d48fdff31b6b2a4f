// The skin store, the skin file watch and clsBitmap.

#include "testskin.h"

#include "skin/clsbitmap.h"
#include "skin/resourcefile.h"
#include "skin/skinstore.h"

#include <QBuffer>
#include <QPainter>
#include <QPalette>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace Skin;

class TestSkinStore : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void readsEveryKindOfValue_data();
    void readsEveryKindOfValue();
    void keysIgnoreLetterCase_data();
    void keysIgnoreLetterCase();
    void picturesPngAndBmp();
    void valuesFileForms();
    void numbers_data();
    void numbers();
    void colours_data();
    void colours();
    void colourNumbersToColours();

    void brokenFiles_data();
    void brokenFiles();
    void pictureThatDoesNotLoad();
    void everyCutAndDamageIsSafe_data();
    void everyCutAndDamageIsSafe();
    void packedEntriesThatUnpackTooMuch_data();
    void packedEntriesThatUnpackTooMuch();

    void fileIsReadAgainOnlyWhenItChanged();

    void bitmapLoads();
    void bitmapIsEmptyAfterAFailedLoad();
    void bitmapPaintsOpaquely();

private:
    QString makeSkin(const TestSkin &skin, const QString &name = u"skin"_s);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSkinStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestSkinStore::makeSkin(const TestSkin &skin, const QString &name)
{
    const QString output = m_dir->filePath(name + u".jss"_s);
    const QString error = skin.write(m_dir->filePath(name), output);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    return output;
}

void TestSkinStore::readsEveryKindOfValue_data()
{
    QTest::addColumn<QStringList>("rccOptions");
    QTest::newRow("rcc's default packing") << QStringList();
    QTest::newRow("zlib") << QStringList{u"--compress-algo"_s, u"zlib"_s, u"--threshold"_s, u"0"_s};
    QTest::newRow("zstd") << QStringList{u"--compress-algo"_s, u"zstd"_s, u"--threshold"_s, u"0"_s};
    QTest::newRow("not packed") << QStringList{u"--no-compress"_s};
}

void TestSkinStore::readsEveryKindOfValue()
{
    QFETCH(QStringList, rccOptions);
    TestSkin skin = TestSkin::solid();
    skin.rccOptions = rccOptions;
    const SkinStore store = SkinStore::fromFile(makeSkin(skin));

    const QImage close = store.picture(u"CLOSE");
    QCOMPARE(close.size(), QSize(20, 16));
    QCOMPARE(close.pixel(5, 5), TestSkin::colour(u"CLOSE"_s));
    QCOMPARE(store.picture(u"RIGHTBOT").size(), QSize(12, 6));
    QCOMPARE(store.number(u"FROMRIGHT"), qint16(6));
    QCOMPARE(store.number(u"ICONSPACE"), qint16(3));
    QCOMPARE(store.colour(u"BackColor"), 0x00DC7E5Au);
    QCOMPARE(store.colour(u"FORECOLOR"), 0x00FFFFFFu);

    // What is not in the file reads as empty.
    QVERIFY(store.picture(u"NOSUCHKEY").isNull());
    QCOMPARE(store.number(u"NOSUCHKEY"), qint16(0));
    QCOMPARE(store.colour(u"NOSUCHKEY"), 0u);
    QVERIFY(!store.colourValue(u"NOSUCHKEY").has_value());
}

void TestSkinStore::keysIgnoreLetterCase_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("valueLine");
    QTest::addColumn<QString>("pictureKey");
    QTest::addColumn<QString>("valueKey");
    QTest::newRow("as written") << u"CLOSE3.png"_s << u"BackColor=255"_s << u"CLOSE3"_s << u"BackColor"_s;
    QTest::newRow("lower-case look-up")
        << u"CLOSE3.png"_s << u"BackColor=255"_s << u"close3"_s << u"backcolor"_s;
    QTest::newRow("mixed-case file, upper-case look-up")
        << u"Close3.PNG"_s << u"backcolor=255"_s << u"CLOSE3"_s << u"BACKCOLOR"_s;
}

void TestSkinStore::keysIgnoreLetterCase()
{
    QFETCH(QString, fileName);
    QFETCH(QString, valueLine);
    QFETCH(QString, pictureKey);
    QFETCH(QString, valueKey);
    TestSkin skin;
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(0x123456);
    skin.pictures.insert(fileName, image);
    skin.values = valueLine.toUtf8();
    const SkinStore store = SkinStore::fromFile(makeSkin(skin));
    QCOMPARE(store.picture(pictureKey).size(), QSize(4, 3));
    QCOMPARE(store.colour(valueKey), 255u);
}

void TestSkinStore::picturesPngAndBmp()
{
    TestSkin skin;
    QImage red(3, 3, QImage::Format_RGB32);
    red.fill(0xff0000);
    QImage blue(5, 5, QImage::Format_RGB32);
    blue.fill(0x0000ff);
    QByteArray bmp;
    {
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(red.save(&buffer, "BMP"));
    }
    skin.rawFiles.insert(u"MIN.bmp"_s, bmp);
    // With both forms of one key the PNG is the picture.
    skin.rawFiles.insert(u"MAX.bmp"_s, bmp);
    skin.pictures.insert(u"MAX.png"_s, blue);
    // Other picture formats are not part of a skin.
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(blue.save(&buffer, "JPG"));
    }
    skin.rawFiles.insert(u"CLOSE.jpg"_s, jpeg);
    const SkinStore store = SkinStore::fromFile(makeSkin(skin));
    QCOMPARE(store.picture(u"MIN").pixel(1, 1), 0xffff0000u);
    QCOMPARE(store.picture(u"MAX").size(), QSize(5, 5));
    QVERIFY(store.picture(u"CLOSE").isNull());
}

void TestSkinStore::valuesFileForms()
{
    TestSkin skin;
    skin.values = "\xEF\xBB\xBFXOFFSET=7\r\n"
                  "; a comment\r\n"
                  "# another\r\n"
                  "[General]\r\n"
                  "\r\n"
                  "  YOFFSET = 9  \r\n"
                  "FROMTOP=1\r\n"
                  "FROMTOP=2\r\n"
                  "no equals sign\r\n";
    const SkinStore store = SkinStore::fromFile(makeSkin(skin));
    QCOMPARE(store.number(u"XOFFSET"), qint16(7));
    QCOMPARE(store.number(u"YOFFSET"), qint16(9));
    QCOMPARE(store.number(u"FROMTOP"), qint16(2));
}

void TestSkinStore::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << u"12"_s << 12;
    QTest::newRow("spaces and sign") << u" -7 "_s << -7;
    QTest::newRow("plus sign") << u"+5"_s << 5;
    QTest::newRow("largest") << u"32767"_s << 32767;
    QTest::newRow("smallest") << u"-32768"_s << -32768;
    QTest::newRow("above 16 bits") << u"32768"_s << 0;
    QTest::newRow("below 16 bits") << u"-32769"_s << 0;
    QTest::newRow("unit after it") << u"12px"_s << 0;
    QTest::newRow("hexadecimal") << u"0x10"_s << 0;
    QTest::newRow("fraction") << u"1.5"_s << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("word") << u"ten"_s << 0;
}

void TestSkinStore::numbers()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    TestSkin skin;
    skin.values = u"FROMTOP=%1\n"_s.arg(text).toUtf8();
    QCOMPARE(int(SkinStore::fromFile(makeSkin(skin)).number(u"FROMTOP")), expected);
}

void TestSkinStore::colours_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("expected");
    QTest::newRow("hexadecimal") << u"0x00DC7E5A"_s << true << 0x00DC7E5Au;
    QTest::newRow("lower-case hexadecimal") << u"0x00dc7e5a"_s << true << 0x00DC7E5Au;
    QTest::newRow("decimal") << u"14450266"_s << true << 0x00DC7E5Au;
    QTest::newRow("black") << u"0"_s << true << 0u;
    QTest::newRow("system colour") << u"0x80000012"_s << true << 0x80000012u;
    QTest::newRow("system colour as a negative number") << u"-2147483630"_s << true << 0x80000012u;
    QTest::newRow("last system colour") << u"0x8000001E"_s << true << 0x8000001Eu;
    QTest::newRow("system index out of range") << u"0x80000040"_s << false << 0u;
    QTest::newRow("bits above the blue byte") << u"0x01000000"_s << false << 0u;
    QTest::newRow("above 32 bits") << u"0x100000000"_s << false << 0u;
    QTest::newRow("decimal above 32 bits") << u"4294967296"_s << false << 0u;
    QTest::newRow("a name") << u"blue"_s << false << 0u;
    QTest::newRow("prefix only") << u"0x"_s << false << 0u;
    QTest::newRow("signed hexadecimal") << u"0x-5"_s << false << 0u;
}

void TestSkinStore::colours()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(uint, expected);
    QCOMPARE(parseSkinColour(text).has_value(), valid);
    TestSkin skin;
    skin.values = u"FORECOLOR=%1\n"_s.arg(text).toUtf8();
    const SkinStore store = SkinStore::fromFile(makeSkin(skin));
    QCOMPARE(store.colour(u"FORECOLOR"), expected);
    QCOMPARE(store.colourValue(u"FORECOLOR").has_value(), valid);
}

void TestSkinStore::colourNumbersToColours()
{
    QPalette palette;
    palette.setColor(QPalette::ButtonText, QColor(1, 2, 3));
    QCOMPARE(toQColor(0x00DC7E5A, palette), QColor(0x5A, 0x7E, 0xDC));
    QCOMPARE(toQColor(0x80000012, palette), QColor(1, 2, 3));
    QCOMPARE(toQColor(0x80000040, palette), QColor(Qt::black));
}

void TestSkinStore::brokenFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("missing");
    QTest::newRow("missing file") << QByteArray() << true;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("text file") << QByteArray("XOFFSET=5\nFROMTOP=3\n") << false;
    QTest::newRow("header only") << QByteArray("qres\0\0\0\x03", 8) << false;
    QByteArray badVersion("qres\0\0\0\x09", 8);
    badVersion.append(QByteArray(32, '\0'));
    QTest::newRow("unknown version") << badVersion << false;
    QByteArray farOffsets("qres\0\0\0\x03", 8);
    farOffsets.append(QByteArray(12, '\x7f'));
    farOffsets.append(QByteArray(64, '\0'));
    QTest::newRow("offsets past the end") << farOffsets << false;
}

void TestSkinStore::brokenFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, missing);
    const QString path = m_dir->filePath(u"broken.jss"_s);
    if (!missing) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const SkinStore store = SkinStore::fromFile(path);
    QVERIFY(store.isEmpty());
    QVERIFY(store.picture(u"TOPLEFT").isNull());
    QCOMPARE(store.number(u"XOFFSET"), qint16(0));
    QCOMPARE(store.colour(u"BackColor"), 0u);
}

void TestSkinStore::pictureThatDoesNotLoad()
{
    TestSkin skin = TestSkin::solid();
    skin.rawFiles.insert(u"MAX2.png"_s, QByteArray("\x89PNG\r\n\x1a\n this is not a picture"));
    skin.remove(u"MAX2"_s);
    const SkinStore store = SkinStore::fromFile(makeSkin(skin));
    QVERIFY(store.picture(u"MAX2").isNull());
    QCOMPARE(store.picture(u"MAX").size(), QSize(18, 16));
}

void TestSkinStore::everyCutAndDamageIsSafe_data()
{
    QTest::addColumn<QStringList>("rccOptions");
    QTest::newRow("zlib") << QStringList{u"--compress-algo"_s, u"zlib"_s, u"--threshold"_s, u"0"_s};
    QTest::newRow("zstd") << QStringList{u"--compress-algo"_s, u"zstd"_s, u"--threshold"_s, u"0"_s};
    QTest::newRow("not packed") << QStringList{u"--no-compress"_s};
}

void TestSkinStore::everyCutAndDamageIsSafe()
{
    QFETCH(QStringList, rccOptions);
    TestSkin skin = TestSkin::solid();
    skin.rccOptions = rccOptions;
    QFile file(makeSkin(skin));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    QVERIFY(!SkinStore::fromData(whole).isEmpty());

    // A file cut short anywhere reads as nothing at all or as a subset of the real values,
    // never out of bounds (the sanitizer build watches the reads).
    for (qsizetype length = 0; length < whole.size(); ++length) {
        const SkinStore store = SkinStore::fromData(whole.left(length));
        const qint16 fromRight = store.number(u"FROMRIGHT");
        QVERIFY2(fromRight == 0 || fromRight == 6, qPrintable(QString::number(length)));
    }
    // Damaged bytes anywhere (a fixed seed keeps the run repeatable).
    QRandomGenerator random(1234);
    for (int round = 0; round < 2000; ++round) {
        QByteArray damaged = whole;
        for (int flips = 0; flips < 4; ++flips)
            damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
        const SkinStore store = SkinStore::fromData(damaged);
        store.picture(u"CLOSE");
        store.picture(u"TOPMID");
        store.number(u"FROMRIGHT");
    }
}

namespace {

// The hash the resource tree sorts a folder's entries by.
quint32 resourceNameHash(const QString &name)
{
    quint32 h = 0;
    for (const QChar c : name) {
        h = (h << 4) + c.unicode();
        h ^= (h & 0xf0000000) >> 23;
        h &= 0x0fffffff;
    }
    return h;
}

QByteArray be(quint64 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

// A resource file (version 2) made by hand: `entries` root files E0.png, E1.png, ..., entry i
// packed over data block i % blocks; every block is `unpacked` zero bytes packed as rcc packs.
QByteArray handMadeResource(int entries, int blocks, int unpacked)
{
    QStringList names;
    for (int i = 0; i < entries; ++i)
        names << u"E%1.png"_s.arg(i);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return resourceNameHash(a) < resourceNameHash(b); });
    QByteArray data;
    QList<qint64> blockAt;
    const QByteArray packed = qCompress(QByteArray(unpacked, '\0'));
    for (int i = 0; i < blocks; ++i) {
        blockAt << data.size();
        data += be(quint64(packed.size()), 4) + packed;
    }
    QByteArray nameSection = be(0, 2) + be(0, 4); // the root's empty name
    QByteArray tree = be(0, 4) + be(2, 2) + be(quint64(entries), 4) + be(1, 4) + be(0, 8);
    for (int i = 0; i < entries; ++i) {
        tree += be(quint64(nameSection.size()), 4) + be(1, 2) + be(0, 2) + be(1, 2) +
                be(quint64(blockAt.at(i % blocks)), 4) + be(0, 8);
        nameSection += be(quint64(names.at(i).size()), 2) + be(resourceNameHash(names.at(i)), 4);
        for (const QChar c : names.at(i))
            nameSection += be(c.unicode(), 2);
    }
    const qint64 treeAt = 20, namesAt = treeAt + tree.size(), dataAt = namesAt + nameSection.size();
    return QByteArray("qres") + be(2, 4) + be(quint64(treeAt), 4) + be(quint64(dataAt), 4) +
           be(quint64(namesAt), 4) + tree + nameSection + data;
}

} // namespace

void TestSkinStore::packedEntriesThatUnpackTooMuch_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("entries"); // -1: the file is refused
    QTest::newRow("four entries, a block each") << handMadeResource(4, 4, 1000) << 4;
    QTest::newRow("entries within the limit") << handMadeResource(4, 4, 16 * 1024 * 1024) << 4;
    // A worst case of the fuzz target: 200 entries over one packed block of 16 MB; 25 KB of
    // file unpacked to 3.3 GB.
    QTest::newRow("entries over one block") << handMadeResource(200, 1, 16 * 1024 * 1024) << -1;
    QTest::newRow("two entries over one block") << handMadeResource(2, 1, 1000) << -1;
    QTest::newRow("more than the limit together") << handMadeResource(5, 5, 16 * 1024 * 1024) << -1;
}

void TestSkinStore::packedEntriesThatUnpackTooMuch()
{
    QFETCH(QByteArray, file);
    QFETCH(int, entries);
    const std::optional<QHash<QString, QByteArray>> contents = readResourceRoot(file);
    QCOMPARE(contents.has_value(), entries >= 0);
    if (contents)
        QCOMPARE(int(contents->size()), entries);
}

void TestSkinStore::fileIsReadAgainOnlyWhenItChanged()
{
    const QString path = makeSkin(TestSkin::solid(), u"watched"_s);
    SkinFile watched;
    watched.setPath(path);
    QCOMPARE(watched.store().number(u"FROMTOP"), qint16(4));
    QVERIFY(!watched.changedOnDisk());
    QVERIFY(!watched.reloadIfChanged());

    TestSkin other = TestSkin::solid();
    other.values = "FROMTOP=9\n";
    const QString otherPath = makeSkin(other, u"other"_s);
    QFile::remove(path);
    QVERIFY(QFile::copy(otherPath, path));
    QVERIFY(watched.changedOnDisk());
    QVERIFY(watched.reloadIfChanged());
    QCOMPARE(watched.store().number(u"FROMTOP"), qint16(9));
    QVERIFY(!watched.reloadIfChanged());

    // A file that disappears reads as empty; one that comes back is read again.
    QFile::remove(path);
    QVERIFY(watched.reloadIfChanged());
    QVERIFY(watched.store().isEmpty());
    QVERIFY(QFile::copy(otherPath, path));
    QVERIFY(watched.reloadIfChanged());
    QCOMPARE(watched.store().number(u"FROMTOP"), qint16(9));
}

void TestSkinStore::bitmapLoads()
{
    clsBitmap bitmap;
    QCOMPARE(bitmap.Width(), 0);
    QImage first(7, 5, QImage::Format_RGB32);
    first.fill(0x00ff00);
    QVERIFY(bitmap.LoadResource(first));
    QCOMPARE(bitmap.Width(), 7);
    QCOMPARE(bitmap.Height(), 5);
    // A second picture replaces the first.
    QImage second(3, 9, QImage::Format_RGB32);
    second.fill(0x0000ff);
    QVERIFY(bitmap.LoadResource(second));
    QCOMPARE(bitmap.Width(), 3);
    QCOMPARE(bitmap.Height(), 9);

    const QString path = m_dir->filePath(u"picture.bmp"_s);
    QVERIFY(first.save(path, "BMP"));
    QVERIFY(bitmap.LoadFile(path));
    QCOMPARE(bitmap.Width(), 7);
}

void TestSkinStore::bitmapIsEmptyAfterAFailedLoad()
{
    QImage picture(7, 5, QImage::Format_RGB32);
    picture.fill(0x00ff00);

    clsBitmap fromNothing;
    QVERIFY(fromNothing.LoadResource(picture));
    QVERIFY(!fromNothing.LoadResource(QImage()));
    QVERIFY(fromNothing.isEmpty());
    QCOMPARE(fromNothing.Width(), 0);
    QCOMPARE(fromNothing.Height(), 0);

    clsBitmap fromMissingFile;
    QVERIFY(fromMissingFile.LoadResource(picture));
    QVERIFY(!fromMissingFile.LoadFile(m_dir->filePath(u"missing.bmp"_s)));
    QCOMPARE(fromMissingFile.Width(), 0);

    const QString garbage = m_dir->filePath(u"garbage.bmp"_s);
    QFile file(garbage);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("BM not really");
    file.close();
    clsBitmap fromGarbage;
    QVERIFY(fromGarbage.LoadResource(picture));
    QVERIFY(!fromGarbage.LoadFile(garbage));
    QVERIFY(fromGarbage.isEmpty());

    // An empty bitmap paints nothing.
    QImage surface(10, 10, QImage::Format_RGB32);
    surface.fill(Qt::white);
    QPainter painter(&surface);
    fromGarbage.Paint(painter, 0, 0);
    painter.end();
    QCOMPARE(surface.pixel(3, 3), 0xffffffffu);
}

void TestSkinStore::bitmapPaintsOpaquely()
{
    // A transparent picture is copied with its colours: the chrome uses no transparency.
    QImage picture(4, 4, QImage::Format_ARGB32);
    picture.fill(QColor(255, 0, 0, 0));
    clsBitmap bitmap;
    QVERIFY(bitmap.LoadResource(picture));
    QImage surface(10, 10, QImage::Format_RGB32);
    surface.fill(Qt::white);
    QPainter painter(&surface);
    bitmap.Paint(painter, 2, 3);
    painter.end();
    QCOMPARE(surface.pixel(2, 3), 0xffff0000u);
    QCOMPARE(surface.pixel(5, 6), 0xffff0000u);
    QCOMPARE(surface.pixel(6, 6), 0xffffffffu);
    QCOMPARE(surface.pixel(1, 3), 0xffffffffu);
}

QTEST_MAIN(TestSkinStore)
#include "tst_skinstore.moc"
