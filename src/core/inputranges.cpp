#include "inputranges.h"

#include "text.h"

#include <cmath>

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

InputRange pricePercentRange()
{
    return {1, 10000, false, u"请输入1至10000之间的数字"_s};
}

InputRange priceDecimalsRange()
{
    return {0, 5, true, u"请输入0至5之间的整数"_s};
}

InputRange stockValueRange()
{
    return {0, 1e9, false, u"请输入0至1000000000之间的数字"_s};
}

} // namespace Core
