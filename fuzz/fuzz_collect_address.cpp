// The address box of the collection run: the checks made before anything is fetched, then
// the shop or list address cut into shop number, category and key, or the item code of a
// single item's address. Input: the text as typed (UTF-8).

#include "fuzzinput.h"

#include "core/collection.h"
#include "core/config.h"
#include "core/itemlist.h"
#include "core/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Core::Config config;
    const QString typed = QString::fromUtf8(Fuzz::inputBytes(data, size));
    for (const Core::CollectMode mode :
         {Core::CollectMode::Single, Core::CollectMode::Shop, Core::CollectMode::List}) {
        const Core::CollectOutcome checked = Core::Collector::checkAddress(config, mode, typed);
        if (!checked.message.isEmpty())
            continue;
        const QString &address = checked.address;
        Fuzz::check(address.startsWith(QStringLiteral("http://")), "an accepted address without http://");
        switch (mode) {
        case Core::CollectMode::Single:
            Core::isItemCode(Core::trimSpaces(Core::singleItemCode(address)));
            break;
        case Core::CollectMode::Shop:
            Core::isNumeric(Core::parseShopAddress(config, address).shopNumber);
            break;
        case Core::CollectMode::List: {
            const Core::ListAddress list = Core::parseListAddress(config, address);
            Core::isNumeric(list.shop.shopNumber);
            Core::isNumeric(list.category);
            break;
        }
        }
    }
    // The import of an address file takes each address's code the same way, uncut.
    Core::itemCodeFromAddress(typed);
    return 0;
}
