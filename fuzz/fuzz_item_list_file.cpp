// Item list and address files as a user hands them in (GBK, UTF-8 with or without its mark,
// anything else): the export's list file and the window's address import.

#include "fuzzinput.h"

#include "core/text.h"
#include "market/itemlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = Fuzz::inputBytes(data, size);

    int dropped = -1;
    int ignoredLines = -1;
    const QStringList entries = Market::readItemListFile(bytes, &dropped, &ignoredLines);
    Fuzz::check(entries.size() <= Market::maxImportedAddresses, "a list above the cap");
    Fuzz::check(dropped >= 0 && ignoredLines >= 0, "a negative count of dropped entries or lines");
    for (const QString &entry : entries) {
        if (Market::isItemCode(Market::itemCodeFromEntry(entry)))
            Market::itemNameFromEntry(entry);
    }
    Market::droppedEntriesWarning(dropped);

    // The window's import: addresses only, no count of the rest.
    const QStringList addresses = Market::readItemAddresses(Market::decodeTextFile(bytes));
    Fuzz::check(addresses.size() <= Market::maxImportedAddresses, "an address list above the cap");
    for (const QString &address : addresses)
        Core::trimSpaces(Market::itemCodeFromAddress(address));
    return 0;
}
