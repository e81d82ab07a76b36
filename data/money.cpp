#include "data/money.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/values.h"

#include <cmath>
#include <cstdlib>

namespace {

std::int64_t pow10(int n)
{
    std::int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Divides raw by 10^(4 - decimals) and rounds the quotient; the result is scaled
// back. A result beyond 64 bits (only next to the largest amount) throws.
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
    std::int64_t rounded = 0;
    if (__builtin_mul_overflow(q, div, &rounded))
        throw DbError(QString::fromUtf8(Money::TooLargeText));
    return rounded;
}

enum class Parsed { Amount,
                    TooLarge,
                    NotANumber };

// Parses sign, digits and one separator out of any of `separators`, refusing an
// amount (after rounding) beyond maxRaw either way.
Parsed parseWith(const QString& input, const QString& separators, std::int64_t maxRaw, Money* out)
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
            return Parsed::NotANumber;
        }
    }
    if (intDigits.isEmpty() && fracDigits.isEmpty())
        return Parsed::NotANumber;
    while (intDigits.size() > 1 && intDigits.front() == u'0')
        intDigits.remove(0, 1);
    if (intDigits.size() > 15)  // 10^15 is beyond 64 bits of ten-thousandths
        return Parsed::TooLarge;
    const std::int64_t units = intDigits.isEmpty() ? 0 : intDigits.toLongLong();
    // Keep five decimals worth of digits plus a sticky flag, then round half to even.
    const QString first5 = (fracDigits + QStringLiteral("00000")).left(5);
    bool stickyBeyond = false;
    for (int k = 5; k < fracDigits.size(); ++k)
        if (fracDigits[k] != u'0')
            stickyBeyond = true;
    const std::int64_t frac4 = first5.left(4).toLongLong();
    const int fifth = first5[4].digitValue();
    // 15 digits of units times the scale fit 64 bits unsigned, not always signed.
    const unsigned long long whole = static_cast<unsigned long long>(units) * Money::Scale;
    unsigned long long raw = whole + static_cast<unsigned long long>(frac4);
    if (fifth > 5 || (fifth == 5 && (stickyBeyond || (raw % 2) != 0)))
        raw += 1;
    // The carry of the rounding counts: 99999999999.99995 is 100000000000.
    if (raw > static_cast<unsigned long long>(maxRaw))
        return Parsed::TooLarge;
    *out = Money::fromRaw(negative ? -std::int64_t(raw) : std::int64_t(raw));
    return Parsed::Amount;
}

std::optional<Money> amountOf(const QString& text, const QString& separators, std::int64_t maxRaw)
{
    Money m;
    if (parseWith(text, separators, maxRaw, &m) != Parsed::Amount)
        return std::nullopt;
    return m;
}

}  // namespace

std::optional<Money> Money::tryFromDoubleHalfEven(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= 1e16)
        return std::nullopt;
    // Round the number people see (its shortest decimal form), not its binary expansion.
    return amountOf(QString::number(value, 'f', 9), QStringLiteral("."), MaxRaw);
}

Money Money::fromDoubleHalfEven(double value)
{
    if (const auto m = tryFromDoubleHalfEven(value))
        return *m;
    throw DbError(QString::fromUtf8(Values::AmountTooLargeText).arg(QString::number(value, 'g', 17)));
}

std::optional<Money> Money::parse(const QString& text, bool* tooLarge)
{
    Money m;
    const Parsed result = parseWith(text, QStringLiteral(".,"), MaxRaw, &m);
    if (tooLarge)
        *tooLarge = result == Parsed::TooLarge;
    if (result != Parsed::Amount)
        return std::nullopt;
    return m;
}

std::optional<Money> Money::parseLocal(const QString& text)
{
    return amountOf(text, QString(Formats::decimalSeparator()), MaxTypedRaw);
}

QString Money::refusalText(const QString& typed, const QString& notANumberText)
{
    Money m;
    if (parseWith(typed, QString(Formats::decimalSeparator()), MaxTypedRaw, &m) != Parsed::TooLarge)
        return notANumberText;
    const QString largest = Formats::shortest(fromRaw(MaxTypedRaw));
    return QStringLiteral("რიცხვი ძალიან დიდია (უდიდესი %1)! %2").arg(largest, notANumberText);
}

void Money::throwTooLarge()
{
    throw DbError(QString::fromUtf8(Money::TooLargeText));
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
