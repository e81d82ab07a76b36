#pragma once

#include "data/money.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <vector>

// One column of a query's snapshot, stored compactly: a year of order lines is a
// million rows, so numbers and date-times are kept as plain 64-bit values and
// repeated texts (dish and waiter names) share one copy.
class SnapshotColumn
{
public:
    enum class Store { Integer, Float, Text, DateTime, Money, Variant };

    explicit SnapshotColumn(Store store = Store::Variant) : m_store(store) {}

    Store store() const { return m_store; }
    std::size_t size() const { return m_null.size(); }
    void reserve(std::size_t n);

    void append(const QVariant& value);
    void set(std::size_t row, const QVariant& value);
    void remove(std::size_t row);

    bool isNull(std::size_t row) const { return m_null[row]; }
    QVariant value(std::size_t row) const;

    // A date-time as a naive count of milliseconds (Julian day and time of day),
    // free of any time zone.
    static std::int64_t encodeDateTime(const QDateTime& value);
    static QDateTime decodeDateTime(std::int64_t encoded);
    // Reads the forms stored by SQLite: "YYYY-MM-DD" and "YYYY-MM-DD HH:MM:SS[.zzz]".
    static bool parseIsoDateTime(const QString& text, QDateTime* out);
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
    std::vector<std::int64_t> m_ints;  // Integer, DateTime, Money
    std::vector<double> m_floats;
    std::vector<quint32> m_texts;
    std::vector<QString> m_pool;
    QHash<QString, quint32> m_poolIndex;
    std::vector<QVariant> m_variants;
};
