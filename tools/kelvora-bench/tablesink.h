#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Rows of one table on their way to the database. Values come in the order of
// columns() and in their natural types (QDate, QDateTime, double, qint64,
// QString, Money, or null); each sink stores them as the data layer does.
class TableSink
{
public:
    TableSink(const QString& table, const QStringList& columns)
        : m_table(table), m_columns(columns) {}
    virtual ~TableSink() = default;
    TableSink(const TableSink&) = delete;
    TableSink& operator=(const TableSink&) = delete;

    const QString& table() const { return m_table; }
    const QStringList& columns() const { return m_columns; }
    qint64 rows() const { return m_rows; }

    void add(const QList<QVariant>& row)
    {
        write(row);
        ++m_rows;
    }
    // Sends whatever is still held back; called before every commit.
    virtual void flush() = 0;

protected:
    virtual void write(const QList<QVariant>& row) = 0;

private:
    QString m_table;
    QStringList m_columns;
    qint64 m_rows = 0;
};
