#include "shoppages.h"

#include "gbkcodec.h"
#include "httprequest.h"
#include "itemcatalog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

namespace {

constexpr int MaxGeneratedItems = 100'000;
// Page links shown around the current page.
constexpr int PagerWindow = 10;

const QByteArray HtmlType = "text/html; charset=GBK";

// "网址ID:CODE：title" lines of the sample list, by code.
std::optional<QHash<QString, QString>> readSampleNames(const QString &file, QString *error)
{
    QHash<QString, QString> names;
    QFile list(file);
    if (!list.open(QIODevice::ReadOnly)) {
        *error = u"cannot read "_s + file + u": "_s + list.errorString();
        return std::nullopt;
    }
    const QString text = QString::fromUtf8(list.readAll());
    for (QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
        line = line.trimmed();
        if (!line.startsWith(u"网址ID:"))
            continue;
        line = line.sliced(5);
        const qsizetype separator = line.indexOf(u'：');
        if (separator > 0)
            names.insert(line.first(separator).toString(), line.sliced(separator + 1).toString());
    }
    return names;
}

QString priceText(const QString &fen)
{
    bool ok = false;
    const qlonglong value = fen.trimmed().toLongLong(&ok);
    if (!ok)
        return fen.toHtmlEscaped();
    return u"￥"_s + QString::number(value / 100) + u'.' +
           QString::number(value % 100).rightJustified(2, u'0');
}

QString firstPicture(const ShopItem &item)
{
    for (const QString &url : item.pictures()) {
        if (!url.isEmpty())
            return url;
    }
    return {};
}

int pageNumber(const HttpRequest &request)
{
    bool ok = false;
    const int page = request.queryItem(u"p").trimmed().toInt(&ok);
    return ok && page >= 1 ? page : 1;
}

QString pageHead(const QString &title)
{
    return u"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
           u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
           u"<html xmlns=\"http://www.w3.org/1999/xhtml\">\n<head>\n"
           u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\n<title>"_s +
           title +
           u"</title>\n<link rel=\"stylesheet\" type=\"text/css\" "
           u"href=\"http://static.paipaiimg.com/css/shop/shop.css\" />\n"
           u"</head>\n<body>\n"_s;
}

const QString PageFoot =
    u"<div class=\"shop-foot\">Copyright &copy; 拍拍网 版权所有</div>\n</body>\n</html>\n"_s;

} // namespace

