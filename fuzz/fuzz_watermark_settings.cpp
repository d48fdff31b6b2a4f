// setsy.txt: the watermark settings as the watermark window and the export read them, the
// numbers the drawing takes out of them, and the drawing itself on a small picture. What
// is saved and read back is saved again byte for byte.

#include "fuzzinput.h"

#include "core/text.h"
#include "imaging/watermark.h"
#include "imaging/watermarksettings.h"

#include <cmath>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Fuzz::startGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Imaging::WatermarkSettings settings = Imaging::parseWatermarkSettings(Fuzz::inputBytes(data, size));
    const double points = settings.fontPoints();
    Fuzz::check(points >= 1 && points <= 1500, "a font size outside 1..1500");
    for (const double value : {settings.transparencyPercent(), settings.leftPercent(), settings.topPercent()})
        Fuzz::check(!std::isnan(value), "a setting reads as NaN");
    settings.colour();

    // A file the program saved reads back to the same settings when it is saved again;
    // only the text may lose spaces at its ends, as it is cleaned (CleanField) on saving.
    const Imaging::WatermarkSettings saved =
        Imaging::parseWatermarkSettings(Imaging::serializeWatermarkSettings(settings));
    Imaging::WatermarkSettings savedAgain =
        Imaging::parseWatermarkSettings(Imaging::serializeWatermarkSettings(saved));
    Fuzz::check(savedAgain.text == Core::trimSpaces(saved.text),
                "a saved text changes when it is saved again");
    savedAgain.text = saved.text;
    Fuzz::check(savedAgain == saved, "settings read back from their file differ when they are saved again");

    static const QImage watermarkPicture = [] {
        QImage picture(12, 8, QImage::Format_ARGB32);
        picture.fill(qRgba(200, 30, 30, 128));
        return picture;
    }();
    QImage surface(96, 64, QImage::Format_RGB32);
    surface.fill(Qt::white);
    Imaging::DrawWatermark(surface, settings, watermarkPicture);
    Fuzz::check(surface.size() == QSize(96, 64), "drawing changed the picture's size");
    return 0;
}
