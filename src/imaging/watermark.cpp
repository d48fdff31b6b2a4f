#include "watermark.h"

#include "core/savefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace Imaging {

namespace {

constexpr QRgb white = 0xFFFFFFu;
constexpr int cornerMargin = 20;
constexpr double cornerTransparency = 50;

bool isDecodedFormat(const QByteArray &format)
{
    // Only the raster formats the export stores: a vector picture would be rendered at a
    // size of its own choosing.
    static const QByteArrayList known = {"bmp", "gif", "jpeg", "jpg", "png", "ico"};
    return known.contains(format.toLower());
}

QImage readPicture(QIODevice *device)
{
    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);
    if (!isDecodedFormat(reader.format()))
        return {};
    QImage picture;
    if (!reader.read(&picture))
        return {};
    return picture;
}

// p − (p − m) × α / 100 for one channel, rounded with halves to even. A transparency
// outside 0..100 would leave the colour range, so the result is kept within it.
int blendChannel(int picture, int surface, double transparency)
{
    const double value = picture - (picture - surface) * transparency / 100.0;
    return int(std::nearbyint(std::clamp(value, 0.0, 255.0)));
}

QRgb blendPixel(QRgb picture, QRgb surface, double transparency)
{
    return qRgb(blendChannel(qRed(picture), qRed(surface), transparency),
                blendChannel(qGreen(picture), qGreen(surface), transparency),
                blendChannel(qBlue(picture), qBlue(surface), transparency));
}

// Visits every pixel of a patch placed at (x0, y0) on the surface that falls inside the
// surface, with the patch's pixel and the surface's pixel to change.
template <typename Visit>
void forEachCoveredPixel(QImage &surface, const QImage &patch, qint64 x0, qint64 y0, Visit visit)
{
    const qint64 firstRow = std::max<qint64>(0, -y0);
    const qint64 endRow = std::min<qint64>(patch.height(), qint64(surface.height()) - y0);
    const qint64 firstColumn = std::max<qint64>(0, -x0);
    const qint64 endColumn = std::min<qint64>(patch.width(), qint64(surface.width()) - x0);
    if (firstRow >= endRow || firstColumn >= endColumn)
        return;
    for (qint64 r = firstRow; r < endRow; ++r) {
        const auto *from = reinterpret_cast<const QRgb *>(patch.constScanLine(int(r)));
        auto *to = reinterpret_cast<QRgb *>(surface.scanLine(int(y0 + r)));
        for (qint64 c = firstColumn; c < endColumn; ++c)
            visit(from[c], to[x0 + c]);
    }
}

void blendPicture(QImage &surface, const QImage &picture, qint64 x0, qint64 y0, double transparency)
{
    // Keeps the arithmetic finite whatever the settings file held.
    const double alpha = std::clamp(transparency, -1e6, 1e6);
    forEachCoveredPixel(surface, picture, x0, y0,
                        [alpha](QRgb from, QRgb &to) { to = blendPixel(from, to, alpha); });
}

QImage asSurface(const QImage &picture)
{
    return picture.format() == QImage::Format_RGB32 ? picture : drawingSurface(picture);
}

bool writePicture(const QImage &picture, QIODevice *device, const char *format, int quality)
{
    QImageWriter writer(device, format);
    if (quality >= 0)
        writer.setQuality(quality);
    return writer.write(picture);
}

bool savePicture(const QImage &picture, const QString &path, const char *format, int quality)
{
    if (picture.isNull())
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !writePicture(picture, &buffer, format, quality))
        return false;
    return Core::saveFile(path, bytes).saved;
}

} // namespace

bool textRenderingAvailable()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

QImage drawingSurface(const QImage &picture)
{
    if (picture.isNull())
        return {};
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    // Over white, in premultiplied colour: each channel plus what the alpha leaves uncovered.
    QImage surface = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < surface.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(surface.scanLine(y));
        for (int x = 0; x < surface.width(); ++x) {
            const QRgb pixel = line[x];
            const int uncovered = 255 - qAlpha(pixel);
            line[x] = qRgb(qRed(pixel) + uncovered, qGreen(pixel) + uncovered, qBlue(pixel) + uncovered);
        }
    }
    return surface.convertToFormat(QImage::Format_RGB32);
}

QImage loadPicture(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    return readPicture(&buffer);
}

QImage loadPicture(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return readPicture(&file);
}

