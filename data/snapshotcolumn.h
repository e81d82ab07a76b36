#pragma once

#include "data/blockvector.h"
#include "data/money.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One column of a query's snapshot, stored compactly: a year of order lines is a
// million rows, so numbers and date-times are kept as plain 64-bit values and
// repeated texts (dish and waiter names) share one copy.
class SnapshotColumn
{
public:
    enum class Store { Integer,
                       Float,
                       Text,
                       DateTime,
                       Money,
                       Variant };

    explicit SnapshotColumn(Store store = Store::Variant)
        : m_store(store) {}

    Store store() const { return m_store; }
    std::size_t size() const { return m_null.size(); }

    void append(const QVariant& value);
    // Straight from an engine's own buffers, without a QVariant per value. Each
    // returns false, storing nothing, when the value does not belong in this
    // store as given; the caller then appends it as a QVariant.
    void appendNull();
    bool appendInteger(std::int64_t value);         // Integer and Float stores
    bool appendFloat(double value);                 // Float store
    bool appendUtf8(const char* text, int length);  // Text, DateTime and Money stores
    void set(std::size_t row, const QVariant& value);
    void remove(std::size_t row);

    bool isNull(std::size_t row) const { return m_null[row]; }
    QVariant value(std::size_t row) const;

    // Orders two rows' values as SQLite does: empty first, numbers by value,
    // texts by their characters' codes. Negative, zero or positive.
    int compare(std::size_t a, std::size_t b) const;
    // Puts the rows in the given order: row i becomes the old row order[i].
    void reorder(const std::vector<std::size_t>& order);

    // A date-time as a naive count of milliseconds (Julian day and time of day),
    // free of any time zone.
    static std::int64_t encodeDateTime(const QDateTime& value);
    static QDateTime decodeDateTime(std::int64_t encoded);
    // Reads the stored forms "YYYY-MM-DD" and "YYYY-MM-DD HH:MM[:SS]" and nothing
    // else; a fraction of a second after the seconds is dropped.
    static bool parseIsoDateTime(const QString& text, QDateTime* out);
    // The same forms straight to the encoded value (no QDateTime: a local
    // QDateTime asks the C library about the time zone each time).
    static bool parseIsoEncoded(QStringView text, std::int64_t* out);
    static bool parseIsoEncoded(std::string_view text, std::int64_t* out);
    // Also reads the short date form the screens show, "dd.MM.yyyy" with an
    // optional "HH:mm[:ss]" (one-digit day and month accepted).
    static bool parseDateTimeText(const QString& text, QDateTime* out);
    // The one text form of a stored date-time: "YYYY-MM-DD" for a midnight,
    // "YYYY-MM-DD HH:MM:SS" otherwise, so that a day compares equal to its text.
    static QString sqlText(const QDateTime& value);

private:
    bool convert(const QVariant& value, std::int64_t* i, double* d, quint32* t);
    quint32 intern(const QString& text);
    void promoteToVariant();

    Store m_store;
    std::vector<bool> m_null;
    BlockVector<std::int64_t> m_ints;  // Integer, DateTime, Money
    BlockVector<double> m_floats;
    BlockVector<quint32> m_texts;
    std::vector<QString> m_pool;
    QHash<QString, quint32> m_poolIndex;
    // The pool again by the engine's UTF-8 bytes, so that a repeated text read
    // natively is not decoded again.
    struct BytesHash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view v) const { return std::hash<std::string_view>()(v); }
    };
    std::unordered_map<std::string, quint32, BytesHash, std::equal_to<>> m_utf8Index;
    std::vector<QVariant> m_variants;
};
