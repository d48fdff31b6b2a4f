#include "core/text.h"
#include "imaging/pictureinfo.h"
#include "imaging/watermark.h"
#include "imaging/watermarker.h"
#include "imaging/watermarksettings.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <thread>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using namespace Imaging;

namespace {

constexpr QRgb grey = 0xFF0A141Eu; // (10, 20, 30)

QImage filled(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QByteArray le16(int value)
{
    return QByteArray(1, char(value & 0xFF)) + char((value >> 8) & 0xFF);
}

QByteArray le32(qint32 value)
{
    return le16(value & 0xFFFF) + le16((quint32(value) >> 16) & 0xFFFF);
}

QByteArray be16(int value)
{
    return QByteArray(1, char((value >> 8) & 0xFF)) + char(value & 0xFF);
}

QByteArray padded(QByteArray bytes, qsizetype size)
{
    if (bytes.size() < size)
        bytes.append(QByteArray(size - bytes.size(), '\0'));
    return bytes;
}

// A JPEG header as the marker search sees it: an APP0 segment, then the frame.
QByteArray jpegHeader(int width, int height, int frameMarker = 0xC0)
{
    QByteArray bytes("\xFF\xD8\xFF\xE0", 4);
    bytes += be16(16) + QByteArray("JFIF\0", 5) + QByteArray(9, '\x01');
    bytes += QByteArray(1, '\xFF') + char(frameMarker) + be16(17) + char(8) + be16(height) + be16(width);
    bytes += QByteArray(10, '\0');
    return bytes;
}

QByteArray bitmapHeader(qint32 width, qint32 height)
{
    return QByteArray("BM") + QByteArray(12, '\0') + le32(40) + le32(width) + le32(height) +
           QByteArray(28, '\0');
}

// A 24-bit BMP with a header for the size and at most 64 KB of pixel rows.
QByteArray bitmapFile(qint32 width, qint32 height)
{
    QByteArray bytes = bitmapHeader(width, height);
    bytes.replace(2, 4, le32(qint32(std::min<qint64>(54 + qint64(width) * 3 * height, INT_MAX))));
    bytes.replace(10, 4, le32(54));
    bytes.replace(26, 4, QByteArray(le16(1) + le16(24)));
    return padded(bytes, 54 + std::min<qint64>(qint64(width) * 4 * height, 64 * 1024));
}

QByteArray be32(quint32 value)
{
    return be16(int(value >> 16)) + be16(int(value & 0xFFFF));
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

// The PNG signature and a well-formed header chunk (8-bit RGB), nothing more.
QByteArray pngHeader(int width, int height)
{
    const QByteArray chunk = QByteArray("IHDR") + be32(quint32(width)) + be32(quint32(height)) +
                             QByteArray("\x08\x02\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + be32(13) + chunk + be32(crc32(chunk));
}

// A PNG header and the start of its image data.
QByteArray pngStart(int width, int height)
{
    const QByteArray chunk = QByteArray("IDAT") + QByteArray::fromHex("789c6360000000020001");
    return pngHeader(width, height) + be32(10) + chunk + be32(crc32(chunk));
}

QByteArray encoded(const QImage &image, const char *format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return buffer.data();
}

// An icon file of one entry: its directory claims `side` by `side` pixels, its data is the PNG.
QByteArray iconHolding(const QByteArray &png, int side)
{
    return le16(0) + le16(1) + le16(1) + char(side) + char(side) + le16(0) + le16(1) + le16(32) +
           le32(qint32(png.size())) + le32(22) + png;
}

// The first value of the first quantisation table: 16 scaled by the encoder's quality
// (6 at quality 80, 8 at Qt's default of 75).
int firstQuantisationValue(const QByteArray &jpeg)
{
    const qsizetype at = jpeg.indexOf(QByteArray("\xFF\xDB", 2));
    return at < 0 || at + 5 >= jpeg.size() ? -1 : int(uchar(jpeg.at(at + 5)));
}

WatermarkSettings textSettings(const QString &left, const QString &top)
{
    WatermarkSettings settings;
    settings.text = u"水印Ab"_s;
    settings.fontSize = u"16"_s;
    settings.left = left;
    settings.top = top;
    settings.red = u"1"_s;
    settings.green = u"200"_s;
    settings.blue = u"3"_s;
    return settings;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestWatermark : public QObject
{
    Q_OBJECT

private slots:
    void settingsRoundTrip_data();
    void settingsRoundTrip();
    void settingsShortAndOdd_data();
    void settingsShortAndOdd();
    void settingsWriteKeepsTenFields();
    void settingsFileInProgramFolder();
    void numbersOfTheSettings_data();
    void numbersOfTheSettings();

    void textSurface();
    void textPositions_data();
    void textPositions();
    void fitCheck_data();
    void fitCheck();
    void pictureBlend_data();
    void pictureBlend();
    void pictureModeWithoutPicture();
    void cornerBlend_data();
    void cornerBlend();
    void transparentPicturesLieOnWhite();

    void pictureInfo_data();
    void pictureInfo();
    void kilobytes_data();
    void kilobytes();
    void pictureName_data();
    void pictureName();
    void tooLarge_data();
    void tooLarge();
    void tooLargeFile();

    void loadingPictures_data();
    void loadingPictures();
    void saveAsJpeg();
    void saveAsJpegFailureKeepsOldFile();

    void stampOutcomes_data();
    void stampOutcomes();
    void stampDrawsTheWatermark();
    void watermarkerFromProgramFolder();
    void stampFromSeveralThreads();
};

void TestWatermark::settingsRoundTrip_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("pictureMode");
    QTest::addColumn<QString>("picturePath");
    QTest::newRow("defaults") << u"文字水印#Pelmora软件#16#30#255#0#0#50#50#"_s << false << QString();
    QTest::newRow("picture mode") << u"图片水印#店铺#20#40#0#128#255#1#100#C:\\水印\\标志.bmp"_s << true
                                  << u"C:\\水印\\标志.bmp"_s;
    QTest::newRow("values as typed") << u"文字水印##abc#0#300#-1#x#150#1e1#"_s << false << QString();
    QTest::newRow("path with # and ,")
        << u"图片水印#a#16#30#255#0#0#50#50#/tmp/a#b,c.jpg"_s << true << u"/tmp/a#b,c.jpg"_s;
}

void TestWatermark::settingsRoundTrip()
{
    QFETCH(QString, line);
    QFETCH(bool, pictureMode);
    QFETCH(QString, picturePath);
    const QByteArray bytes = Core::encodeAnsi(line) + "\r\n";
    const WatermarkSettings settings = parseWatermarkSettings(bytes);
    QCOMPARE(settings.mode == WatermarkSettings::Mode::Picture, pictureMode);
    QCOMPARE(settings.picturePath, picturePath);
    QCOMPARE(serializeWatermarkSettings(settings), bytes);
}

void TestWatermark::settingsShortAndOdd_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields"); // mode name, then the nine texts

    const QStringList defaults = {u"文字水印"_s, u"Pelmora软件"_s, u"16"_s, u"30"_s, u"255"_s,
                                  u"0"_s,        u"0"_s,           u"50"_s, u"50"_s, QString()};
    const auto with = [&defaults](std::initializer_list<std::pair<int, QString>> changes) {
        QStringList fields = defaults;
        for (const auto &[index, value] : changes)
            fields[index] = value;
        return fields;
    };
    QTest::newRow("empty file") << QByteArray() << defaults;
    QTest::newRow("empty first line") << QByteArray("\r\n图片水印") << defaults;
    QTest::newRow("mode only") << Core::encodeAnsi(u"图片水印"_s) << with({{0, u"图片水印"_s}});
    QTest::newRow("three fields") << Core::encodeAnsi(u"文字水印#小店#20"_s)
                                  << with({{1, u"小店"_s}, {2, u"20"_s}});
    QTest::newRow("any other mode is picture")
        << Core::encodeAnsi(u"text#a#16#30#255#0#0#50#50#"_s) << with({{0, u"图片水印"_s}, {1, u"a"_s}});
    QTest::newRow("empty mode is picture")
        << Core::encodeAnsi(u"#a"_s) << with({{0, u"图片水印"_s}, {1, u"a"_s}});
    QTest::newRow("line feed only, second line ignored")
        << Core::encodeAnsi(u"文字水印#b#12\n图片水印#c"_s) << with({{1, u"b"_s}, {2, u"12"_s}});
    QTest::newRow("no line break") << Core::encodeAnsi(u"文字水印#b#12#1#2#3#4#5#6#p.gif"_s)
                                   << QStringList{u"文字水印"_s, u"b"_s, u"12"_s, u"1"_s, u"2"_s,
                                                  u"3"_s,        u"4"_s, u"5"_s,  u"6"_s, u"p.gif"_s};
}

void TestWatermark::settingsShortAndOdd()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    const WatermarkSettings s = parseWatermarkSettings(bytes);
    const QStringList got = {s.mode == WatermarkSettings::Mode::Text ? u"文字水印"_s : u"图片水印"_s,
                             s.text,
                             s.fontSize,
                             s.transparency,
                             s.red,
                             s.green,
                             s.blue,
                             s.left,
                             s.top,
                             s.picturePath};
    QCOMPARE(got, fields);
}

void TestWatermark::settingsWriteKeepsTenFields()
{
    WatermarkSettings settings;
    settings.text = u"  a\t\"b'c#d  "_s;
    settings.fontSize = u"1#6"_s;
    settings.top = u"5\r\n0"_s;
    settings.picturePath = u"/p/#x.jpg"_s;
    const QByteArray bytes = serializeWatermarkSettings(settings);
    QCOMPARE(bytes, Core::encodeAnsi(u"文字水印#abcd#16#30#255#0#0#50#50#/p/#x.jpg\r\n"_s));
    const WatermarkSettings back = parseWatermarkSettings(bytes);
    QCOMPARE(back.picturePath, settings.picturePath);
    QCOMPARE(back.top, u"50"_s);
}

void TestWatermark::settingsFileInProgramFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(loadWatermarkSettings(dir.path()), WatermarkSettings());

    WatermarkSettings settings;
    settings.mode = WatermarkSettings::Mode::Picture;
    settings.text = u"新店"_s;
    settings.picturePath = dir.filePath(u"logo.gif"_s);
    QString error;
    QVERIFY(saveWatermarkSettings(dir.path(), settings, &error));
    QCOMPARE(readFile(dir.filePath(u"setsy.txt"_s)), serializeWatermarkSettings(settings));
    QCOMPARE(loadWatermarkSettings(dir.path()), settings);

    // A folder that cannot take the file: an error, and nothing written.
    QVERIFY(!saveWatermarkSettings(dir.filePath(u"missing"_s), settings, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath(u"missing/setsy.txt"_s)));
}

void TestWatermark::numbersOfTheSettings_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<double>("fontPoints");
    QTest::addColumn<double>("percent");
    QTest::addColumn<int>("channel");
    QTest::newRow("number") << u"20"_s << 20.0 << 20.0 << 20;
    QTest::newRow("spaces around") << u" 33 "_s << 33.0 << 33.0 << 33;
    QTest::newRow("not a number") << u"abc"_s << 12.0 << 50.0 << 0;
    QTest::newRow("empty") << QString() << 12.0 << 50.0 << 0;
    QTest::newRow("half rounds to even down") << u"126.5"_s << 126.5 << 126.5 << 126;
    QTest::newRow("half rounds to even up") << u"127.5"_s << 127.5 << 127.5 << 128;
    QTest::newRow("too large") << u"1e999"_s << 1500.0 << qInf() << 255;
    QTest::newRow("negative") << u"-5"_s << 1.0 << -5.0 << 0;
}

