#include "stocklist.h"

#include "core/decimal.h"
#include "core/httpclient.h"
#include "core/text.h"
#include "parampages.h"

#include <QLocale>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Market {

StockParameters StockParameters::fetch(Core::HttpClient &client, const Core::Config &config)
{
    StockParameters parameters;
    parameters.loaded = loadParamPage(client, config, ParamPage::Stock, parameters.table);
    return parameters;
}

QString StockParameters::pageAddress(const QString &itemCode) const
{
    QString address = table.value(0);
    address.replace(u"{spid}"_s, itemCode);
    return address;
}

namespace {

QString variantPrice(const QString &text, const Core::Adjustments &adjustments)
{
    if (!Core::isNumeric(text))
        return u"0"_s;
    return adjustments.adjustedPrice(Core::formatHundredths(text));
}

QString variantQuantity(const QString &text, const Core::Adjustments &adjustments)
{
    QString quantity = u"0"_s;
    if (Core::isNumeric(text))
        quantity =
            QLocale::c().toString(Core::trimSpaces(text).toDouble(), 'f', QLocale::FloatingPointShortest);
    return adjustments.adjustedQuantity(quantity);
}

} // namespace

QString composeStockList(const QStringList &slotTexts, const QString &page,
                         const Core::Adjustments &adjustments)
{
    const auto slot = [&slotTexts](int i) { return slotTexts.value(i); };

    // An empty no-variants marker is found in every page that is not empty.
    const bool noVariants = !page.isEmpty() && page.contains(slot(30));
    const QString section = noVariants ? QString() : Core::TextBetween(page, slot(3), slot(4));

    QString attribute = section;
    for (int deleted : {18, 19}) {
        if (!slot(deleted).isEmpty())
            attribute.remove(slot(deleted));
    }
    // The replacements come from the maker's page and the section from the stock page: a long
    // replacement of a frequent marker would multiply the two sizes. The copy may grow to four
    // times the section (a character written as an entity, say) or a megabyte; a copy that
    // would grow further is left out.
    const qsizetype maxCopyLength = std::max<qsizetype>(4 * section.size(), 1024 * 1024);
    for (int from : {20, 22}) {
        if (slot(from).isEmpty())
            continue;
        const std::optional<QString> replaced =
            Core::replacedWithin(attribute, slot(from), slot(from + 1), maxCopyLength);
        if (!replaced) {
            attribute.clear();
            break;
        }
        attribute = *replaced;
    }

    QStringList variants;
    const QString start = slot(7);
    const QString end = slot(8);
    // Without a start marker nothing would ever advance: such a page has no variants.
    QStringView rest(section);
    while (!start.isEmpty()) {
        const qsizetype at = rest.indexOf(start);
        if (at < 0)
            break;
        rest = rest.mid(at + start.size());
        const qsizetype close = rest.indexOf(end);
        if (close < 0)
            break; // a record without its end marker ends the list
        const QString record = rest.left(close).toString();
        rest = rest.mid(close + end.size());
        const QString property = Core::trimSpaces(Core::CutAfterMarkers(record, slot(9), slot(10), slot(11)));
        const QString price =
            variantPrice(Core::CutAfterMarkers(record, slot(12), slot(13), slot(14)), adjustments);
        const QString quantity =
            variantQuantity(Core::CutAfterMarkers(record, slot(15), slot(16), slot(17)), adjustments);
        variants << QString::number(variants.size()) + u'#' + property + u"~,"_s + Core::trimSpaces(price) +
                        u',' + Core::trimSpaces(quantity) + u',';
    }

    QString path = Core::TextBetween(Core::TextBetween(page, slot(28), slot(29)), slot(5), slot(6));
    for (int deleted : {26, 27}) {
        if (!slot(deleted).isEmpty())
            path.remove(slot(deleted));
    }

    return slot(1) + slot(25) + variants.join(u';') + u'"' + slot(24) + u'"' + attribute + u'"' +
           u" StockPicPath=\""_s + path + u"\"/>"_s;
}

QString BuildStockList(Core::HttpClient &client, const StockParameters &parameters, const QString &itemCode,
                       const Core::Adjustments &adjustments)
{
    const QString address = parameters.pageAddress(itemCode);
    const QString page =
        Core::isFetchableAddress(address) ? Core::HttpGetText(client, address, 1) : QString();
    return composeStockList(parameters.table, page, adjustments);
}

} // namespace Market
