// The city table script: province and city names looked up by the ids of an item record.
//
// Input: the ids ("provinceId cityId", as the item document gives them), "\n--8<--\n", the
// script (GBK as on the wire); an input without the separator is a script asked for a few
// fixed ids.

#include "fuzzinput.h"

#include "core/text.h"
#include "export/itemvalues.h"
#include "export/location.h"

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::TwoParts parts = Fuzz::splitInput(Fuzz::inputBytes(data, size));
    const Export::CityTable cities(parts.second.isEmpty() ? QString() : Core::decodeAnsi(parts.second));
    cities.isEmpty();

    QStringList ids = {u"0"_s, u"12"_s, u"112"_s, u"1004"_s, u" 33 "_s, u"-1"_s, u"1e6"_s, u"2.5"_s, u""_s};
    if (parts.split)
        ids = Core::decodeAnsi(parts.first).split(u' ');
    for (const QString &id : std::as_const(ids)) {
        Core::removeControlCharacters(cities.cityName(id));
        Core::removeControlCharacters(Export::cleanProvinceName(cities.provinceName(id)));
    }
    return 0;
}
