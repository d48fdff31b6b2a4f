#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Core {

// An exact decimal number for the money columns: prices arrive in fen and are
// scaled and rounded in decimal, never in binary floating point.
class Decimal
{
public:
    Decimal() = default;

    // Any text that isNumeric() accepts; nullopt otherwise (and for absurd exponents).
    static std::optional<Decimal> parse(const QString &text);

    Decimal multipliedBy(const Decimal &other) const;
    // Multiplies by 10^power.
    Decimal shifted(int power) const;
    // Fixed-point text with exactly `decimals` digits after the point, rounded half
    // away from zero ("0.00" pattern); no point when decimals is 0.
    QString toFixed(int decimals) const;

private:
    bool m_negative = false;
    QByteArray m_digits = QByteArrayLiteral("0"); // most significant first, no leading zeros
    int m_exponent = 0;                           // value = digits x 10^exponent
};

// Hundredths as yuan with two decimals ("12345" gives "123.45"); "0" when not numeric.
QString formatHundredths(const QString &fen);

} // namespace Core
