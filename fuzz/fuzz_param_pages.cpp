// The maker's parameter pages: "value#slot#" pairs read into the table of each page, and
// the open-platform values the main page's first slots give.

#include "fuzzinput.h"

#include "core/text.h"
#include "market/openplatform.h"
#include "market/parampages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = Core::decodeAnsi(Fuzz::inputBytes(data, size));
    for (const Market::ParamPage page :
         {Market::ParamPage::Main, Market::ParamPage::App, Market::ParamPage::UrlFind,
          Market::ParamPage::Stock, Market::ParamPage::FirstItem}) {
        const Market::ParamPageInfo info = Market::paramPageInfo(page);
        QStringList table(info.slotCount);
        Market::readParamPairs(text, table, info.slotCount);
        Fuzz::check(table.size() == info.slotCount, "a page's table changed its size");
        // A table the window already holds: shorter than the page's, with old contents.
        QStringList held = {QStringLiteral("old")};
        Market::readParamPairs(text, held, info.slotCount);
        Fuzz::check(held.size() == info.slotCount, "a held table was not grown to the page's size");
        if (page == Market::ParamPage::Main) {
            // The first slots sign the open-platform calls and make their address.
            const Market::OpenPlatformParams params = Market::OpenPlatformParams::fromSlots(table);
            Market::signRequest(params,
                                Market::sellerCategoriesParameters(params, QStringLiteral("小周的杂货铺"),
                                                                   QStringLiteral("2024-01-02 03:04:05")));
        }
    }
    return 0;
}
