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

// What a run can use: the window warns beside a box holding anything else (on every
// keystroke, the text stays as typed) and does not start an export with it; the CLI holds
// its options to the same before anything is fetched.
InputRange pricePercentRange();  // "价格调整": 1 to 10000
InputRange priceDecimalsRange(); // "保留小数位": a whole number from 0 (the box's design text) to 5
InputRange stockValueRange();    // "库存调整,统一为": 0 to 1000000000

} // namespace Core
