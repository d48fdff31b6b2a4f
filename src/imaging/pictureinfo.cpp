#include "pictureinfo.h"

#include "core/text.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace Imaging {

namespace {

constexpr int largestSide = 1000;
constexpr int largestKilobytes = 1000;
// The JPEG search may have to pass a large metadata segment, but the header never
// needs more than this much of a file.
constexpr qint64 headerReadLimit = 16 * 1024 * 1024;

// A byte past the end reads as 0, as a read beyond the end of a file does.
int byteAt(const QByteArray &bytes, qsizetype at)
{
    return at >= 0 && at < bytes.size() ? int(uchar(bytes.at(at))) : 0;
}

int word16Le(const QByteArray &bytes, qsizetype at)
{
    return byteAt(bytes, at) | byteAt(bytes, at + 1) << 8;
}

int word16Be(const QByteArray &bytes, qsizetype at)
{
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

qint64 int32Le(const QByteArray &bytes, qsizetype at)
{
    const quint32 value = quint32(byteAt(bytes, at)) | quint32(byteAt(bytes, at + 1)) << 8 |
                          quint32(byteAt(bytes, at + 2)) << 16 | quint32(byteAt(bytes, at + 3)) << 24;
    return qint32(value);
}

qint64 uint32Be(const QByteArray &bytes, qsizetype at)
{
    return qint64(quint32(byteAt(bytes, at)) << 24 | quint32(byteAt(bytes, at + 1)) << 16 |
                  quint32(byteAt(bytes, at + 2)) << 8 | quint32(byteAt(bytes, at + 3)));
}

int side(qint64 value)
{
    return int(std::min<qint64>(std::abs(value), INT_MAX));
}

bool startsWith(const QByteArray &bytes, std::initializer_list<int> prefix)
{
    qsizetype at = 0;
    for (const int expected : prefix) {
        if (at >= bytes.size() || byteAt(bytes, at) != expected)
            return false;
        ++at;
    }
    return true;
}

QSize bitmapSize(const QByteArray &bytes)
{
    // The old OS/2 header (12 bytes) holds 16-bit sizes; every later one 32-bit sizes, and a
    // negative height only means the rows are stored top down.
    if (int32Le(bytes, 14) == 12)
        return {word16Le(bytes, 18), word16Le(bytes, 20)};
    return {side(int32Le(bytes, 18)), side(int32Le(bytes, 22))};
}

QSize jpegSize(const QByteArray &bytes)
{
    qsizetype at = 2;
    while (at + 1 < bytes.size()) {
        if (byteAt(bytes, at) != 0xFF || byteAt(bytes, at + 1) == 0xFF) {
            ++at;
            continue;
        }
        const qsizetype marker = at + 1;
        const int code = byteAt(bytes, marker);
        if (code >= 0xC0 && code <= 0xC3)
            return {word16Be(bytes, marker + 6), word16Be(bytes, marker + 4)};
        // The segment length counts its own two bytes, so the next marker stands right after it.
        at = marker + word16Be(bytes, marker + 1) + 1;
    }
    return {0, 0};
}

// "#####.##" of size / 1024: the kilobytes rounded to hundredths (halves up), a point
// always, and neither leading nor trailing zeros.
QString kilobytesText(qint64 fileSize)
{
    const qint64 hundredths = (std::max<qint64>(fileSize, 0) * 100 + 512) / 1024;
    const qint64 whole = hundredths / 100;
    const int fraction = int(hundredths % 100);
    QString text = whole == 0 ? QString() : QString::number(whole);
    text += u'.';
    if (fraction != 0) {
        text += QString::number(fraction / 10);
        if (fraction % 10 != 0)
            text += QString::number(fraction % 10);
    }
    return text;
}

// A number as the program's number-to-text conversion writes it: one space for the sign of
// a positive number.
QString signedNumber(int value)
{
    return value < 0 ? QString::number(value) : u' ' + QString::number(value);
}

bool aboveLimit(const QString &text, int limit)
{
    return Core::isNumeric(text) && Core::trimSpaces(text).toDouble() > limit;
}

} // namespace

QSize pictureHeaderSize(const QByteArray &bytes)
{
    if (startsWith(bytes, {'B', 'M'}))
        return bitmapSize(bytes);
    if (startsWith(bytes, {'G', 'I', 'F'}))
        return {word16Le(bytes, 6), word16Le(bytes, 8)};
    if (startsWith(bytes, {0xFF, 0xD8, 0xFF}))
        return jpegSize(bytes);
    if (startsWith(bytes, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        return {side(uint32Be(bytes, 16)), side(uint32Be(bytes, 20))};
    if (startsWith(bytes, {0, 0, 1}))
        return {byteAt(bytes, 6), byteAt(bytes, 7)};
    if (startsWith(bytes, {0xD7, 0xCD, 0xC6}))
        return {word16Le(bytes, 314), word16Le(bytes, 312)};
    return {0, 0};
}

QString PictureInfo(const QByteArray &bytes, qint64 fileSize)
{
    const QSize size = pictureHeaderSize(bytes);
    return signedNumber(size.width()) + u" ×"_s + signedNumber(size.height()) + u" ("_s +
           kilobytesText(fileSize) + u" KB)"_s;
}

QString PictureInfo(const QByteArray &bytes)
{
    return PictureInfo(bytes, bytes.size());
}

QString PictureInfo(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    const qint64 fileSize = file.size();
    return PictureInfo(file.read(headerReadLimit), fileSize);
}

bool IsPictureName(const QString &path)
{
    const QString ending = path.right(4).toLower();
    for (const QString &known : {u".png"_s, u".jpg"_s, u".gif"_s, u"jpeg"_s, u".bmp"_s}) {
        if (ending.contains(known))
            return true;
    }
    return false;
}

namespace {

bool tooLargeByInfo(const QString &info)
{
    if (Core::isBlank(info))
        return false;
    const qsizetype times = info.indexOf(u'×');
    const qsizetype open = info.indexOf(u'(', times + 1);
    const qsizetype close = info.indexOf(u')', open + 1);
    if (times < 0 || open < 0 || close < 0)
        return false;
    const QString width = info.left(times);
    const QString height = info.mid(times + 1, open - times - 1);
    const QString kilobytes = info.mid(open + 1, close - open - 1).remove(u"KB"_s);
    return aboveLimit(width, largestSide) || aboveLimit(height, largestSide) ||
           aboveLimit(kilobytes, largestKilobytes);
}

} // namespace

bool TooLargeForWatermark(const QString &fileName, const QByteArray &bytes)
{
    return IsPictureName(fileName) && tooLargeByInfo(PictureInfo(bytes));
}

bool TooLargeForWatermark(const QString &path)
{
    return IsPictureName(path) && tooLargeByInfo(PictureInfo(path));
}

bool isTooLargeToStamp(const QSize &decodedSize)
{
    return decodedSize.width() > largestSide || decodedSize.height() > largestSide;
}

} // namespace Imaging