void TestWatermark::numbersOfTheSettings()
{
    QFETCH(QString, value);
    QFETCH(double, fontPoints);
    QFETCH(double, percent);
    QFETCH(int, channel);
    WatermarkSettings settings;
    settings.fontSize = settings.transparency = settings.left = settings.top = value;
    settings.red = settings.green = settings.blue = value;
    QCOMPARE(settings.fontPoints(), fontPoints);
    QCOMPARE(settings.transparencyPercent(), percent);
    QCOMPARE(settings.leftPercent(), percent);
    QCOMPARE(settings.topPercent(), percent);
    QCOMPARE(settings.colour(), qRgb(channel, channel, channel));
}

void TestWatermark::textSurface()
{
    const QImage empty = renderTextSurface(QString(), 16);
    QCOMPARE(empty.width(), 4);
    QVERIFY(empty.height() > 4 + 10);
    for (int y = 0; y < empty.height(); ++y)
        for (int x = 0; x < empty.width(); ++x)
            QCOMPARE(empty.pixel(x, y) & 0xFFFFFF, 0u);

    const QImage text = renderTextSurface(u"水印Ab"_s, 16);
    QCOMPARE(text.size(), textSurfaceSize(u"水印Ab"_s, 16));
    QCOMPARE(text.height(), empty.height());
    int whitePixels = 0;
    for (int y = 0; y < text.height(); ++y) {
        for (int x = 0; x < text.width(); ++x) {
            const QRgb pixel = text.pixel(x, y) & 0xFFFFFF;
            QVERIFY2(pixel == 0 || pixel == 0xFFFFFF, "letters are drawn without smoothing");
            whitePixels += pixel == 0xFFFFFF;
        }
    }
    // Three Chinese-sized letters at 16 points (21 pixels) leave plenty of ink; boxes for
    // missing glyphs would too, but a missing font would leave the surface narrow.
    QVERIFY(whitePixels > 150);
    QVERIFY(text.width() > 4 + 2 * 18);
    // The bold text is larger at a larger size.
    QVERIFY(textSurfaceSize(u"水印Ab"_s, 32).width() > text.width());
}

