// skin.jss: a Qt binary resource file read into the skin store, then every picture, number
// and colour the caption bar and the borders ask for.

#include "fuzzinput.h"

#include "skin/resourcefile.h"
#include "skin/skinstore.h"

#include <QPalette>

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QStringList pictureKeys = {
        u"TOPLEFT"_s, u"TOPMID"_s,   u"TOPRIGHT"_s, u"CLOSE"_s,   u"CLOSE2"_s, u"CLOSE3"_s,
        u"MAX"_s,     u"MAX2"_s,     u"MAX3"_s,     u"RES1"_s,    u"RES2"_s,   u"RES3"_s,
        u"MIN"_s,     u"MIN2"_s,     u"MIN3"_s,     u"ONTOP1"_s,  u"ONTOP3"_s, u"LEFTTOP"_s,
        u"LEFTMID"_s, u"RIGHTTOP"_s, u"RIGHTMID"_s, u"LEFTBOT"_s, u"BOTTOM"_s, u"RIGHTBOT"_s};
    static const QStringList numberKeys = {u"XOFFSET"_s,   u"XOFFSET2"_s, u"YOFFSET"_s,
                                           u"FROMRIGHT"_s, u"FROMTOP"_s,  u"ICONSPACE"_s};
    static const QStringList colourKeys = {u"FORECOLOR"_s, u"BackColor"_s, u"PARENTBACKCOLOR"_s};
    static const QPalette palette;

    const QByteArray bytes = Fuzz::inputBytes(data, size);
    if (const auto files = Skin::readResourceRoot(bytes)) {
        for (auto it = files->cbegin(); it != files->cend(); ++it)
            Fuzz::check(it.value().size() <= Skin::MaxResourceEntrySize, "an entry above the size limit");
    }

    const Skin::SkinStore store = Skin::SkinStore::fromData(bytes);
    for (const QString &key : pictureKeys)
        store.picture(key);
    for (const QString &key : numberKeys)
        store.number(key);
    for (const QString &key : colourKeys) {
        Skin::toQColor(store.colour(key), palette);
        store.colourValue(key);
    }
    return 0;
}
