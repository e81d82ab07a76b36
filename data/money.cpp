#include "data/money.h"
#include "data/formats.h"

#include <cstdlib>

namespace {

std::int64_t pow10(int n)
{
    std::int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Divides raw by 10^(4 - decimals) and rounds the quotient; the result is scaled back.
std::int64_t roundRaw(std::int64_t raw, int decimals, bool halfEven)
{
    if (decimals >= 4)
        return raw;
    if (decimals < 0)
        decimals = 0;
    const std::int64_t div = pow10(4 - decimals);
    std::int64_t q = raw / div;
    const std::int64_t r = raw % div;
    const std::int64_t twice = std::llabs(r) * 2;
    const bool away = twice > div || (twice == div && (!halfEven || (q % 2) != 0));
    if (away)
        q += raw < 0 ? -1 : 1;
    return q * div;
}

// Parses sign, digits and one separator out of any of `separators`.
std::optional<Money> parseWith(const QString& input, const QString& separators)
{
    const QString text = input.trimmed();
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    QString intDigits;
    QString fracDigits;
    bool seenSeparator = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            (seenSeparator ? fracDigits : intDigits).append(c);
        } else if (separators.contains(c) && !seenSeparator) {
            seenSeparator = true;
        } else {
            return std::nullopt;
        }
    }
    if (intDigits.isEmpty() && fracDigits.isEmpty())
        return std::nullopt;
    while (intDigits.size() > 1 && intDigits.front() == u'0')
        intDigits.remove(0, 1);
    if (intDigits.size() > 14)  // beyond 10^14 the raw value would not fit
        return std::nullopt;
    std::int64_t units = intDigits.isEmpty() ? 0 : intDigits.toLongLong();
    // Keep five decimals worth of digits plus a sticky flag, then round half to even.
    const QString first5 = (fracDigits + QStringLiteral("00000")).left(5);
    bool stickyBeyond = false;
    for (int k = 5; k < fracDigits.size(); ++k)
        if (fracDigits[k] != u'0')
            stickyBeyond = true;
    std::int64_t frac4 = first5.left(4).toLongLong();
    const int fifth = first5[4].digitValue();
    std::int64_t raw = units * Money::Scale + frac4;
    if (fifth > 5 || (fifth == 5 && (stickyBeyond || (raw % 2) != 0)))
        raw += 1;
    return Money::fromRaw(negative ? -raw : raw);
}

}  // namespace

Money Money::fromDoubleHalfEven(double value)
{
    // Round the number people see (its shortest decimal form), not its binary expansion.
    const QString text = QString::number(value, 'f', 9);
    if (auto m = parseWith(text, QStringLiteral(".")))
        return *m;
    return Money();
}

std::optional<Money> Money::parse(const QString& text)
{
    return parseWith(text, QStringLiteral(".,"));
}

std::optional<Money> Money::parseLocal(const QString& text)
{
    return parseWith(text, QString(Formats::decimalSeparator()));
}

Money Money::roundedHalfEven(int decimals) const
{
    return fromRaw(roundRaw(m_raw, decimals, true));
}

Money Money::roundedHalfAwayFromZero(int decimals) const
{
    return fromRaw(roundRaw(m_raw, decimals, false));
}

QString Money::toSqlText() const
{
    const std::int64_t a = std::llabs(m_raw);
    return QStringLiteral("%1%2.%3")
        .arg(m_raw < 0 ? QStringLiteral("-") : QString())
        .arg(a / Scale)
        .arg(a % Scale, 4, 10, QLatin1Char('0'));
}