void TestWatermark::textPositions_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("top");
    QTest::addColumn<int>("roomX");
    QTest::addColumn<int>("roomY");
    QTest::addColumn<int>("x0");
    QTest::addColumn<int>("y0");
    QTest::newRow("1 per cent starts at the first pixels") << u"1"_s << u"1"_s << 10 << 7 << 0 << 0;
    QTest::newRow("50 per cent is centred") << u"50"_s << u"50"_s << 10 << 8 << 5 << 4;
    QTest::newRow("halves to even") << u"50"_s << u"50"_s << 5 << 7 << 2 << 4;
    QTest::newRow("100 per cent touches right and bottom") << u"100"_s << u"100"_s << 10 << 7 << 10 << 7;
    QTest::newRow("not a number is 50") << u"x"_s << QString() << 6 << 6 << 3 << 3;
    QTest::newRow("fraction") << u"33.3"_s << u"70"_s << 30 << 15 << 10 << 10;
    QTest::newRow("beyond the right edge is cut") << u"150"_s << u"50"_s << 10 << 4 << 15 << 2;
    QTest::newRow("before the left edge is cut") << u"-50"_s << u"0"_s << 10 << 4 << -5 << 0;
    QTest::newRow("far outside draws nothing") << u"1e300"_s << u"-1e300"_s << 10 << 4 << 0 << 0;
}

