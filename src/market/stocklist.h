#pragma once

#include "core/adjustments.h"

#include <QString>
#include <QStringList>

namespace Core {
class HttpClient;
struct Config;
} // namespace Core

namespace Market {

// The markers of the stock page, read once per run from the maker's "ks_set.htm".
struct StockParameters
{
    QStringList table = QStringList(51);
    bool loaded = false;

    static StockParameters fetch(Core::HttpClient &client, const Core::Config &config);
    // The stock page's address for an item; empty when the parameters are missing.
    QString pageAddress(const QString &itemCode) const;
};

// The stock-list fragment of one item from its stock page. With empty parameters
// it is the stub `""" StockPicPath=""/>`.
QString composeStockList(const QStringList &slots, const QString &page,
                         const Core::Adjustments &adjustments = {});

// Fetches the item's stock page and composes its fragment.
QString BuildStockList(Core::HttpClient &client, const StockParameters &parameters, const QString &itemCode,
                       const Core::Adjustments &adjustments = {});

} // namespace Market
