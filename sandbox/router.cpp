#include "router.h"

#include "gateway.h"
#include "httprequest.h"
#include "itemcatalog.h"
#include "itemdocument.h"
#include "picturestore.h"
#include "shoppages.h"
#include "staticfiles.h"
#include "stockpages.h"
#include "updatefiles.h"

using namespace Qt::Literals::StringLiterals;

namespace Sandbox {

Router::Router(const ItemCatalog &items, const PictureStore &pictures, const StaticFiles &files,
               const StockPages &stock, const ShopPages &shops)
    : m_items(items), m_pictures(pictures), m_files(files), m_stock(stock), m_shops(shops)
{
}

HttpResponse Router::route(const HttpRequest &request) const
{
    const QString path = request.path();
    if (path == u"/item/getItem.xhtml")
        return itemService(request);
    if (auto reply = m_gateway ? m_gateway->route(request) : std::nullopt)
        return *reply;
    if (auto file = m_updateFiles ? m_updateFiles->find(path) : std::nullopt)
        return *file;
    if (auto file = m_files.find(path))
        return *file;
    if (auto picture = m_pictures.find(path))
        return *picture;
    if (auto page = itemPage(path))
        return *page;
    if (auto page = stockPage(path))
        return *page;
    if (auto page = m_shops.route(request, m_items))
        return *page;
    return HttpResponse::htmlPage(404, u"The requested URL "_s + path + u" was not found on this server."_s);
}

HttpResponse Router::itemService(const HttpRequest &request) const
{
    // The service reports its own errors inside a normal 200 answer.
    const QString code = request.queryItem(u"itemCode").trimmed();
    if (code.isEmpty()) {
        return HttpResponse(
            200, ItemDocument::contentType(),
            ItemDocument::renderError(ItemDocument::MissingCodeError, u"参数错误：itemCode不能为空"_s));
    }
    const auto item = m_items.find(code);
    if (!item) {
        return HttpResponse(
            200, ItemDocument::contentType(),
            ItemDocument::renderError(ItemDocument::UnknownItemError, u"商品不存在或已下架"_s));
    }
    return HttpResponse(200, ItemDocument::contentType(), ItemDocument::render(*item));
}

std::optional<HttpResponse> Router::itemPage(const QString &path) const
{
    // http://auction1.paipai.com/CODE, the address a buyer sees.
    const QStringView code = QStringView(path).sliced(1);
    if (!ShopItem::isItemCode(code.toString().toUpper()))
        return std::nullopt;
    const auto item = m_items.find(code);
    if (!item)
        return std::nullopt;
    return HttpResponse(200, "text/html; charset=GBK", ItemDocument::renderPage(*item));
}

std::optional<HttpResponse> Router::stockPage(const QString &path) const
{
    // http://auction1.paipai.com/stock/CODE.xhtml
    static constexpr QStringView Prefix = u"/stock/";
    static constexpr QStringView Suffix = u".xhtml";
    if (!path.startsWith(Prefix) || !path.endsWith(Suffix))
        return std::nullopt;
    return m_stock.find(QStringView(path).sliced(Prefix.size()).chopped(Suffix.size()), m_items);
}

} // namespace Sandbox