void TestWatermark::textPositions()
{
    QFETCH(QString, left);
    QFETCH(QString, top);
    QFETCH(int, roomX);
    QFETCH(int, roomY);
    QFETCH(int, x0);
    QFETCH(int, y0);
    const WatermarkSettings settings = textSettings(left, top);
    const QImage text = renderTextSurface(settings.text, settings.fontPoints());
    QVERIFY(!text.isNull());
    QImage surface = filled(text.width() + roomX, text.height() + roomY, grey);
    QVERIFY(DrawWatermark(surface, settings, QImage()));

    const bool outside = QByteArray(QTest::currentDataTag()) == "far outside draws nothing";
    int inked = 0;
    for (int y = 0; y < surface.height(); ++y) {
        for (int x = 0; x < surface.width(); ++x) {
            const int c = x - x0;
            const int r = y - y0;
            const bool ink = !outside && c >= 0 && r >= 0 && c < text.width() && r < text.height() &&
                             (text.pixel(c, r) & 0xFFFFFF) == 0xFFFFFF;
            QCOMPARE(surface.pixel(x, y), ink ? qRgb(1, 200, 3) : grey);
            inked += ink;
        }
    }
    QCOMPARE(inked > 0, !outside);
}

void TestWatermark::fitCheck_data()
{
    QTest::addColumn<bool>("pictureMode");
    QTest::addColumn<int>("extraWidth"); // surface size beyond the text surface
    QTest::addColumn<int>("extraHeight");
    QTest::addColumn<QSize>("pictureSize"); // relative to the surface: 0 = as large, -1 = one smaller
    QTest::addColumn<bool>("drawn");
    QTest::newRow("one pixel larger fits") << false << 1 << 1 << QSize(-1, -1) << true;
    QTest::newRow("as wide as the text") << false << 0 << 5 << QSize(-10, -10) << false;
    QTest::newRow("as tall as the text") << false << 5 << 0 << QSize(-10, -10) << false;
    QTest::newRow("picture as wide stops text") << false << 5 << 5 << QSize(0, -1) << false;
    QTest::newRow("picture as tall stops text") << false << 5 << 5 << QSize(-1, 0) << false;
    QTest::newRow("picture fits") << true << 5 << 5 << QSize(-1, -1) << true;
    QTest::newRow("picture as wide") << true << 5 << 5 << QSize(0, -1) << false;
    QTest::newRow("text too wide stops picture") << true << 0 << 5 << QSize(-20, -10) << false;
}

void TestWatermark::fitCheck()
{
    QFETCH(bool, pictureMode);
    QFETCH(int, extraWidth);
    QFETCH(int, extraHeight);
    QFETCH(QSize, pictureSize);
    QFETCH(bool, drawn);
    WatermarkSettings settings = textSettings(u"50"_s, u"50"_s);
    settings.mode = pictureMode ? WatermarkSettings::Mode::Picture : WatermarkSettings::Mode::Text;
    const QSize textSize = textSurfaceSize(settings.text, settings.fontPoints());
    const QImage original = filled(textSize.width() + extraWidth, textSize.height() + extraHeight, grey);
    const QImage picture = filled(original.width() + pictureSize.width(),
                                  original.height() + pictureSize.height(), qRgb(250, 250, 250));
    QImage surface = original;
    QCOMPARE(DrawWatermark(surface, settings, picture), drawn);
    QCOMPARE(surface != original, drawn);
}

void TestWatermark::pictureBlend_data()
{
    QTest::addColumn<QString>("transparency");
    QTest::addColumn<QRgb>("expected");
    // Watermark (255, 5, 0) over (0, 0, 255): p − (p − m) × α / 100, halves to even.
    QTest::newRow("0 shows the watermark") << u"0"_s << qRgb(255, 5, 0);
    QTest::newRow("30 keeps 70 per cent") << u"30"_s << qRgb(178, 4, 76);
    QTest::newRow("50") << u"50"_s << qRgb(128, 2, 128);
    QTest::newRow("100 leaves the picture") << u"100"_s << qRgb(0, 0, 255);
    QTest::newRow("not a number is 50") << u"half"_s << qRgb(128, 2, 128);
    QTest::newRow("beyond 100 stays in range") << u"200"_s << qRgb(0, 0, 255);
    QTest::newRow("below 0 stays in range") << u"-100"_s << qRgb(255, 10, 0);
}

