#pragma once

#include "watermarksettings.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace Imaging {

// The export's watermark: a snapshot of the settings and the watermark picture taken
// once, then used for every description picture of the run. It holds nothing that
// stamping changes, so one instance serves several worker threads at once.
//
// Drawing needs text metrics even in picture mode (the text surface takes part in the
// fit check), and text needs a QGuiApplication; without one the watermarker is not
// usable and says so instead of crashing.
class Watermarker
{
public:
    enum class Outcome {
        Stamped,    // jpegOut holds the stamped picture as JPEG quality 80
        NotDrawn,   // the watermark does not fit (or there is no watermark picture): jpegOut
                    // holds the picture re-encoded as JPEG quality 80, without a watermark
        TooLarge,   // above 1000 pixels or 1000 KB: left as it is
        NotAPicture // does not load as a picture (or the watermarker is not usable): left as it is
    };

    // Not usable.
    Watermarker();
    Watermarker(const WatermarkSettings &settings, const QImage &watermarkPicture);

    // "setsy.txt" in the program folder (the defaults when it is missing) and the
    // watermark picture the settings name, else "sy_pic2.jpg" there. On failure the
    // result is not usable and error says why.
    static Watermarker fromProgramFolder(const QString &programDir, QString *error);

    bool isUsable() const;
    QString errorString() const;
    const WatermarkSettings &settings() const;
    // Null when there is none; a picture-mode watermark then draws nothing (NotDrawn).
    const QImage &watermarkPicture() const;

    // Stamps the picture and re-encodes it as JPEG quality 80; the bytes in, the new bytes
    // out. fileName is only for the size guard's name check. jpegOut is left empty unless
    // the outcome is Stamped or NotDrawn.
    Outcome stamp(const QByteArray &pictureBytes, const QString &fileName, QByteArray *jpegOut) const;

private:
    WatermarkSettings m_settings;
    QImage m_picture;
    QString m_error;
};

} // namespace Imaging