bool ShopPages::load(const QString &shopsFile, const QString &sampleListFile, const ItemCatalog &items,
                     QString *error)
{
    QFile file(shopsFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read "_s + shopsFile + u": "_s + file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject() || !document.object().value(u"shops").isArray()) {
        *error = shopsFile + u": expected {\"shops\": [...]} ("_s + parseError.errorString() + u')';
        return false;
    }
    const auto sampleNames = readSampleNames(sampleListFile, error);
    if (!sampleNames)
        return false;

    static const QRegularExpression shopNumber(u"^\\d{1,12}$"_s);
    static const QRegularExpression relativePath(u"^[A-Za-z0-9_.-]+(/[A-Za-z0-9_.-]+)*$"_s);
    for (const QJsonValue &value : document.object().value(u"shops").toArray()) {
        const QJsonObject entry = value.toObject();
        Shop shop;
        shop.number = entry.value(u"number").toString();
        const auto fail = [&](const QString &what) {
            *error =
                shopsFile + u": shop "_s + (shop.number.isEmpty() ? u"?"_s : shop.number) + u": "_s + what;
            return false;
        };
        if (!shopNumber.match(shop.number).hasMatch())
            return fail(u"number must be 1 to 12 digits"_s);
        if (m_byNumber.contains(shop.number))
            return fail(u"listed twice"_s);
        shop.name = entry.value(u"name").toString();
        shop.host = entry.value(u"host").toString();
        shop.itemHost = entry.value(u"itemHost").toString();
        shop.linkQuery = entry.value(u"linkQuery").toString();
        shop.movedList = entry.value(u"movedList").toString();
        if (shop.name.isEmpty() || shop.host.isEmpty() || shop.itemHost.isEmpty())
            return fail(u"name, host and itemHost are needed"_s);
        if (!shop.movedList.isEmpty() &&
            (!relativePath.match(shop.movedList).hasMatch() || shop.movedList == u"list.xhtml" ||
             shop.movedList == u"search.xhtml" || shop.movedList == u"index.shtml"))
            return fail(u"movedList must be another relative path"_s);

        const QJsonValue generated = entry.value(u"generated");
        if (generated.isObject()) {
            const qint64 seed = generated[u"seed"].toInteger(-1);
            const qint64 count = generated[u"count"].toInteger(-1);
            if (seed < 0 || seed > 0xFFFFFFFFLL || count < 1 || count > MaxGeneratedItems)
                return fail(u"generated needs a seed (0 to 4294967295) and a count (1 to 100000)"_s);
            shop.generated =
                GeneratedShop(quint32(seed), int(count), generated[u"sharedPictures"].toBool(false));
        } else if (entry.value(u"items").isArray()) {
            for (const QJsonValue &codeValue : entry.value(u"items").toArray()) {
                const QString code = codeValue.toString();
                QString name = sampleNames->value(code);
                if (name.isEmpty()) {
                    // Written as the item service knows it: upper case, or a hostile code exactly.
                    const auto item = items.find(code);
                    if (!item || item->code() != code)
                        return fail(code + u" is neither in the sample list nor a sample item"_s);
                    name = item->title();
                }
                if (shop.codes.contains(code))
                    return fail(code + u" listed twice"_s);
                shop.codes.append(code);
                shop.names.append(name);
            }
        } else {
            return fail(u"needs items or generated"_s);
        }

        for (const QJsonValue &categoryValue : entry.value(u"categories").toArray()) {
            const QJsonObject object = categoryValue.toObject();
            Category category;
            category.lm = object.value(u"lm").toString();
            category.key = object.value(u"key").toString();
            category.name = object.value(u"name").toString();
            if (category.lm.isEmpty() || category.lm == AllCategories || category.name.isEmpty())
                return fail(u"a category needs its own lm and a name"_s);
            for (const QJsonValue &codeValue : object.value(u"items").toArray()) {
                const QString code = codeValue.toString();
                const int position =
                    shop.generated ? shop.generated->indexOf(code) : int(shop.codes.indexOf(code));
                if (position < 0)
                    return fail(u"category "_s + category.lm + u": "_s + code + u" is not in the shop"_s);
                category.items.append(position);
            }
            shop.categories.append(category);
        }

        bool encodable = false;
        GbkCodec::encode(QString(shop.name + shop.names.join(QString())), &encodable);
        if (!encodable)
            return fail(u"has characters GBK cannot hold"_s);
        m_byNumber.insert(shop.number, m_shops.size());
        m_shops.append(shop);
    }
    return true;
}

QList<GeneratedShop> ShopPages::generatedShops() const
{
    QList<GeneratedShop> shops;
    for (const Shop &shop : m_shops) {
        if (shop.generated)
            shops.append(*shop.generated);
    }
    return shops;
}

std::optional<HttpResponse> ShopPages::route(const HttpRequest &request, const ItemCatalog &items) const
{
    static const QRegularExpression shopPath(u"^/(\\d{1,12})(/.*)?$"_s);
    // The item-list address buyers see: /NUMBER/-CATEGORY-/KEY/
    static const QRegularExpression categoryPath(u"^/-(\\d*)-(?:/([^/]*))?/?$"_s);

    const QRegularExpressionMatch match = shopPath.match(request.path());
    if (!match.hasMatch())
        return std::nullopt;
    const auto found = m_byNumber.constFind(match.captured(1));
    const Shop *shop = found == m_byNumber.constEnd() ? nullptr : &m_shops.at(*found);
    const QString rest = match.captured(2);
    const int page = pageNumber(request);

    if (rest.isEmpty() || rest == u"/" || rest == u"/index.shtml") {
        if (!shop)
            return std::nullopt;
        return frontPage(*shop, items);
    }

    // An unknown shop still gets a listing page: one that lists nothing.
    const Listing nothing{u"店铺不存在或已关闭"_s, {}, false, {}};
    if (rest == u"/list.xhtml") {
        if (!shop)
            return listingPage(nullptr, nothing, page, items);
        if (!shop->movedList.isEmpty()) {
            const QString target = u"http://"_s + shop->host + u'/' + shop->number + u'/' + shop->movedList +
                                   (request.query().isEmpty() ? QString() : u'?' + request.query());
            HttpResponse moved = HttpResponse::htmlPage(302, u"The document has moved to "_s + target);
            moved.addHeader("Location", target.toLatin1());
            return moved;
        }
        return listingPage(shop, wholeShop(*shop, u"list.xhtml"_s), page, items);
    }
    if (rest == u"/search.xhtml") {
        if (!shop)
            return listingPage(nullptr, nothing, page, items);
        return listingPage(shop, selection(*shop, request.queryItem(u"lm"), request.queryItem(u"key")), page,
                           items);
    }
    if (const QRegularExpressionMatch category = categoryPath.match(rest); category.hasMatch()) {
        if (!shop)
            return listingPage(nullptr, nothing, page, items);
        return listingPage(shop, selection(*shop, category.captured(1), category.captured(2)), page, items);
    }
    if (shop && !shop->movedList.isEmpty() && rest == u'/' + shop->movedList)
        return listingPage(shop, wholeShop(*shop, shop->movedList), page, items);
    return std::nullopt;
}

