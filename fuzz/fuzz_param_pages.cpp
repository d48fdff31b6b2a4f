// The maker's parameter pages: "value#slot#" pairs read into the table of each page, and
// the open-platform values the main page's first slots give.

#include "fuzzinput.h"

#include "core/openplatform.h"
#include "core/parampages.h"
#include "core/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = Core::decodeAnsi(Fuzz::inputBytes(data, size));
    for (const Core::ParamPage page : {Core::ParamPage::Main, Core::ParamPage::App, Core::ParamPage::UrlFind,
                                       Core::ParamPage::Stock, Core::ParamPage::FirstItem}) {
        const Core::ParamPageInfo info = Core::paramPageInfo(page);
        QStringList table(info.slotCount);
        Core::readParamPairs(text, table, info.slotCount);
        Fuzz::check(table.size() == info.slotCount, "a page's table changed its size");
        // A table the window already holds: shorter than the page's, with old contents.
        QStringList held = {QStringLiteral("old")};
        Core::readParamPairs(text, held, info.slotCount);
        Fuzz::check(held.size() == info.slotCount, "a held table was not grown to the page's size");
        if (page == Core::ParamPage::Main) {
            // The first slots sign the open-platform calls and make their address.
            const Core::OpenPlatformParams params = Core::OpenPlatformParams::fromSlots(table);
            Core::signRequest(params,
                              Core::sellerCategoriesParameters(params, QStringLiteral("小周的杂货铺"),
                                                               QStringLiteral("2024-01-02 03:04:05")));
        }
    }
    return 0;
}
