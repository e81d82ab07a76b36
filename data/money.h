#pragma once

#include <QMetaType>
#include <QString>
#include <compare>
#include <cstdint>
#include <limits>
#include <optional>

// A fixed-point amount with four decimals over a 64-bit integer
// (the raw value counts ten-thousandths).
//
// Every amount read from the database fits 64 bits: up to 922 337 203 685 477.5807
// either way, which PostgreSQL's numeric(19,4) and SQLite's text both give back
// exactly. An amount a person types is held to 15 significant digits, up to
// 99 999 999 999.9999, so that it reads back exactly from a float column too.
class Money
{
public:
    static constexpr std::int64_t Scale = 10000;
    static constexpr std::int64_t MaxRaw = std::numeric_limits<std::int64_t>::max();
    static constexpr std::int64_t MaxTypedRaw = 999999999999999;
    // What a sum or a rounding beyond 64 bits is told.
    static constexpr char TooLargeText[] = "თანხა ძალიან დიდია!";

    constexpr Money() = default;
    static constexpr Money fromRaw(std::int64_t raw)
    {
        Money m;
        m.m_raw = raw;
        return m;
    }
    static Money fromInt(std::int64_t units) { return fromRaw(units * Scale); }
    // The nearest four-decimal amount, halves to even (how a float column is read
    // as money). Throws DbError for a value beyond what an amount holds (or not
    // finite); tryFromDoubleHalfEven gives nothing instead, for what only shows it.
    static Money fromDoubleHalfEven(double value);
    static std::optional<Money> tryFromDoubleHalfEven(double value);
    // Parses "12", "-3.5", "0,125" with either separator; at most four decimals are
    // kept, rounded half to even. Thousands separators are not accepted. Reads
    // every amount the database may hold; `tooLarge` tells a number beyond that.
    static std::optional<Money> parse(const QString& text, bool* tooLarge = nullptr);
    // Parses text typed in the system's number format (its decimal separator
    // only), up to the largest amount a person may type.
    static std::optional<Money> parseLocal(const QString& text);
    // Why parseLocal refused `typed`: a number too large to accept is told so,
    // before the caller's own text; anything else gets the caller's text alone.
    static QString refusalText(const QString& typed, const QString& notANumberText);

    constexpr std::int64_t raw() const { return m_raw; }
    double toDouble() const { return double(m_raw) / double(Scale); }

    // Rounds to the given number of decimals (0..4).
    Money roundedHalfEven(int decimals) const;
    Money roundedHalfAwayFromZero(int decimals) const;

    // Plain text with a full stop and exactly four decimals: the form written to the database.
    QString toSqlText() const;

    // A sum beyond 64 bits throws DbError rather than wrapping round.
    Money operator+(Money o) const
    {
        std::int64_t sum = 0;
        if (__builtin_add_overflow(m_raw, o.m_raw, &sum))
            throwTooLarge();
        return fromRaw(sum);
    }
    Money operator-(Money o) const
    {
        std::int64_t difference = 0;
        if (__builtin_sub_overflow(m_raw, o.m_raw, &difference))
            throwTooLarge();
        return fromRaw(difference);
    }
    Money operator-() const { return fromRaw(-m_raw); }
    Money& operator+=(Money o) { return *this = *this + o; }
    Money& operator-=(Money o) { return *this = *this - o; }
    constexpr auto operator<=>(const Money&) const = default;

private:
    [[noreturn]] static void throwTooLarge();

    std::int64_t m_raw = 0;
};

Q_DECLARE_METATYPE(Money)
