#include "decimal.h"

#include "text.h"

#include <QList>

#include <algorithm>

namespace Core {

namespace {

constexpr int maxExponent = 400;

QByteArray stripLeadingZeros(const QByteArray &digits)
{
    qsizetype i = 0;
    while (i + 1 < digits.size() && digits.at(i) == '0')
        ++i;
    return digits.mid(i);
}

} // namespace

std::optional<Decimal> Decimal::parse(const QString &text)
{
    if (!isNumeric(text))
        return std::nullopt;
    const QString trimmed = trimSpaces(text);
    Decimal value;
    qsizetype i = 0;
    if (trimmed.at(0) == u'+' || trimmed.at(0) == u'-') {
        value.m_negative = trimmed.at(0) == u'-';
        ++i;
    }
    QByteArray digits;
    int exponent = 0;
    bool afterPoint = false;
    for (; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        if (c == u'.') {
            afterPoint = true;
        } else if (c.isDigit()) {
            digits.append(char(c.unicode()));
            if (afterPoint)
                --exponent;
        } else {
            break; // the exponent
        }
    }
    if (i < trimmed.size()) {
        bool ok = false;
        const int power = trimmed.mid(i + 1).toInt(&ok);
        if (!ok || power > maxExponent || power < -maxExponent)
            return std::nullopt;
        exponent += power;
    }
    value.m_digits = stripLeadingZeros(digits);
    value.m_exponent = exponent;
    return value;
}

Decimal Decimal::multipliedBy(const Decimal &other) const
{
    const qsizetype n = m_digits.size();
    const qsizetype m = other.m_digits.size();
    QList<int> product(n + m, 0);
    for (qsizetype a = n - 1; a >= 0; --a) {
        for (qsizetype b = m - 1; b >= 0; --b) {
            const qsizetype at = a + b + 1;
            const int sum = product[at] + (m_digits.at(a) - '0') * (other.m_digits.at(b) - '0');
            product[at] = sum % 10;
            product[at - 1] += sum / 10;
        }
    }
    QByteArray digits;
    digits.reserve(product.size());
    for (const int d : std::as_const(product))
        digits.append(char('0' + d));
    Decimal result;
    result.m_digits = stripLeadingZeros(digits);
    result.m_exponent = m_exponent + other.m_exponent;
    result.m_negative = m_negative != other.m_negative;
    return result;
}

Decimal Decimal::shifted(int power) const
{
    Decimal result = *this;
    result.m_exponent += power;
    return result;
}

QString Decimal::toFixed(int decimals) const
{
    decimals = qBound(0, decimals, 30);
    // Line the digits up so that exactly `decimals` + 1 fraction digits remain, then round.
    QByteArray digits = m_digits;
    int exponent = m_exponent;
    const int wanted = -(decimals + 1);
    if (exponent > wanted) {
        digits.append(QByteArray(exponent - wanted, '0'));
        exponent = wanted;
    }
    bool roundUp = false;
    if (exponent < wanted) {
        const qsizetype drop = wanted - exponent;
        if (drop >= digits.size())
            digits = QByteArrayLiteral("0");
        else
            digits.chop(drop);
    }
    // The last digit decides: half away from zero.
    roundUp = digits.back() >= '5';
    digits.chop(1);
    if (digits.isEmpty())
        digits = QByteArrayLiteral("0");
    if (roundUp) {
        qsizetype i = digits.size() - 1;
        while (i >= 0 && digits.at(i) == '9') {
            digits[i] = '0';
            --i;
        }
        if (i < 0)
            digits.prepend('1');
        else
            digits[i] = char(digits.at(i) + 1);
    }
    if (digits.size() <= decimals)
        digits.prepend(QByteArray(decimals - digits.size() + 1, '0'));
    QByteArray text = digits.left(digits.size() - decimals);
    text = stripLeadingZeros(text);
    if (decimals > 0)
        text += '.' + digits.right(decimals);
    const bool zero = std::all_of(digits.cbegin(), digits.cend(), [](char c) { return c == '0'; });
    if (m_negative && !zero)
        text.prepend('-');
    return QString::fromLatin1(text);
}

QString formatHundredths(const QString &fen)
{
    const std::optional<Decimal> value = Decimal::parse(fen);
    if (!value)
        return QStringLiteral("0");
    return value->shifted(-2).toFixed(2);
}

} // namespace Core