QFont watermarkFont(double points)
{
    QFont font;
    // A Chinese face where there is one: the default face of a desktop without one
    // would show the text as boxes.
    font.setFamilies({u"Microsoft YaHei"_s, u"SimHei"_s, u"Noto Sans CJK SC"_s, u"Source Han Sans SC"_s,
                      u"WenQuanYi Zen Hei"_s});
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(std::max(1, int(std::lround(std::clamp(points, 1.0, 1500.0) * 96.0 / 72.0))));
    // Only pure-white pixels are copied, so smoothed edges would just thin the letters.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QSize textSurfaceSize(const QString &text, double points)
{
    if (!textRenderingAvailable())
        return {};
    const QFontMetrics metrics(watermarkFont(points));
    return {metrics.horizontalAdvance(text) + 4, metrics.height() + 4};
}

QImage renderTextSurface(const QString &text, double points)
{
    const QSize size = textSurfaceSize(text, points);
    if (!size.isValid())
        return {};
    QImage surface(size, QImage::Format_RGB32);
    if (surface.isNull())
        return {};
    surface.fill(Qt::black);
    QPainter painter(&surface);
    const QFont font = watermarkFont(points);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(0, QFontMetrics(font).ascent(), text);
    painter.end();
    return surface;
}

qint64 watermarkOffset(int room, double percent)
{
    // Bounded before rounding, so that a wild percentage cannot overflow; the drawing
    // leaves out whatever falls outside the surface anyway.
    const double offset = std::clamp(room * percent / 100.0, -1e12, 1e12);
    return qint64(std::nearbyint(offset));
}

bool DrawWatermark(QImage &surface, const WatermarkSettings &settings, const QImage &watermarkPicture)
{
    if (surface.isNull())
        return false;
    const QSize textSize = textSurfaceSize(settings.text, settings.fontPoints());
    if (!textSize.isValid())
        return false;
    const int width = surface.width();
    const int height = surface.height();
    // The picture counts in text mode too: a large watermark picture stops a text watermark.
    if (!(width > textSize.width() && width > watermarkPicture.width() && height > textSize.height() &&
          height > watermarkPicture.height()))
        return false;

    if (surface.format() != QImage::Format_RGB32)
        surface = drawingSurface(surface);

    if (settings.mode == WatermarkSettings::Mode::Text) {
        const QImage text = renderTextSurface(settings.text, settings.fontPoints());
        if (text.isNull())
            return false;
        const qint64 x0 = watermarkOffset(width - text.width(), settings.leftPercent());
        const qint64 y0 = watermarkOffset(height - text.height(), settings.topPercent());
        const QRgb ink = settings.colour();
        // The text's colour is written opaque: the transparency is for pictures only.
        forEachCoveredPixel(surface, text, x0, y0, [ink](QRgb from, QRgb &to) {
            if ((from & white) == white)
                to = ink;
        });
        return true;
    }

    if (watermarkPicture.isNull())
        return false;
    const QImage picture = asSurface(watermarkPicture);
    const qint64 x0 = watermarkOffset(width - picture.width(), settings.leftPercent());
    const qint64 y0 = watermarkOffset(height - picture.height(), settings.topPercent());
    blendPicture(surface, picture, x0, y0, settings.transparencyPercent());
    return true;
}

void BlendCornerPicture(QImage &surface, const QImage &watermarkPicture)
{
    if (surface.isNull() || watermarkPicture.isNull())
        return;
    if (surface.format() != QImage::Format_RGB32)
        surface = drawingSurface(surface);
    const QImage picture = asSurface(watermarkPicture);
    const qint64 x0 = qint64(surface.width()) - picture.width() - cornerMargin;
    const qint64 y0 = qint64(surface.height()) - picture.height() - cornerMargin;
    blendPicture(surface, picture, x0, y0, cornerTransparency);
}

bool SaveAsJpeg(const QImage &picture, const QString &path, int quality)
{
    return savePicture(picture, path, "jpeg", quality);
}

QByteArray encodeJpeg(const QImage &picture, int quality)
{
    if (picture.isNull())
        return {};
    QBuffer buffer;
    if (!buffer.open(QIODevice::WriteOnly) || !writePicture(picture, &buffer, "jpeg", quality))
        return {};
    return buffer.data();
}

bool saveBitmap(const QImage &picture, const QString &path)
{
    return savePicture(picture, path, "bmp", -1);
}

} // namespace Imaging