void TestWatermark::pictureBlend()
{
    QFETCH(QString, transparency);
    QFETCH(QRgb, expected);
    WatermarkSettings settings;
    settings.mode = WatermarkSettings::Mode::Picture;
    settings.text = u"a"_s;
    settings.fontSize = u"12"_s;
    settings.transparency = transparency;
    const QSize textSize = textSurfaceSize(settings.text, settings.fontPoints());
    const QImage watermark = filled(4, 3, qRgb(255, 5, 0));
    const int width = std::max(textSize.width() + 1, 14);
    const int height = std::max(textSize.height() + 1, 13);
    QImage surface = filled(width, height, qRgb(0, 0, 255));
    QVERIFY(DrawWatermark(surface, settings, watermark));
    const int x0 = int(watermarkOffset(width - 4, 50));
    const int y0 = int(watermarkOffset(height - 3, 50));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool covered = x >= x0 && x < x0 + 4 && y >= y0 && y < y0 + 3;
            QCOMPARE(surface.pixel(x, y), covered ? expected : qRgb(0, 0, 255));
        }
    }
}

void TestWatermark::pictureModeWithoutPicture()
{
    WatermarkSettings settings;
    settings.mode = WatermarkSettings::Mode::Picture;
    const QImage original = filled(300, 200, grey);
    QImage surface = original;
    QVERIFY(!DrawWatermark(surface, settings, QImage()));
    QCOMPARE(surface, original);
}

void TestWatermark::cornerBlend_data()
{
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QRect>("covered");
    QTest::newRow("20 pixels from right and bottom") << QSize(10, 6) << QRect(70, 54, 10, 6);
    QTest::newRow("larger than the surface is cut") << QSize(130, 90) << QRect(0, 0, 80, 60);
}

void TestWatermark::cornerBlend()
{
    QFETCH(QSize, pictureSize);
    QFETCH(QRect, covered);
    QImage surface = filled(100, 80, qRgb(100, 100, 100));
    BlendCornerPicture(surface, filled(pictureSize.width(), pictureSize.height(), qRgb(201, 0, 50)));
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x)
            QCOMPARE(surface.pixel(x, y), covered.contains(x, y) ? qRgb(150, 50, 75) : qRgb(100, 100, 100));
}

void TestWatermark::transparentPicturesLieOnWhite()
{
    QImage picture(3, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgba(0, 0, 0, 0));
    picture.setPixel(1, 0, qRgba(10, 20, 30, 255));
    picture.setPixel(2, 0, qRgba(255, 0, 0, 128));
    const QImage surface = drawingSurface(picture);
    QCOMPARE(surface.format(), QImage::Format_RGB32);
    QCOMPARE(surface.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(surface.pixel(1, 0), qRgb(10, 20, 30));
    QCOMPARE(surface.pixel(2, 0), qRgb(255, 127, 127));
}

void TestWatermark::pictureInfo_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("info");

    QTest::newRow("bmp") << padded(bitmapHeader(300, 200), 2048) << u" 300 × 200 (2. KB)"_s;
    QTest::newRow("bmp stored top down") << padded(bitmapHeader(300, -200), 2048) << u" 300 × 200 (2. KB)"_s;
    QTest::newRow("bmp with the old 12-byte header")
        << padded(QByteArray("BM") + QByteArray(12, '\0') + le32(12) + le16(640) + le16(480), 2048)
        << u" 640 × 480 (2. KB)"_s;
    QTest::newRow("gif") << padded(QByteArray("GIF89a") + le16(1001) + le16(7), 1536)
                         << u" 1001 × 7 (1.5 KB)"_s;
    QTest::newRow("jpeg") << padded(jpegHeader(640, 480), 1024) << u" 640 × 480 (1. KB)"_s;
    QTest::newRow("jpeg progressive") << padded(jpegHeader(12, 34, 0xC2), 1024) << u" 12 × 34 (1. KB)"_s;
    {
        // Fill bytes before a marker, and a table segment (0xC4) that is no frame.
        QByteArray bytes("\xFF\xD8\xFF\xFF\xFF\xC4", 6);
        bytes += be16(5) + QByteArray("\xFF\xC0\xFF", 3);
        bytes += QByteArray("\xFF\xC1", 2) + be16(17) + char(8) + be16(1200) + be16(900);
        QTest::newRow("jpeg fill bytes and tables") << padded(bytes, 1024) << u" 900 × 1200 (1. KB)"_s;
    }
    QTest::newRow("jpeg without a frame")
        << padded(QByteArray("\xFF\xD8\xFF\xE0\x00\x04\x00\x00", 8), 1024) << u" 0 × 0 (1. KB)"_s;
    QTest::newRow("jpeg cut inside the frame")
        << (QByteArray("\xFF\xD8\xFF\xC0\x00\x11\x08\x01", 8)) << u" 0 × 256 (.01 KB)"_s;
    QTest::newRow("jpeg segment length past the end")
        << QByteArray("\xFF\xD8\xFF\xE1\xFF\xF0\x01\x02", 8) << u" 0 × 0 (.01 KB)"_s;
    QTest::newRow("png") << padded(pngHeader(1001, 20), 1024) << u" 1001 × 20 (1. KB)"_s;
    QTest::newRow("icon") << padded(QByteArray("\x00\x00\x01\x00\x01\x00\x20\x10", 8), 1024)
                          << u" 32 × 16 (1. KB)"_s;
    {
        QByteArray bytes = padded(QByteArray("\xD7\xCD\xC6\x9A", 4), 312);
        bytes += le16(480) + le16(640);
        QTest::newRow("placeable metafile") << padded(bytes, 1024) << u" 640 × 480 (1. KB)"_s;
    }
    QTest::newRow("metafile cut short") << QByteArray("\xD7\xCD\xC6\x9A", 4) << u" 0 × 0 (. KB)"_s;
    QTest::newRow("anything else") << padded(QByteArray("<html>"), 2048) << u" 0 × 0 (2. KB)"_s;
    QTest::newRow("empty") << QByteArray() << u" 0 × 0 (. KB)"_s;
}

