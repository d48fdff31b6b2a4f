#include "watermarker.h"

#include "pictureinfo.h"
#include "watermark.h"

using namespace Qt::Literals::StringLiterals;

namespace Imaging {

namespace {

constexpr int jpegQuality = 80;

QString unavailableText()
{
    return u"watermarks need a QGuiApplication: text cannot be measured or drawn without one"_s;
}

} // namespace

Watermarker::Watermarker() : m_error(u"no watermark settings"_s) {}

Watermarker::Watermarker(const WatermarkSettings &settings, const QImage &watermarkPicture)
    : m_settings(settings),
      // Converted once here, so the threads only ever read it.
      m_picture(drawingSurface(watermarkPicture))
{
    if (!textRenderingAvailable())
        m_error = unavailableText();
}

Watermarker Watermarker::fromProgramFolder(const QString &programDir, QString *error)
{
    if (!textRenderingAvailable()) {
        Watermarker unusable;
        unusable.m_error = unavailableText();
        if (error)
            *error = unusable.m_error;
        return unusable;
    }
    const WatermarkSettings settings = loadWatermarkSettings(programDir);
    const QString pictureFile = watermarkPictureFile(settings, programDir);
    Watermarker watermarker(settings, pictureFile.isEmpty() ? QImage() : loadPicture(pictureFile));
    if (error)
        *error = watermarker.m_error;
    return watermarker;
}

bool Watermarker::isUsable() const
{
    return m_error.isEmpty();
}

QString Watermarker::errorString() const
{
    return m_error;
}

const WatermarkSettings &Watermarker::settings() const
{
    return m_settings;
}

const QImage &Watermarker::watermarkPicture() const
{
    return m_picture;
}

Watermarker::Outcome Watermarker::stamp(const QByteArray &pictureBytes, const QString &fileName,
                                        QByteArray *jpegOut) const
{
    if (jpegOut)
        jpegOut->clear();
    if (!isUsable())
        return Outcome::NotAPicture;
    if (TooLargeForWatermark(fileName, pictureBytes))
        return Outcome::TooLarge;
    const QImage picture = loadPicture(pictureBytes);
    if (picture.isNull())
        return Outcome::NotAPicture;
    if (isTooLargeToStamp(picture.size()))
        return Outcome::TooLarge;
    QImage surface = drawingSurface(picture);
    if (surface.isNull())
        return Outcome::NotAPicture;
    const bool drawn = DrawWatermark(surface, m_settings, m_picture);
    const QByteArray jpeg = encodeJpeg(surface, jpegQuality);
    if (jpeg.isEmpty())
        return Outcome::NotAPicture;
    if (jpegOut)
        *jpegOut = jpeg;
    return drawn ? Outcome::Stamped : Outcome::NotDrawn;
}

} // namespace Imaging
