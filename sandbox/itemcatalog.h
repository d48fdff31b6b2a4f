#pragma once

#include "generatedshop.h"
#include "shopitem.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace Sandbox {

// Every item the item service can answer for: the hand-written samples and the generated shop.
class ItemCatalog
{
public:
    ItemCatalog(quint32 seed, int shopItems, bool sharedPictures = false);

    bool loadSamples(const QString &itemsFile, QString *error);
    // Items made to break clients: their codes may look like paths ("../../x", "C:\\x"),
    // and such codes are matched exactly. Real item codes among them behave like samples.
    bool loadHostile(const QString &itemsFile, QString *error);
    // A generated shop served besides the command line's one (the shop pages' own shops).
    void addShop(const GeneratedShop &shop);

    // code as a client sent it: surrounding spaces and letter case do not matter.
    std::optional<ShopItem> find(QStringView code) const;
    // True for the items of a generated shop, which are computed rather than stored.
    bool isGenerated(QStringView code) const;
    const GeneratedShop &shop() const { return m_shop; }
    QList<ShopItem> samples() const { return m_samples.values(); }

    // The shop's item list as the shop page export gives it: GBK, CR LF, one
    // "网址ID:CODE：title" line per item. Without a generated shop the sample list is written.
    bool writeList(const QString &file, const QString &sampleListFile, QString *error) const;

    static QString listLine(const QString &code, const QString &title);

private:
    bool load(const QString &itemsFile, bool anyCode, QString *error);

    QHash<QString, ShopItem> m_samples;
    // Codes that are not item codes, by their exact text.
    QHash<QString, ShopItem> m_exactCodes;
    GeneratedShop m_shop;
    QList<GeneratedShop> m_extraShops;
};

} // namespace Sandbox
