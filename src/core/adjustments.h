#pragma once

#include <QString>

namespace Core {

// Price and stock adjustment as the main window's options give them.
struct Adjustments
{
    bool adjustPrice = false;
    QString pricePercent = QStringLiteral("100");
    QString priceDecimals = QStringLiteral("0");
    bool adjustStock = false;
    QString stockValue = QStringLiteral("100");

    // price x percent / 100 with the decimals box's places, when both boxes are numbers.
    QString adjustedPrice(const QString &price) const;
    QString adjustedQuantity(const QString &quantity) const;
};

} // namespace Core
