#include "picturefactory.h"

#include <QBuffer>
#include <QtEndian>

#include <algorithm>
#include <array>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

class Random
{
public:
    explicit Random(quint32 seed) : m_state(seed * 2654435761U + 0x6D2B79F5U) {}
    quint32 next()
    {
        // xorshift32: the grain only has to look irregular, not be good randomness.
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }

private:
    quint32 m_state;
};

int clampByte(int value)
{
    return std::clamp(value, 0, 255);
}

void appendLe16(QByteArray &out, quint16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

void appendLe32(QByteArray &out, quint32 value)
{
    appendLe16(out, quint16(value & 0xFFFF));
    appendLe16(out, quint16(value >> 16));
}

// Packs variable-width LZW codes least significant bit first, as GIF stores them.
class BitWriter
{
public:
    void write(quint32 code, int bits)
    {
        m_accumulator |= code << m_count;
        m_count += bits;
        while (m_count >= 8) {
            m_bytes.append(char(m_accumulator & 0xFF));
            m_accumulator >>= 8;
            m_count -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_count > 0)
            m_bytes.append(char(m_accumulator & 0xFF));
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint32 m_accumulator = 0;
    int m_count = 0;
};

} // namespace

std::optional<PictureFactory::Format> PictureFactory::formatFromName(QStringView name)
{
    if (name == u"jpg" || name == u"jpeg")
        return Format::Jpeg;
    if (name == u"png")
        return Format::Png;
    if (name == u"bmp")
        return Format::Bmp;
    if (name == u"gif")
        return Format::Gif;
    if (name == u"ico")
        return Format::Ico;
    return std::nullopt;
}

QByteArray PictureFactory::contentType(Format format)
{
    switch (format) {
    case Format::Jpeg:
        return QByteArrayLiteral("image/jpeg");
    case Format::Png:
        return QByteArrayLiteral("image/png");
    case Format::Bmp:
        return QByteArrayLiteral("image/bmp");
    case Format::Gif:
        return QByteArrayLiteral("image/gif");
    case Format::Ico:
        return QByteArrayLiteral("image/x-icon");
    }
    return QByteArrayLiteral("application/octet-stream");
}

QByteArray PictureFactory::garbage(Format format, quint32 seed)
{
    QByteArray bytes =
        format == Format::Png ? QByteArray("\x89PNG\r\n\x1a\n", 8) : QByteArray("\xFF\xD8\xFF\xE0", 4);
    // Every byte is 0x80 to 0xFE: never 0xFF, so a JPEG reader finds no further marker, and
    // never ASCII, so no PNG chunk type (IHDR or any other) can appear; the lengths read
    // from it are far beyond the data as well.
    Random random(seed);
    for (int i = 0; i < GarbageSize; ++i)
        bytes.append(char(0x80 + random.next() % 0x7F));
    return bytes;
}

QImage PictureFactory::makeImage(int width, int height, quint32 seed, int grain)
{
    Random random(seed);
    const auto colour = [&random]() {
        return std::array<int, 3>{int(random.next() % 256), int(random.next() % 256),
                                  int(random.next() % 256)};
    };
    const auto from = colour();
    const auto to = colour();
    const auto disc = colour();
    const auto band = colour();
    const int cx = int(random.next() % quint32(width));
    const int cy = int(random.next() % quint32(height));
    const int radius = std::max(4, int(random.next() % quint32(std::max(8, std::min(width, height) / 2))));
    const int bandTop = int(random.next() % quint32(height));
    const int bandHeight = std::max(2, height / 8);
    const int span = std::max(1, width + height - 2);

    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int t = (x + y) * 256 / span;
            std::array<int, 3> rgb;
            for (int c = 0; c < 3; ++c)
                rgb[c] = from[c] + (to[c] - from[c]) * t / 256;
            const int dx = x - cx;
            const int dy = y - cy;
            if (dx * dx + dy * dy < radius * radius)
                rgb = disc;
            else if (y >= bandTop && y < bandTop + bandHeight && (x / 16) % 2 == 0)
                rgb = band;
            const int noise = grain > 0 ? int(random.next() % quint32(2 * grain + 1)) - grain : 0;
            line[x] = qRgb(clampByte(rgb[0] + noise), clampByte(rgb[1] + noise), clampByte(rgb[2] + noise));
        }
    }
    return image;
}

