// The item service's reply: the document check, field extraction and everything the export
// derives from the record (title, folder name, main pictures, the values of a row).

#include "fuzzinput.h"

#include "core/text.h"
#include "export/itemvalues.h"
#include "export/layouts.h"
#include "market/itemlist.h"
#include "market/itemservice.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// The fields the export, the collection run and `quorvex-cli item` ask for.
const QStringList &fieldLists()
{
    static const QStringList lists = {
        u"itemName"_s,
        u"errorCode,errorMessage"_s,
        u"itemName,itemPrice,stockCount,sellerPayFreight,expressPrice,emsPrice,provinceId,cityId"_s,
        u" picLink , picLink1,picLink2,,picLink3,picLink4 "_s,
        u"item_img"_s, // a list naming pictures of the platform asks for the whole <item>
        u"detailInfo,attr,itemLocalCode"_s,
    };
    return lists;
}

void checkFolderName(const QString &name)
{
    if (name.isEmpty())
        return;
    Fuzz::check(name != u"."_s && name != u".."_s, "the item folder is . or ..");
    Fuzz::check(Core::removeControlCharacters(name) == name, "the item folder holds control characters");
    for (const QChar c : u"/\\:"_s)
        Fuzz::check(!name.contains(c), "the item folder holds a separator or a drive colon");
    Fuzz::check(Core::isPathInside(u"/fuzz/pictures"_s, u"/fuzz/pictures/"_s + name),
                "the item folder leaves the picture folder");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = Fuzz::inputBytes(data, size);
    const Market::ItemDocument document(bytes.isEmpty() ? QString() : Core::decodeAnsi(bytes));

    Market::isCompleteDocument(document.source());
    const bool hasItem = document.hasItem();
    Core::DecodeHtmlEntities(document.field(u"errorMessage"_s));
    for (const QString &list : fieldLists()) {
        const QString result = document.fields(list);
        Fuzz::check(!result.isEmpty(), "a field result is empty instead of the blank result");
    }
    if (!hasItem)
        return 0;

    const QString title = Export::itemTitle(document.field(u"itemName"_s));
    const QString code = Core::trimSpaces(document.field(u"itemCode"_s));
    checkFolderName(Export::itemFolderName(title, code));
    Market::isItemCode(code);

    Export::ValueInputs inputs;
    inputs.title = title;
    inputs.pictureUrls = Export::mainPictureUrls(document);
    for (qsizetype i = 0; i < inputs.pictureUrls.size(); ++i)
        inputs.pictureSuffixes << (i % 2 ? u".JPG"_s : u"."_s);
    inputs.descriptionFile = Export::descriptionFileName(title);
    inputs.stockFile = Export::stockFileName(code);
    Core::Adjustments adjustments;
    QStringList values = Export::paipaiValues(document, inputs, adjustments);
    Fuzz::check(values.size() == Export::paipaiColumnCount, "the Paipai values are not 45");
    adjustments.adjustPrice = true;
    adjustments.pricePercent = u"110"_s;
    adjustments.priceDecimals = u"2"_s;
    adjustments.adjustStock = true;
    adjustments.stockValue = u"7"_s;
    values = Export::paipaiValues(document, inputs, adjustments);
    for (QString &value : values)
        value = Core::removeControlCharacters(value);

    Export::paipaiRow(values);
    values[Export::PaipaiColumn::Validity] = u"7"_s;
    for (const Export::OutputType type : {Export::OutputType::Taobao4, Export::OutputType::Taobao5})
        Export::taobaoRow(type, values,
                          {u"<p>desc</p>"_s, inputs.pictureUrls, u"2024-01-02 03:04:05"_s, u"nick"_s});
    return 0;
}
