#pragma once

#include "generatedshop.h"
#include "httpresponse.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace Sandbox {

class HttpRequest;
class ItemCatalog;

// The shop host's pages (shop.paipai.com, shop.wanggou.com): a shop's front page, its
// listing of every item and its item lists (a category and listing key), 40 items a page.
// The shops are described in data/shops.json: hand-picked sample items, or a generated
// shop of its own seed whose items the item service then serves as well.
class ShopPages
{
public:
    static constexpr int ItemsPerPage = 40;
    // The category number of a whole shop.
    static constexpr QStringView AllCategories = u"0000000000";

    bool load(const QString &shopsFile, const QString &sampleListFile, const ItemCatalog &items,
              QString *error);

    // Every generated shop the pages list.
    QList<GeneratedShop> generatedShops() const;

    // Paths under "/NUMBER"; nullopt for any other path.
    std::optional<HttpResponse> route(const HttpRequest &request, const ItemCatalog &items) const;

private:
    struct Category
    {
        QString lm;
        QString key;
        QString name;
        QList<int> items; // positions in the shop's own list
    };

    struct Shop
    {
        QString number;
        QString name;
        QString host;
        QString itemHost;
        QString linkQuery; // added to item links, e.g. "ptag=list"; empty for none
        QString movedList; // where list.xhtml now lives (relative to the shop), empty when it has not moved
        QStringList codes; // sample shops
        QStringList names;
        std::optional<GeneratedShop> generated;
        QList<Category> categories;

        int count() const { return generated ? generated->count() : int(codes.size()); }
    };

    struct Listing
    {
        QString heading;  // what the page lists
        QList<int> items; // positions in the shop's list; empty with all set
        bool all = false;
        QString pagerBase; // the page address without the page number at its end
    };

    Listing wholeShop(const Shop &shop, const QString &listPath) const;
    Listing selection(const Shop &shop, const QString &lm, const QString &key) const;
    HttpResponse listingPage(const Shop *shop, const Listing &listing, int page,
                             const ItemCatalog &items) const;
    HttpResponse frontPage(const Shop &shop, const ItemCatalog &items) const;
    QString itemEntry(const Shop &shop, int position, const ItemCatalog &items) const;

    QList<Shop> m_shops;
    QHash<QString, qsizetype> m_byNumber;
};

} // namespace Sandbox
