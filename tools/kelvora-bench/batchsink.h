#pragma once

#include "tools/kelvora-bench/tablesink.h"
#include "data/schema.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>
#include <vector>

// Writes rows with prepared multi-row inserts, binding for each column exactly
// the value the data layer binds when it posts a row (a date-only value as
// "YYYY-MM-DD", any other moment as "YYYY-MM-DD HH:MM:SS", an amount as its
// four-decimal text, a null as a null text), so the stored forms are the same.
class BatchSink : public TableSink
{
public:
    BatchSink(QSqlDatabase db, const QString& table, const QStringList& columns, int rowsPerStatement);
    ~BatchSink() override;

    void flush() override;

    // The value the data layer binds for `value` in a column of type `type`.
    static QVariant storedForm(Schema::ColumnType type, const QVariant& value);

protected:
    void write(const QList<QVariant>& row) override;

private:
    QString insertText(int rows) const;
    void execute(QSqlQuery& q, int rows);

    QSqlDatabase m_db;
    std::vector<Schema::ColumnType> m_types;
    int m_rowsPerStatement;
    std::unique_ptr<QSqlQuery> m_full;  // prepared once for a whole batch
    QList<QVariant> m_pending;          // stored forms, row after row
};