void TestWatermark::pictureInfo()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, info);
    QCOMPARE(PictureInfo(header), info);
}

void TestWatermark::kilobytes_data()
{
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<QString>("info");
    QTest::newRow("nothing") << qint64(0) << u" 0 × 0 (. KB)"_s;
    QTest::newRow("whole keeps its point") << qint64(1024) << u" 0 × 0 (1. KB)"_s;
    QTest::newRow("one decimal") << qint64(1536) << u" 0 × 0 (1.5 KB)"_s;
    QTest::newRow("no leading zero") << qint64(512) << u" 0 × 0 (.5 KB)"_s;
    QTest::newRow("half rounds up") << qint64(128) << u" 0 × 0 (.13 KB)"_s;
    QTest::newRow("small fraction") << qint64(12 * 1024 + 10) << u" 0 × 0 (12.01 KB)"_s;
    QTest::newRow("more than five digits") << qint64(123456789) << u" 0 × 0 (120563.27 KB)"_s;
}

void TestWatermark::kilobytes()
{
    QFETCH(qint64, fileSize);
    QFETCH(QString, info);
    // Wrong size figures are wrong whatever the picture, so a plain header will do.
    QCOMPARE(PictureInfo(QByteArray("x"), fileSize), info);
}

void TestWatermark::pictureName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("picture");
    QTest::newRow("jpg") << u"/a/b.jpg"_s << true;
    QTest::newRow("upper case JPG") << u"C:\\a\\B.JPG"_s << true;
    QTest::newRow("jpeg") << u"b.jpeg"_s << true;
    QTest::newRow("JPEG") << u"b.JPEG"_s << true;
    QTest::newRow("png") << u"b.Png"_s << true;
    QTest::newRow("gif") << u"b.GIF"_s << true;
    QTest::newRow("bmp") << u"b.bmp"_s << true;
    QTest::newRow("icon") << u"b.ICO"_s << false;
    QTest::newRow("no dot") << u"bjpg"_s << false;
    QTest::newRow("extension in the middle") << u"b.jpg.txt"_s << false;
    QTest::newRow("no extension") << u"ABCDEF"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void TestWatermark::pictureName()
{
    QFETCH(QString, path);
    QFETCH(bool, picture);
    QCOMPARE(IsPictureName(path), picture);
}

void TestWatermark::tooLarge_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("tooLarge");
    QTest::newRow("1000 by 1000") << u"a.jpg"_s << jpegHeader(1000, 1000) << false;
    QTest::newRow("1001 wide") << u"a.jpg"_s << jpegHeader(1001, 10) << true;
    QTest::newRow("1001 tall") << u"a.jpg"_s << jpegHeader(10, 1001) << true;
    QTest::newRow("upper-case name is guarded too") << u"D:\\p\\A1B2.JPG"_s << jpegHeader(1001, 10) << true;
    QTest::newRow("png") << u"A.PNG"_s << pngHeader(10, 1001) << true;
    QTest::newRow("gif") << u"A.GIF"_s << padded(QByteArray("GIF89a") + le16(1500) + le16(7), 64) << true;
    QTest::newRow("bmp") << u"A.BMP"_s << bitmapHeader(300, 200) << false;
    QTest::newRow("name not a picture") << u"A.ICO"_s << jpegHeader(1001, 10) << false;
    QTest::newRow("no extension") << u"A"_s << jpegHeader(5000, 5000) << false;
    QTest::newRow("1000 KB") << u"a.jpg"_s << padded(jpegHeader(10, 10), 1000 * 1024) << false;
    QTest::newRow("1001 KB") << u"a.jpg"_s << padded(jpegHeader(10, 10), 1001 * 1024) << true;
    QTest::newRow("large file of unknown kind") << u"a.jpg"_s << padded("<html>", 1001 * 1024) << true;
    QTest::newRow("empty") << u"a.jpg"_s << QByteArray() << false;
}

void TestWatermark::tooLarge()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, tooLarge);
    QCOMPARE(TooLargeForWatermark(name, bytes), tooLarge);
}

void TestWatermark::tooLargeFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString wide = dir.filePath(u"W.BMP"_s);
    const QString small = dir.filePath(u"s.bmp"_s);
    QVERIFY(writeFile(wide, bitmapHeader(1001, 1)));
    QVERIFY(writeFile(small, bitmapHeader(1000, 1000)));
    QVERIFY(TooLargeForWatermark(wide));
    QVERIFY(!TooLargeForWatermark(small));
    QCOMPARE(PictureInfo(wide), u" 1001 × 1 (.05 KB)"_s);
    QVERIFY(!TooLargeForWatermark(dir.filePath(u"missing.jpg"_s)));
    QCOMPARE(PictureInfo(dir.filePath(u"missing.jpg"_s)), QString());
}

