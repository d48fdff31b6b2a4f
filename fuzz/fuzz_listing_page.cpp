// Listing pages: a shop's item listing read with the collection markers of "copy_fwz33.htm"
// (the item count, then the entries of either shop host), and a seller's listing page read
// with the markers of "f_1sp.htm".
//
// Input: the parameter page, "\n--8<--\n", the listing page (both GBK as on the wire); an
// input without the separator is a listing page read with the sandbox's markers.

#include "fuzzinput.h"

#include "core/text.h"
#include "market/collection.h"
#include "market/itemlist.h"
#include "market/parampages.h"
#include "market/sellerlookup.h"

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::TwoParts parts = Fuzz::splitInput(Fuzz::inputBytes(data, size));
    const QString page = parts.second.isEmpty() ? QString() : Core::decodeAnsi(parts.second);

    const QStringList markers = Fuzz::parameterSlots(
        parts, u"copy_fwz33.htm"_s, Market::paramPageInfo(Market::ParamPage::UrlFind).slotCount);
    const qint64 pages = Market::listingPageCount(
        Core::CutAfterMarkers(page, markers.value(4), markers.value(5), markers.value(6)));
    Fuzz::check(pages >= 0, "a negative page count");
    for (const int kind : {1, 2}) {
        for (const QString &entry : Market::listingEntries(page, markers, kind)) {
            const QString code = Market::itemCodeFromEntry(entry);
            if (Market::isItemCode(code))
                Market::itemNameFromEntry(entry);
        }
    }

    const QStringList sellerMarkers = Fuzz::parameterSlots(
        parts, u"f_1sp.htm"_s, Market::paramPageInfo(Market::ParamPage::FirstItem).slotCount);
    Market::firstItemOfListingPage(page, sellerMarkers);
    return 0;
}
