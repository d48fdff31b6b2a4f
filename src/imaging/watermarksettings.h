#pragma once

#include "core/inputranges.h"

#include <QByteArray>
#include <QRgb>
#include <QString>

namespace Imaging {

// The watermark's look as the settings window holds it: every value is the text of
// its field as typed, unvalidated, so that "setsy.txt" keeps what the user wrote.
// The drawing reads numbers out of them with the fallbacks below.
struct WatermarkSettings
{
    enum class Mode { Text, Picture };

    WatermarkSettings();

    Mode mode = Mode::Text;
    QString text;
    QString fontSize;
    QString transparency;
    QString red;
    QString green;
    QString blue;
    QString left;
    QString top;
    QString picturePath;

    // Font size in points; 12 when the field is not a number. Kept within 1..1500 so a
    // wild value can neither overflow nor ask for a gigantic font.
    double fontPoints() const;
    // Transparency in per cent; 50 when the field is not a number.
    double transparencyPercent() const;
    // Left and top position in per cent; 50 when the field is not a number.
    double leftPercent() const;
    double topPercent() const;
    // The text colour, opaque. A channel that is not a number counts as 0; the rest
    // are rounded (halves to even) and kept within 0..255.
    QRgb colour() const;

    bool operator==(const WatermarkSettings &other) const = default;
};

// File names in the program folder.
// The ranges the settings window holds its number boxes to: it warns beside a box holding
// anything else and saves nothing while one does.
Core::InputRange fontSizeRange();      // "字号": 12 to 72
Core::InputRange percentRange();       // "透明度", "左边距", "上边距": 1 to 100
Core::InputRange colourChannelRange(); // red, green, blue: 0 to 255

QString watermarkSettingsFileName();       // "setsy.txt"
QString sampleMainPictureFileName();       // "sy_pic1.jpg"
QString defaultWatermarkPictureFileName(); // "sy_pic2.jpg"

// The mode field's texts.
QString textModeName();    // "文字水印"
QString pictureModeName(); // "图片水印"

// Reads the first line of a settings file (GBK). Any first field other than "文字水印"
// means picture mode; missing fields keep their defaults; the tenth field takes the rest
// of the line, so a picture path that holds "#" survives.
WatermarkSettings parseWatermarkSettings(const QByteArray &fileBytes);
// The line of ten "#"-separated fields in GBK, followed by CR LF.
QByteArray serializeWatermarkSettings(const WatermarkSettings &settings);

// "setsy.txt" in the program folder; the defaults when it is missing or unreadable.
WatermarkSettings loadWatermarkSettings(const QString &programDir);
// Replaces "setsy.txt" in the program folder (temporary file, then rename).
// Returns false with the reason on failure; the old file is then untouched.
bool saveWatermarkSettings(const QString &programDir, const WatermarkSettings &settings,
                           QString *error = nullptr);

// True when the path, compared in lower case, ends in ".jpg", ".gif" or ".bmp".
bool hasWatermarkPictureExtension(const QString &path);

// Which file the watermark picture comes from: in picture mode a path with one of the
// three extensions that names an existing file; otherwise "sy_pic2.jpg" in the program
// folder when it exists; otherwise the empty text (no watermark picture).
QString watermarkPictureFile(const WatermarkSettings &settings, const QString &programDir);

} // namespace Imaging
