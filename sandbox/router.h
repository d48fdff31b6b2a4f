#pragma once

#include "httpresponse.h"

namespace Sandbox {

class Gateway;
class HttpRequest;
class ItemCatalog;
class PictureStore;
class ShopPages;
class StaticFiles;
class StockPages;
class UpdateFiles;

// Answers a request the way the outside services would. Routing is by path alone:
// every host name reaches the same services, so the product may use any it likes.
class Router
{
public:
    Router(const ItemCatalog &items, const PictureStore &pictures, const StaticFiles &files,
           const StockPages &stock, const ShopPages &shops);

    HttpResponse route(const HttpRequest &request) const;
    // The open-platform gateway and the sellers' listing pages, when served.
    void setGateway(const Gateway *gateway) { m_gateway = gateway; }
    // The version file and update downloads set on the command line.
    void setUpdateFiles(const UpdateFiles *files) { m_updateFiles = files; }

private:
    HttpResponse itemService(const HttpRequest &request) const;
    std::optional<HttpResponse> itemPage(const QString &path) const;
    std::optional<HttpResponse> stockPage(const QString &path) const;

    const ItemCatalog &m_items;
    const PictureStore &m_pictures;
    const StaticFiles &m_files;
    const StockPages &m_stock;
    const ShopPages &m_shops;
    const Gateway *m_gateway = nullptr;
    const UpdateFiles *m_updateFiles = nullptr;
};

} // namespace Sandbox
