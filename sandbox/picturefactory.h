#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace Sandbox {

// Makes real, decodable picture files in the formats shops used. Qt writes JPEG, PNG
// and BMP itself; GIF (which Qt cannot write) and ICO (whose plugin may be missing)
// are put together by hand.
class PictureFactory
{
public:
    enum class Format { Jpeg, Png, Bmp, Gif, Ico };

    static std::optional<Format> formatFromName(QStringView name);
    static QByteArray contentType(Format format);

    // Something like a product photo: a gradient, a few shapes and some grain, so that
    // JPEG files come out about as large as real ones of the same size.
    static QImage makeImage(int width, int height, quint32 seed, int grain = 10);

    static QByteArray encode(const QImage &image, Format format, int jpegQuality = 85);
    static QByteArray gif(const QImage &image);
    static QByteArray ico(const QImage &image);

    // A file that only looks like a picture: the format's signature (PNG or JPEG) and then
    // GarbageSize bytes of noise that never form a header, so no reader learns its size.
    // The same seed gives the same bytes.
    static constexpr int GarbageSize = 4096;
    static QByteArray garbage(Format format, quint32 seed);
};

} // namespace Sandbox