ShopPages::Listing ShopPages::wholeShop(const Shop &shop, const QString &listPath) const
{
    Listing listing;
    listing.heading = u"全部宝贝"_s;
    listing.all = true;
    listing.pagerBase = u"http://"_s + shop.host + u'/' + shop.number + u'/' + listPath + u"?lm="_s +
                        AllCategories.toString() + u"&p="_s;
    return listing;
}

ShopPages::Listing ShopPages::selection(const Shop &shop, const QString &lm, const QString &key) const
{
    Listing listing;
    listing.pagerBase = u"http://"_s + shop.host + u'/' + shop.number + u"/search.xhtml?lm="_s +
                        QString::fromLatin1(QUrl::toPercentEncoding(lm)) + u"&key="_s +
                        QString::fromLatin1(QUrl::toPercentEncoding(key)) + u"&p="_s;
    const bool anyCategory = lm.isEmpty() || lm == AllCategories;
    if (anyCategory && key.isEmpty()) {
        listing.heading = u"全部宝贝"_s;
        listing.all = true;
        return listing;
    }
    for (const Category &category : shop.categories) {
        if ((anyCategory || lm == category.lm) && (key.isEmpty() || key == category.key)) {
            listing.heading = category.name;
            listing.items = category.items;
            return listing;
        }
    }
    listing.heading = u"没有找到相关宝贝"_s;
    return listing;
}

QString ShopPages::itemEntry(const Shop &shop, int position, const ItemCatalog &items) const
{
    QString code;
    QString name;
    std::optional<ShopItem> item;
    if (shop.generated) {
        item = shop.generated->itemAt(position);
        code = item->code();
        name = item->title();
    } else {
        code = shop.codes.at(position);
        name = shop.names.at(position);
        item = items.find(code);
    }
    const QString link = QString(u"http://"_s + shop.itemHost + u'/' + code +
                                 (shop.linkQuery.isEmpty() ? QString() : u'?' + shop.linkQuery))
                             .toHtmlEscaped();
    const QString escapedName = name.toHtmlEscaped();
    const QString picture = item ? firstPicture(*item) : QString();
    const QString image = picture.isEmpty() ? u"<span class=\"nopic\">暂无图片</span>"_s
                                            : u"<img src=\""_s + picture.toHtmlEscaped() +
                                                  u"\" width=\"160\" height=\"160\" alt=\"\" />"_s;
    const QString price = item ? priceText(item->value(u"itemPrice"_s)) : u"已下架"_s;
    return u"<li class=\"item\"><a href=\""_s + link + u"\" target=\"_blank\" title=\""_s + escapedName +
           u"\">"_s + image + u"</a><p class=\"title\"><a href=\""_s + link + u"\" target=\"_blank\">"_s +
           escapedName + u"</a></p><p class=\"price\">"_s + price + u"</p></li>\n"_s;
}

