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
    // Stamped, or re-encoded without a mark that does not fit: both give the JPEG, nothing else does.
    const bool reencoded = outcome == Imaging::Watermarker::Outcome::Stamped ||
                           outcome == Imaging::Watermarker::Outcome::NotDrawn;
    Fuzz::check(reencoded == !stamped.isEmpty(), "a re-encoded picture without bytes, or bytes without one");
    return 0;
}