void TestWatermark::loadingPictures_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("overAllocationLimit");
    const QImage picture = filled(7, 5, qRgb(10, 200, 30));
    QTest::newRow("jpeg") << encoded(picture, "jpeg") << QSize(7, 5) << false;
    QTest::newRow("png") << encoded(picture, "png") << QSize(7, 5) << false;
    QTest::newRow("bmp") << encoded(picture, "bmp") << QSize(7, 5) << false;
    QTest::newRow("gif") << QByteArray::fromBase64(
                                "R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==")
                         << QSize(1, 1) << false;
    QTest::newRow("not a picture") << QByteArray("<html>not a picture</html>") << QSize() << false;
    QTest::newRow("svg is not decoded")
        << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'/>") << QSize() << false;
    QTest::newRow("bmp made by hand") << bitmapFile(100, 100) << QSize(100, 100) << false;
    QTest::newRow("bmp cut short") << bitmapFile(1000, 1000) << QSize(1000, 1000) << false;
    // Headers claiming more than 128 MB of pixels: Qt's allocation limit refuses them.
    QTest::newRow("huge bmp") << bitmapFile(9000, 9000) << QSize() << true;
    QTest::newRow("huge png") << pngStart(30000, 30000) << QSize() << true;
    QTest::newRow("cut-off jpeg") << encoded(picture, "jpeg").left(20) << QSize() << false;
}

void TestWatermark::loadingPictures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(bool, overAllocationLimit);
    if (overAllocationLimit)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"exceeds the current allocation limit"_s));
    const QImage picture = loadPicture(bytes);
    QCOMPARE(picture.isNull() ? QSize() : picture.size(), size);
}

void TestWatermark::saveAsJpeg()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"c.jpg"_s);
    QVERIFY(writeFile(path, QByteArray("an older file")));
    QImage picture = filled(40, 30, qRgb(200, 100, 50));
    QVERIFY(SaveAsJpeg(picture, path, 80));

    const QByteArray bytes = readFile(path);
    QVERIFY(bytes.startsWith("\xFF\xD8\xFF"));
    QCOMPARE(firstQuantisationValue(bytes), 6);
    QCOMPARE(firstQuantisationValue(encodeJpeg(picture, 80)), 6);
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.read().size(), QSize(40, 30));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"c.jpg"_s});
}

void TestWatermark::saveAsJpegFailureKeepsOldFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"c.jpg"_s);
    QVERIFY(writeFile(path, QByteArray("keep me")));
    QVERIFY(!SaveAsJpeg(QImage(), path, 80));
    QCOMPARE(readFile(path), QByteArray("keep me"));
    QVERIFY(!SaveAsJpeg(filled(4, 4, grey), dir.filePath(u"no/such/folder/c.jpg"_s), 80));
    QVERIFY(encodeJpeg(QImage(), 80).isEmpty());
}

void TestWatermark::stampOutcomes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QSize>("size");
    const auto stamped = int(Watermarker::Outcome::Stamped);
    const auto tooLarge = int(Watermarker::Outcome::TooLarge);
    const auto notAPicture = int(Watermarker::Outcome::NotAPicture);
    const auto notDrawn = int(Watermarker::Outcome::NotDrawn);
    const QImage small = filled(300, 200, grey);
    QTest::newRow("jpeg") << u"A.JPG"_s << encoded(small, "jpeg") << stamped << QSize(300, 200);
    QTest::newRow("1000 by 1000") << u"A.JPG"_s << encoded(filled(1000, 1000, grey), "jpeg") << stamped
                                  << QSize(1000, 1000);
    QTest::newRow("png loads and is stamped")
        << u"A.PNG"_s << encoded(small, "png") << stamped << QSize(300, 200);
    QTest::newRow("bmp under a jpg name")
        << u"A.JPG"_s << encoded(small, "bmp") << stamped << QSize(300, 200);
    QTest::newRow("too small to take the mark is re-encoded, unstamped")
        << u"A.GIF"_s << encoded(filled(20, 10, grey), "png") << notDrawn << QSize(20, 10);
    QTest::newRow("1001 wide") << u"A.JPG"_s << encoded(filled(1001, 10, grey), "jpeg") << tooLarge
                               << QSize();
    QTest::newRow("1001 wide, lower case")
        << u"a.jpg"_s << encoded(filled(1001, 10, grey), "jpeg") << tooLarge << QSize();
    // A worst case of the fuzz target: an icon's directory says 16 by 16, the picture inside is
    // 1500 wide. The header check let it through; 2 KB made the export stamp 16 million pixels.
    QTest::newRow("icon larger than its directory says")
        << u"A.ICO"_s << iconHolding(encoded(filled(1500, 10, grey), "png"), 16) << tooLarge << QSize();
    QTest::newRow("icon as its directory says")
        << u"A.ICO"_s << iconHolding(encoded(filled(40, 30, grey), "png"), 40) << notDrawn << QSize(40, 30);
    QTest::newRow("not a picture") << u"A.JPG"_s << QByteArray("<html>") << notAPicture << QSize();
    QTest::newRow("empty") << u"A.JPG"_s << QByteArray() << notAPicture << QSize();
}

