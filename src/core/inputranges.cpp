#include "inputranges.h"

#include "text.h"

#include <cmath>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace Core {

bool InputRange::accepts(const QString &text) const
{
    if (!isNumericWithin(text, lowest, highest))
        return false;
    if (!wholeNumber)
        return true;
    const double value = trimSpaces(text).toDouble();
    return std::floor(value) == value;
}

InputRange pricePercentInput()
{
    return {1, 10000, false, u"请输入1至10000之间的数字"_s};
}

InputRange priceDecimalsInput()
{
    return {1, 5, false, u"请输入1至5之间的数字"_s};
}

InputRange stockValueInput()
{
    constexpr double any = std::numeric_limits<double>::infinity();
    return {-any, any, false, u"请输入数字"_s};
}

InputRange pricePercentOption()
{
    return pricePercentInput();
}

InputRange priceDecimalsOption()
{
    InputRange range = priceDecimalsInput();
    range.lowest = 0;
    range.wholeNumber = true;
    return range;
}

InputRange stockValueOption()
{
    return {0, 1e9, false, u"请输入数字"_s};
}

} // namespace Core
