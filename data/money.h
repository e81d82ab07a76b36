#pragma once

#include <QMetaType>
#include <QString>
#include <compare>
#include <cstdint>
#include <optional>

// A fixed-point amount with four decimals over a 64-bit integer
// (the raw value counts ten-thousandths).
class Money
{
public:
    static constexpr std::int64_t Scale = 10000;

    constexpr Money() = default;
    static constexpr Money fromRaw(std::int64_t raw)
    {
        Money m;
        m.m_raw = raw;
        return m;
    }
    static Money fromInt(std::int64_t units) { return fromRaw(units * Scale); }
    // The nearest four-decimal amount, halves to even (how a float column is read as money).
    static Money fromDoubleHalfEven(double value);
    // Parses "12", "-3.5", "0,125" with either separator; at most four decimals are
    // kept, rounded half to even. Thousands separators are not accepted.
    static std::optional<Money> parse(const QString& text);
    // Parses text typed in the system's number format (its decimal separator only).
    static std::optional<Money> parseLocal(const QString& text);

    constexpr std::int64_t raw() const { return m_raw; }
    double toDouble() const { return double(m_raw) / double(Scale); }

    // Rounds to the given number of decimals (0..4).
    Money roundedHalfEven(int decimals) const;
    Money roundedHalfAwayFromZero(int decimals) const;

    // Plain text with a full stop and exactly four decimals: the form written to the database.
    QString toSqlText() const;

    Money operator+(Money o) const { return fromRaw(m_raw + o.m_raw); }
    Money operator-(Money o) const { return fromRaw(m_raw - o.m_raw); }
    Money operator-() const { return fromRaw(-m_raw); }
    Money& operator+=(Money o)
    {
        m_raw += o.m_raw;
        return *this;
    }
    Money& operator-=(Money o)
    {
        m_raw -= o.m_raw;
        return *this;
    }
    constexpr auto operator<=>(const Money&) const = default;

private:
    std::int64_t m_raw = 0;
};

Q_DECLARE_METATYPE(Money)