HttpResponse ShopPages::listingPage(const Shop *shop, const Listing &listing, int page,
                                    const ItemCatalog &items) const
{
    const qint64 total = !shop ? 0 : listing.all ? shop->count() : listing.items.size();
    const qint64 pages = std::max<qint64>(1, (total + ItemsPerPage - 1) / ItemsPerPage);
    const qint64 first = qint64(page - 1) * ItemsPerPage;
    const qint64 end = std::min<qint64>(total, first + ItemsPerPage);

    QString html = pageHead(listing.heading + (shop ? u" - "_s + shop->name : QString()) + u" - 拍拍网"_s);
    if (shop) {
        const QString home = u"http://"_s + shop->host + u'/' + shop->number;
        html += u"<div class=\"shop-head\"><a class=\"shop-name\" href=\""_s + home + u"\">"_s +
                shop->name.toHtmlEscaped() + u"</a><span class=\"shop-id\">店铺号："_s + shop->number +
                u"</span></div>\n<div class=\"shop-nav\"><a href=\""_s + home + u"\">首页</a>"_s;
        for (const Category &category : shop->categories) {
            html += u" <a href=\""_s + home + u"/-"_s + category.lm + u"-/"_s +
                    QString::fromLatin1(QUrl::toPercentEncoding(category.key)) + u"/\">"_s +
                    category.name.toHtmlEscaped() + u"</a>"_s;
        }
        html += u"</div>\n"_s;
    }
    html += u"<div class=\"list-bar\"><h3>"_s + listing.heading.toHtmlEscaped() +
            u"</h3><div class=\"total\">共<b>"_s + QString::number(total) + u"</b>件宝贝</div>"_s +
            u"<div class=\"page-info\">第<b>"_s + QString::number(page) + u"</b>/<b>"_s +
            QString::number(pages) + u"</b>页</div></div>\n<ul class=\"itemlist\">\n"_s;
    for (qint64 i = first; i < end; ++i)
        html += itemEntry(*shop, listing.all ? int(i) : listing.items.at(i), items);
    html += u"</ul>\n"_s;
    if (first >= end)
        html += u"<p class=\"empty\">没有找到相关宝贝。</p>\n"_s;

    if (shop && pages > 1) {
        const QString base = listing.pagerBase.toHtmlEscaped();
        html += u"<div class=\"pager\">"_s;
        if (page > 1)
            html += u"<a class=\"prev\" href=\""_s + base + QString::number(page - 1) + u"\">上一页</a>"_s;
        const qint64 from =
            std::clamp<qint64>(page - PagerWindow / 2, 1, std::max<qint64>(1, pages - PagerWindow + 1));
        for (qint64 n = from; n <= std::min(pages, from + PagerWindow - 1); ++n) {
            if (n == page)
                html += u" <b>"_s + QString::number(n) + u"</b>"_s;
            else
                html +=
                    u" <a href=\""_s + base + QString::number(n) + u"\">"_s + QString::number(n) + u"</a>"_s;
        }
        if (page < pages)
            html += u" <a class=\"next\" href=\""_s + base + QString::number(page + 1) + u"\">下一页</a>"_s;
        html += u"</div>\n"_s;
    }
    html += PageFoot;
    return HttpResponse(200, HtmlType, GbkCodec::encode(html));
}

HttpResponse ShopPages::frontPage(const Shop &shop, const ItemCatalog &items) const
{
    const QString home = u"http://"_s + shop.host + u'/' + shop.number;
    const QString name = shop.name.toHtmlEscaped();
    QString html = pageHead(name + u" - 拍拍网店铺"_s);
    html +=
        u"<div class=\"shop-head\"><h1>"_s + name + u"</h1><span class=\"shop-id\">店铺号："_s + shop.number +
        u"</span><span class=\"credit\">信用：<img src=\"http://static.paipaiimg.com/img/credit/3.gif\" alt=\"三钻\" /></span></div>\n"_s;
    html += u"<div class=\"shop-nav\"><a href=\""_s + home + u"\">首页</a> <a href=\""_s + home +
            u"/list.xhtml?lm="_s + AllCategories.toString() + u"&amp;p=1\">全部宝贝("_s +
            QString::number(shop.count()) + u")</a>"_s;
    for (const Category &category : shop.categories) {
        html += u" <a href=\""_s + home + u"/-"_s + category.lm + u"-/"_s +
                QString::fromLatin1(QUrl::toPercentEncoding(category.key)) + u"/\">"_s +
                category.name.toHtmlEscaped() + u"("_s + QString::number(category.items.size()) + u")</a>"_s;
    }
    html += u"</div>\n<div class=\"shop-intro\"><p>欢迎光临"_s + name +
            u"！本店商品均为实物拍摄，下单前请联系客服确认库存。</p></div>\n"
            u"<div class=\"recommend\"><h3>掌柜推荐</h3>\n"_s;
    // The front page only shows a few; the listing has them all.
    const int shown = std::min(shop.count(), 8);
    for (int i = 0; i < shown; ++i) {
        QString entry = itemEntry(shop, i, items);
        entry.replace(u"<li class=\"item\">"_s, u"<div class=\"rec-item\">"_s);
        entry.replace(u"</li>"_s, u"</div>"_s);
        html += entry;
    }
    html += u"</div>\n"_s + PageFoot;
    return HttpResponse(200, HtmlType, GbkCodec::encode(html));
}

} // namespace Sandbox