void TestWatermark::stampOutcomes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, outcome);
    QFETCH(QSize, size);
    const Watermarker watermarker{WatermarkSettings(), QImage()};
    QVERIFY(watermarker.isUsable());
    QByteArray jpeg = "stale";
    QCOMPARE(int(watermarker.stamp(bytes, name, &jpeg)), outcome);
    if (!size.isValid()) {
        QVERIFY(jpeg.isEmpty());
        return;
    }
    QVERIFY(jpeg.startsWith("\xFF\xD8\xFF"));
    QCOMPARE(firstQuantisationValue(jpeg), 6);
    QBuffer buffer(&jpeg);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.read().size(), size);
}

void TestWatermark::stampDrawsTheWatermark()
{
    WatermarkSettings settings;
    settings.fontSize = u"40"_s;
    const Watermarker watermarker{settings, QImage()};
    QByteArray jpeg;
    QCOMPARE(watermarker.stamp(encoded(filled(400, 300, qRgb(255, 255, 255)), "png"), u"a.png"_s, &jpeg),
             Watermarker::Outcome::Stamped);
    const QImage stamped = loadPicture(jpeg);
    // The centre row through the red text: strongly red pixels, and white away from it.
    int red = 0;
    for (int x = 0; x < stamped.width(); ++x) {
        const QRgb pixel = stamped.pixel(x, 150);
        red += qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80;
    }
    QVERIFY(red > 10);
    QVERIFY(qGreen(stamped.pixel(5, 5)) > 240);
}

void TestWatermark::watermarkerFromProgramFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString error = u"stale"_s;
    Watermarker none = Watermarker::fromProgramFolder(dir.path(), &error);
    QVERIFY(none.isUsable());
    QVERIFY(error.isEmpty());
    QCOMPARE(none.settings(), WatermarkSettings());
    QVERIFY(none.watermarkPicture().isNull());

    QVERIFY(writeFile(dir.filePath(u"sy_pic2.jpg"_s), encoded(filled(8, 6, grey), "jpeg")));
    const QString chosen = dir.filePath(u"mark.BMP"_s);
    QVERIFY(writeFile(chosen, encoded(filled(5, 3, grey), "bmp")));

    WatermarkSettings settings;
    settings.mode = WatermarkSettings::Mode::Picture;
    settings.picturePath = chosen;
    QVERIFY(saveWatermarkSettings(dir.path(), settings));
    QCOMPARE(Watermarker::fromProgramFolder(dir.path(), &error).watermarkPicture().size(), QSize(5, 3));

    // A chosen picture that is gone, or one without a picture extension, gives way to sy_pic2.jpg.
    QVERIFY(writeFile(dir.filePath(u"mark.png"_s), encoded(filled(5, 3, grey), "png")));
    for (const QString &path : {dir.filePath(u"gone.jpg"_s), dir.filePath(u"mark.png"_s)}) {
        settings.picturePath = path;
        QVERIFY(saveWatermarkSettings(dir.path(), settings));
        const Watermarker fallback = Watermarker::fromProgramFolder(dir.path(), &error);
        QCOMPARE(fallback.settings().picturePath, path);
        QCOMPARE(fallback.watermarkPicture().size(), QSize(8, 6));
    }
}

void TestWatermark::stampFromSeveralThreads()
{
    WatermarkSettings settings;
    settings.text = u"并发水印"_s;
    const Watermarker text{settings, QImage()};
    settings.mode = WatermarkSettings::Mode::Picture;
    const Watermarker picture{settings, filled(30, 20, qRgb(0, 0, 255))};

    QList<QByteArray> inputs;
    for (int i = 0; i < 6; ++i)
        inputs.append(encoded(filled(200 + 20 * i, 150, qRgb(20 * i, 100, 200)), i % 2 ? "png" : "jpeg"));
    QList<QByteArray> expected;
    for (const Watermarker *w : {&text, &picture}) {
        for (const QByteArray &input : inputs) {
            QByteArray out;
            QCOMPARE(w->stamp(input, u"x.jpg"_s, &out), Watermarker::Outcome::Stamped);
            expected.append(out);
        }
    }

    constexpr int threadCount = 4;
    std::vector<QList<QByteArray>> results(threadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                QList<QByteArray> got;
                for (const Watermarker *w : {&text, &picture}) {
                    for (const QByteArray &input : inputs) {
                        QByteArray out;
                        w->stamp(input, u"x.jpg"_s, &out);
                        got.append(out);
                    }
                }
                results[t] = got;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (const QList<QByteArray> &result : results)
        QVERIFY(result == expected);
}

QTEST_MAIN(TestWatermark)
#include "tst_watermark.moc"
