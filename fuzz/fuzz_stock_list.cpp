// The stock list: the markers of "ks_set.htm" and an item's stock page, composed into the
// fragment of the stock file, with and without price and stock adjustment.
//
// Input: the parameter page, "\n--8<--\n", the stock page (both GBK as on the wire); an
// input without the separator is a stock page read with the sandbox's markers.

#include "fuzzinput.h"

#include "core/text.h"
#include "market/parampages.h"
#include "market/stocklist.h"

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::TwoParts parts = Fuzz::splitInput(Fuzz::inputBytes(data, size));
    Market::StockParameters parameters;
    parameters.table = Fuzz::parameterSlots(parts, u"ks_set.htm"_s,
                                            Market::paramPageInfo(Market::ParamPage::Stock).slotCount);
    parameters.loaded = true;
    parameters.pageAddress(u"0C7D360B00000000040100000CC1B772"_s);

    const QString page = parts.second.isEmpty() ? QString() : Core::decodeAnsi(parts.second);
    const QString plain = Market::composeStockList(parameters.table, page);
    Fuzz::check(plain.endsWith(u"\"/>"_s), "the fragment does not end its element");

    Core::Adjustments adjustments;
    adjustments.adjustPrice = true;
    adjustments.pricePercent = u"110"_s;
    adjustments.priceDecimals = u"2"_s;
    adjustments.adjustStock = true;
    adjustments.stockValue = u"50"_s;
    Core::removeControlCharacters(Market::composeStockList(parameters.table, page, adjustments));
    return 0;
}
