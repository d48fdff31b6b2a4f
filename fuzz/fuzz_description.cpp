// An item's description (its detailInfo text): processing as the import files carry it, with
// and without replacement rules, the description pictures found with the markers of the main
// parameter page (slots 28 to 33), and link stripping with both markers of the configuration.
//
// Input: the parameter page, "\n--8<--\n", the description (both GBK as on the wire); an
// input without the separator is a description read with the sandbox's markers.

#include "fuzzinput.h"

#include "core/config.h"
#include "core/text.h"
#include "export/description.h"
#include "export/pictures.h"
#include "market/parampages.h"

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Core::Config config;
    static const QList<Export::ReplacementRule> rules = {
        {u"包邮"_s, u"不包邮"_s}, {u"<br>"_s, u"<br/>"_s}, {u"，"_s, u","_s}, {}, {u" "_s, u""_s}};

    const Fuzz::TwoParts parts = Fuzz::splitInput(Fuzz::inputBytes(data, size));
    const QStringList table = Fuzz::parameterSlots(parts, u"copy36.htm"_s,
                                                   Market::paramPageInfo(Market::ParamPage::Main).slotCount);
    const QString detailInfo = parts.second.isEmpty() ? QString() : Core::decodeAnsi(parts.second);

    Export::processDescription(detailInfo, &rules);
    QString description = Export::processDescription(detailInfo, nullptr);
    for (const QString &url : Export::extractDescriptionPictures(description, table.mid(28, 6))) {
        Fuzz::check(!url.contains(u'\t'), "a picture address holds the list's separator");
        Export::requestAddressOfPicture(Core::trimSpaces(url));
    }
    for (const QString &marker : {config.mallItemPrefix, config.marketplaceMarker}) {
        const QString stripped = Export::stripLinks(description, marker);
        Fuzz::check(stripped.size() <= description.size(), "link stripping made the description longer");
        description = stripped;
    }
    Core::removeControlCharacters(description);
    return 0;
}
