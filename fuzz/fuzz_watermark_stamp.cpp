// A downloaded description picture stamped with the watermark: the size guard, decoding
// (whatever the name says), drawing and JPEG re-encoding, as the export does with "使用水印".

#include "fuzzinput.h"

#include "imaging/watermarker.h"

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Fuzz::startGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The default text watermark; the picture mode's blending is reached by setsy.txt's target.
    static const Imaging::Watermarker watermarker{Imaging::WatermarkSettings(), QImage()};
    Fuzz::check(watermarker.isUsable(), "the watermarker is not usable");
    QByteArray stamped;
    const auto outcome = watermarker.stamp(Fuzz::inputBytes(data, size), u"5F0E9C.JPG"_s, &stamped);
    Fuzz::check((outcome == Imaging::Watermarker::Outcome::Stamped) == !stamped.isEmpty(),
                "a stamped picture without bytes, or bytes without a stamp");
    return 0;
}
