#pragma once

#include "watermarksettings.h"

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>

// Drawing the watermark on a picture, pixel by pixel, and writing the result as JPEG.
// Every function here works on its own images only, so several threads may call them
// at once on different pictures.
namespace Imaging {

// Text can be measured and drawn only when a QGuiApplication (or QApplication) exists;
// without one every function below that needs the text surface draws nothing.
bool textRenderingAvailable();

// The picture as a drawing surface: 24-bit colour (QImage::Format_RGB32), transparent
// parts laid over white. A null picture gives a null surface.
QImage drawingSurface(const QImage &picture);

// Decodes a BMP, GIF, JPEG, PNG or icon picture, recognised by its content whatever the
// name says. Qt's allocation limit stays in force, so a picture whose header claims a
// gigantic size is refused instead of exhausting memory. Null when it does not load.
QImage loadPicture(const QByteArray &bytes);
QImage loadPicture(const QString &path);

// The bold font of the watermark text at a size in points (96 dots per inch).
QFont watermarkFont(double points);
// The text surface's size: the text's width plus 4 by its line height plus 4.
// Invalid when text cannot be rendered.
QSize textSurfaceSize(const QString &text, double points);
// White text at the top-left corner of a black surface of textSurfaceSize. Letters are
// drawn without smoothing, so every pixel of a stroke is pure white.
QImage renderTextSurface(const QString &text, double points);

// Where the watermark starts along one side: room × percent / 100, rounded with halves
// to even.
qint64 watermarkOffset(int room, double percent);

// Draws the watermark of the settings on the surface: the text in text mode, the
// watermark picture blended in picture mode. Nothing is drawn (false) unless the surface
// is wider and taller than both the text surface and the watermark picture.
bool DrawWatermark(QImage &surface, const WatermarkSettings &settings, const QImage &watermarkPicture);

// Blends the watermark picture half-transparent into the surface, 20 pixels from the
// right and bottom edges. Parts that would fall outside the surface are left out.
void BlendCornerPicture(QImage &surface, const QImage &watermarkPicture);

// Writes the picture as a JPEG file of the given quality, replacing the file only once
// the whole picture is written. True on success.
bool SaveAsJpeg(const QImage &picture, const QString &path, int quality);
// The JPEG bytes of the picture; empty on failure.
QByteArray encodeJpeg(const QImage &picture, int quality);
// Writes the picture as a BMP file, whatever the name's extension, replacing the file only
// once the whole picture is written.
bool saveBitmap(const QImage &picture, const QString &path);

} // namespace Imaging
