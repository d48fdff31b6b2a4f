#include "stockpages.h"

#include "gbkcodec.h"
#include "itemcatalog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

QString firstPicture(const ShopItem &item)
{
    for (const QString &url : item.pictures()) {
        if (!url.isEmpty())
            return url;
    }
    return {};
}

std::optional<QString> textField(const QJsonObject &object, const QString &name)
{
    const QJsonValue value = object.value(name);
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 15);
    return std::nullopt;
}

} // namespace

bool StockPages::load(const QString &stockFile, const ItemCatalog &items, QString *error)
{
    QFile file(stockFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read "_s + stockFile + u": "_s + file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject() || !document.object().value(u"stockPages").isArray()) {
        *error = stockFile + u": expected {\"stockPages\": [...]} ("_s + parseError.errorString() + u')';
        return false;
    }
    for (const QJsonValue &value : document.object().value(u"stockPages").toArray()) {
        const QJsonObject entry = value.toObject();
        const QString code = entry.value(u"itemCode").toString();
        const auto fail = [&](const QString &what) {
            *error = stockFile + u": "_s + (code.isEmpty() ? u"entry"_s : code) + u": "_s + what;
            return false;
        };
        // A stock page only makes sense next to an item document the service gives.
        if (!items.find(code) || items.isGenerated(code) || code != code.toUpper())
            return fail(u"not a sample item's code"_s);
        if (m_pages.contains(code))
            return fail(u"listed twice"_s);
        if (!entry.value(u"variants").isArray())
            return fail(u"variants must be a list"_s);

        Page page;
        for (const QJsonValue &variantValue : entry.value(u"variants").toArray()) {
            const QJsonObject object = variantValue.toObject();
            const auto properties = textField(object, u"properties"_s);
            const auto price = textField(object, u"price"_s);
            const auto quantity = textField(object, u"quantity"_s);
            if (!properties || !price || !quantity)
                return fail(u"each variant needs properties, price and quantity"_s);
            bool encodable = false;
            GbkCodec::encode(QString(*properties + *price + *quantity), &encodable);
            if (!encodable)
                return fail(u"a variant has characters GBK cannot hold"_s);
            page.variants.append({*properties, *price, *quantity});
        }
        page.lastRowUnclosed = entry.value(u"lastRowUnclosed").toBool();
        if (page.lastRowUnclosed && page.variants.isEmpty())
            return fail(u"lastRowUnclosed needs a row"_s);
        m_pages.insert(code, page);
    }
    return true;
}

std::optional<HttpResponse> StockPages::find(QStringView code, const ItemCatalog &items) const
{
    const QString normalised = code.toString().toUpper();
    if (!ShopItem::isItemCode(normalised))
        return std::nullopt;
    const auto stored = m_pages.constFind(normalised);
    if (stored != m_pages.constEnd()) {
        const auto item = items.find(normalised);
        if (!item)
            return std::nullopt;
        return HttpResponse(200, "text/html; charset=GBK", render(*item, *stored));
    }
    if (!items.isGenerated(normalised))
        return std::nullopt;
    const auto item = items.find(normalised);
    if (!item)
        return std::nullopt;
    return HttpResponse(200, "text/html; charset=GBK", render(*item, generatedPage(*item)));
}

StockPages::Page StockPages::generatedPage(const ShopItem &item)
{
    // The item's own colour and size, then the next size up at a little more; the
    // quantities add up to the item's stock.
    static const QStringList sizes = {u"S"_s, u"M"_s, u"L"_s, u"XL"_s};
    QString colour = u"默认"_s;
    QString size = sizes.first();
    for (const QString &part : item.value(u"attr"_s).split(u'|')) {
        if (part.startsWith(u"颜色:"))
            colour = part.mid(3);
        else if (part.startsWith(u"尺码:"))
            size = part.mid(3);
    }
    const QString nextSize = sizes.value((sizes.indexOf(size) + 1) % sizes.size());
    const qint64 price = item.value(u"itemPrice"_s).toLongLong();
    const qint64 stock = item.value(u"stockCount"_s).toLongLong();

    Page page;
    page.thumbnail = u".120x120.jpg"_s;
    page.variants.append(
        {u"颜色:"_s + colour + u";尺码:"_s + size, QString::number(price), QString::number((stock + 1) / 2)});
    page.variants.append({u"颜色:"_s + colour + u";尺码:"_s + nextSize, QString::number(price + 500),
                          QString::number(stock / 2)});
    return page;
}

QByteArray StockPages::render(const ShopItem &item, const Page &page)
{
    const QString title = item.title().toHtmlEscaped();
    QString html = u"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                   u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
                   u"<html xmlns=\"http://www.w3.org/1999/xhtml\">\n<head>\n"
                   u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\n<title>"_s +
                   title +
                   u" - 库存信息 - 拍拍网</title>\n"
                   u"<link rel=\"stylesheet\" type=\"text/css\" "
                   u"href=\"http://static.paipaiimg.com/css/item/stock.css\" />\n"
                   u"</head>\n<body>\n<div class=\"stock-head\"><h2>"_s +
                   title + u"</h2><span class=\"code\">商品编号："_s + item.code() + u"</span></div>\n"_s;

    const QString picture = firstPicture(item);
    if (!picture.isEmpty()) {
        const QString side = page.thumbnail.section(u'x', 0, 0).mid(1);
        html += u"<div class=\"sku-pic\"><img src=\""_s + QString(picture + page.thumbnail).toHtmlEscaped() +
                u"\" width=\""_s + side + u"\" height=\""_s + side + u"\" alt=\""_s + title +
                u"\" /></div><!--/sku-pic-->\n"_s;
    }

    html += u"<div class=\"sku-box\" id=\"skuBox\">\n"_s;
    if (page.variants.isEmpty()) {
        html += u"<p class=\"sku-none\">本商品不区分颜色、尺码等库存属性，请直接购买。</p>\n"_s;
    } else {
        // The rows come out of the page template on one line.
        html += u"<table class=\"sku-table\" cellspacing=\"0\" cellpadding=\"0\">\n"
                u"<thead><tr><th>库存属性</th><th>价格(分)</th><th>库存(件)</th></tr></thead>\n"
                u"<tbody id=\"skuRows\">"_s;
        for (qsizetype i = 0; i < page.variants.size(); ++i) {
            const Variant &variant = page.variants.at(i);
            html += u"<tr class=\"sku\" data-sku=\""_s + QString::number(i + 1) +
                    u"\"><td class=\"prop\">"_s + variant.properties.toHtmlEscaped() +
                    u"</td><td class=\"price\">"_s + variant.price.toHtmlEscaped() +
                    u"</td><td class=\"num\">"_s + variant.quantity.toHtmlEscaped() + u"</td>"_s;
            if (!(page.lastRowUnclosed && i + 1 == page.variants.size()))
                html += u"</tr>"_s;
        }
        html += u"</tbody>\n</table>\n<p class=\"sku-count\">共"_s + QString::number(page.variants.size()) +
                u"种库存属性</p>\n"_s;
    }
    html += u"</div>\n<div class=\"stock-foot\">Copyright &copy; 拍拍网 版权所有</div>\n</body>\n</html>\n"_s;
    return GbkCodec::encode(html);
}

} // namespace Sandbox
