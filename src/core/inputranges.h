#pragma once

#include <QString>

// The number boxes of the main window and the CLI options that stand for them: the
// ranges live here once, so the window's checks and the command line agree.
namespace Core {

struct InputRange
{
    double lowest = 0;
    double highest = 0;
    bool wholeNumber = false;
    QString message; // what the window says beside a box holding anything else

    // Numeric (see isNumeric), within [lowest, highest] and, when asked, whole.
    bool accepts(const QString &text) const;
};

// The checks the window runs on every keystroke. They only warn: the text stays as typed.
InputRange pricePercentInput();  // "价格调整": 1 to 10000
InputRange priceDecimalsInput(); // "保留小数位": 1 to 5, so its design text "0" warns too
InputRange stockValueInput();    // "库存调整,统一为": any number

// What a run can use, which the CLI holds its options to before anything is fetched:
// the window's ranges, except that the decimals are a whole number from 0 (the box's
// design text) to 5 and the stock is at least 0.
InputRange pricePercentOption();
InputRange priceDecimalsOption();
InputRange stockValueOption();

} // namespace Core
