#pragma once

#include <QString>
#include <QVariant>
#include <utility>
#include <vector>

// Writes the edits of a query's rows back to its one table by ID. An update
// carries the optimistic check: it applies only while the row still holds the
// values that were read, as each engine compares them.
class RowWriter
{
public:
    // A field of the row: its value as read and the value to write.
    struct Change
    {
        QString field;
        QVariant oldValue;
        QVariant newValue;
    };

    explicit RowWriter(const QString& table)
        : m_table(table) {}

    // The table's spelling of a result field, or empty when the field is not
    // one of the table's own columns that may be written.
    QString column(const QString& field) const;

    // Throws DbError with the conflict text when another station changed or
    // deleted the row since it was read.
    void update(const QVariant& id, const std::vector<Change>& changes) const;
    // Returns the new row's ID.
    QVariant insert(const std::vector<std::pair<QString, QVariant>>& values) const;
    void remove(const QVariant& id) const;

    // Throws DbError naming the field when a text is longer than its column
    // holds: SQLite would store any length and PostgreSQL refuse it, so both
    // refuse it here, before anything is written.
    void requireFits(const QString& field, const QVariant& value) const;

private:
    QVariant sqlValue(const QString& field, const QVariant& value) const;

    QString m_table;
};
