// The open platform's replies (UTF-8 XML) as the seller lookup reads them: the first item of
// taobao.items.get, the postage and location fields of taobao.item.get, the categories of
// taobao.sellercats.list.get with the category step, and an error_response.

#include "fuzzinput.h"

#include "core/text.h"
#include "market/itemservice.h"
#include "market/openplatform.h"
#include "market/sellerlookup.h"

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = Fuzz::inputBytes(data, size);
    const QString reply = bytes.isEmpty() ? QString() : Core::DecodeCharset(bytes, "utf-8");

    Market::readPlatformError(reply);
    Core::CleanField(Market::readFirstItemId(reply));
    Market::ExtractItemFields(reply, u"postage_id"_s);
    Market::readSellerLocation(Market::ExtractItemFields(reply, u"location"_s));

    const QList<Market::SellerCategory> categories = Market::readSellerCategories(reply);
    Market::joinSellerCategories(categories);
    QList<int> rows;
    for (int row = int(categories.size()); row >= -1; --row)
        rows << row;
    const Market::SellerCategorySelection selection = Market::selectSellerCategories(categories, rows);
    Fuzz::check(selection.categoryIds.startsWith(u','), "the category ids do not start with a comma");
    return 0;
}