QByteArray PictureFactory::encode(const QImage &image, Format format, int jpegQuality)
{
    if (format == Format::Gif)
        return gif(image);
    if (format == Format::Ico)
        return ico(image);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const char *name = format == Format::Jpeg ? "JPG" : format == Format::Png ? "PNG" : "BMP";
    if (!image.save(&buffer, name, format == Format::Jpeg ? jpegQuality : -1))
        return {};
    return bytes;
}

QByteArray PictureFactory::gif(const QImage &image)
{
    const int width = std::min(image.width(), 0xFFFF);
    const int height = std::min(image.height(), 0xFFFF);

    // Four grey-blue levels by brightness are enough for a recognisable picture and keep
    // the codes three bits wide.
    constexpr std::array<QRgb, 4> Palette = {qRgb(24, 32, 64), qRgb(80, 104, 160), qRgb(168, 184, 216),
                                             qRgb(244, 244, 236)};

    QByteArray out("GIF89a");
    appendLe16(out, quint16(width));
    appendLe16(out, quint16(height));
    out.append(char(0x91)); // global colour table of 4 entries, 2 bits of colour resolution
    out.append(char(0));    // background colour index
    out.append(char(0));    // square pixels
    for (QRgb rgb : Palette) {
        out.append(char(qRed(rgb)));
        out.append(char(qGreen(rgb)));
        out.append(char(qBlue(rgb)));
    }
    out.append(char(0x2C));
    appendLe16(out, 0);
    appendLe16(out, 0);
    appendLe16(out, quint16(width));
    appendLe16(out, quint16(height));
    out.append(char(0)); // no local colour table, not interlaced

    // Uncompressed LZW: a clear code before every second pixel stops the decoder's table
    // from growing, so every code stays three bits wide. Larger than real LZW, but valid.
    constexpr int MinCodeSize = 2;
    constexpr quint32 Clear = 4;
    constexpr quint32 End = 5;
    constexpr int CodeBits = 3;
    BitWriter bits;
    qint64 pixel = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, ++pixel) {
            if (pixel % 2 == 0)
                bits.write(Clear, CodeBits);
            const int level = std::clamp(qGray(image.pixel(x, y)) / 64, 0, 3);
            bits.write(quint32(level), CodeBits);
        }
    }
    bits.write(End, CodeBits);
    const QByteArray data = bits.finish();

    out.append(char(MinCodeSize));
    for (qsizetype offset = 0; offset < data.size(); offset += 255) {
        const qsizetype length = std::min<qsizetype>(255, data.size() - offset);
        out.append(char(length));
        out.append(data.constData() + offset, length);
    }
    out.append(char(0)); // end of image data
    out.append(char(0x3B));
    return out;
}

QByteArray PictureFactory::ico(const QImage &source)
{
    // A single 32-bit DIB entry: the form every reader of icons understands.
    const QImage image = source.scaled(std::min(source.width(), 256), std::min(source.height(), 256))
                             .convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    const int maskStride = ((width + 31) / 32) * 4;
    const quint32 pixelBytes = quint32(width * height * 4);
    const quint32 maskBytes = quint32(maskStride * height);
    const quint32 dibSize = 40 + pixelBytes + maskBytes;

    QByteArray out;
    appendLe16(out, 0); // reserved
    appendLe16(out, 1); // icon
    appendLe16(out, 1); // one image
    out.append(char(width >= 256 ? 0 : width));
    out.append(char(height >= 256 ? 0 : height));
    out.append(char(0)); // no palette
    out.append(char(0));
    appendLe16(out, 1);  // planes
    appendLe16(out, 32); // bits per pixel
    appendLe32(out, dibSize);
    appendLe32(out, 6 + 16);

    appendLe32(out, 40);
    appendLe32(out, quint32(width));
    appendLe32(out, quint32(height * 2)); // colour rows and mask rows together
    appendLe16(out, 1);
    appendLe16(out, 32);
    appendLe32(out, 0); // no compression
    appendLe32(out, pixelBytes + maskBytes);
    appendLe32(out, 0);
    appendLe32(out, 0);
    appendLe32(out, 0);
    appendLe32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            out.append(char(qBlue(line[x])));
            out.append(char(qGreen(line[x])));
            out.append(char(qRed(line[x])));
            out.append(char(qAlpha(line[x])));
        }
    }
    out.append(QByteArray(qsizetype(maskBytes), '\0')); // everything opaque
    return out;
}

} // namespace Sandbox
