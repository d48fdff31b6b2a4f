// The address box of the collection run: the checks made before anything is fetched, then
// the shop or list address cut into shop number, category and key, or the item code of a
// single item's address. Input: the text as typed (UTF-8).

#include "fuzzinput.h"

#include "core/config.h"
#include "core/text.h"
#include "market/collection.h"
#include "market/itemlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Core::Config config;
    const QString typed = QString::fromUtf8(Fuzz::inputBytes(data, size));
    for (const Market::CollectMode mode :
         {Market::CollectMode::Single, Market::CollectMode::Shop, Market::CollectMode::List}) {
        const Market::CollectOutcome checked = Market::Collector::checkAddress(config, mode, typed);
        if (!checked.message.isEmpty())
            continue;
        const QString &address = checked.address;
        Fuzz::check(address.startsWith(QStringLiteral("http://")), "an accepted address without http://");
        switch (mode) {
        case Market::CollectMode::Single:
            Market::isItemCode(Core::trimSpaces(Market::singleItemCode(address)));
            break;
        case Market::CollectMode::Shop:
            Core::isNumeric(Market::parseShopAddress(config, address).shopNumber);
            break;
        case Market::CollectMode::List: {
            const Market::ListAddress list = Market::parseListAddress(config, address);
            Core::isNumeric(list.shop.shopNumber);
            Core::isNumeric(list.category);
            break;
        }
        }
    }
    // The import of an address file takes each address's code the same way, uncut.
    Market::itemCodeFromAddress(typed);
    return 0;
}
