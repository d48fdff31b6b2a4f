#include "adjustments.h"

#include "decimal.h"
#include "text.h"

using namespace Qt::Literals::StringLiterals;

namespace Core {

QString Adjustments::adjustedPrice(const QString &price) const
{
    if (!adjustPrice)
        return price;
    const auto percent = Decimal::parse(pricePercent);
    const auto value = Decimal::parse(price);
    if (!percent || !value || !isNumeric(priceDecimals))
        return price;
    const int decimals = qBound(0, int(trimSpaces(priceDecimals).toDouble()), 10);
    return value->multipliedBy(*percent).shifted(-2).toFixed(decimals);
}

QString Adjustments::adjustedQuantity(const QString &quantity) const
{
    if (!adjustStock)
        return quantity;
    return isNumeric(stockValue) ? trimSpaces(stockValue) : u"100"_s;
}

} // namespace Core
