#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace Sandbox {

// The sellers the open-platform gateway and their listing pages know, from data/sellers.json.
class SellerCatalog
{
public:
    struct Item
    {
        QString numIid;
        QString title;
        QString price;
        QString postageId;            // empty: the item has no postage template
        std::optional<QString> state; // nullopt: the location has no state element
        QString city;
    };

    struct Category
    {
        QString cid;
        QString parentCid;
        QString name;
    };

    struct Seller
    {
        QString nick;
        bool listedByItemsCall = true; // false: taobao.items.get finds none of the items
        QList<Item> items;             // newest first, as the listing page shows them
        QList<Category> categories;    // in the platform's order
    };

    bool load(const QString &sellersFile, QString *error);

    // Nicks compare exactly, as the platform compares them.
    const Seller *seller(const QString &nick) const;
    // The item and the seller it belongs to, by item id.
    std::optional<std::pair<const Seller *, Item>> item(const QString &numIid) const;

private:
    QList<Seller> m_sellers;
    QHash<QString, qsizetype> m_byNick;
    QHash<QString, std::pair<qsizetype, qsizetype>> m_byItem;
};

} // namespace Sandbox
