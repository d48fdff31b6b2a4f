#pragma once

#include "httpresponse.h"
#include "shopitem.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace Sandbox {

class ItemCatalog;

// The stock pages of the item host (http://auction1.paipai.com/stock/CODE.xhtml): the
// variants a buyer picks from, each with its property text, its price in fen and its
// quantity. Sample items have theirs in data/stock.json; generated items get two
// variants made from their own values; every other item answers 404.
class StockPages
{
public:
    struct Variant
    {
        QString properties; // "颜色:驼色;尺码:M"
        QString price;      // fen, as text: the odd page says "面议"
        QString quantity;
    };

    struct Page
    {
        QList<Variant> variants; // none: the page says the item has no variants
        // The section's last row lacks its </tr>, as a broken page template leaves it.
        bool lastRowUnclosed = false;
        // The size suffix of the thumbnail in the picture area.
        QString thumbnail = QStringLiteral(".80x80.jpg");
    };

    bool load(const QString &stockFile, const ItemCatalog &items, QString *error);

    // code as it appears in the path; letter case does not matter.
    std::optional<HttpResponse> find(QStringView code, const ItemCatalog &items) const;

    static Page generatedPage(const ShopItem &item);
    static QByteArray render(const ShopItem &item, const Page &page);

private:
    QHash<QString, Page> m_pages;
};

} // namespace Sandbox
