// A downloaded picture: the type from its first bytes, the image reader's header check,
// what the download stores (a main picture under its fixed ".tbi" name, a description
// picture under its type), whether a stored one is whole (resuming a run), and the header
// size of the watermark's size guard.

#include "fuzzinput.h"

#include "export/pictures.h"
#include "imaging/pictureinfo.h"

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = Fuzz::inputBytes(data, size);
    const QString type = Export::detectPictureType(body);
    const bool readable = Export::hasReadablePictureHeader(body);

    const Export::StoredPicture main = Export::decideStoredPicture(u"/out/pictures/0a1b2c.tbi"_s, body);
    Fuzz::check(main.type.isEmpty() || (main.type == u"1"_s && !type.isEmpty() && readable),
                "a main picture stored that is not a readable picture");
    const Export::StoredPicture described =
        Export::decideStoredPicture(u"/out/pictures/item/0A1B2C.jpg"_s, body);
    Fuzz::check(described.type.isEmpty() || (described.type == type && readable),
                "a description picture stored that is not a readable picture");

    // A picture an earlier run left in the picture folder stands for its download only when whole.
    if (Export::isCompletePicture(body))
        Fuzz::check(readable && !type.isEmpty(), "a whole picture that is no readable picture");

    Imaging::PictureInfo(body);
    Imaging::TooLargeForWatermark(u"0A1B2C.JPG"_s, body);
    return 0;
}
