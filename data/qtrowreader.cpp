#include "data/qtrowreader.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/sqltext.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

bool QtRowReader::read(QSqlDatabase& db, const SqlText& sqlText, Result* out)
{
    const SqlText::Bound sql = sqlText.bound(SqlText::Marks::Question, true);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // PostgreSQL hands every value over as text; keep numerics exact (money).
    if (Connection::engineOf(db) == Engine::PostgreSQL)
        q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!q.prepare(sql.text))
        throw DbError::fromQuery(q);
    for (const QVariant& v : sql.values)
        q.addBindValue(v);
    if (!q.exec())
        throw DbError::fromQuery(q);

    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        out->addColumn(rec.fieldName(i), storeFor(rec.field(i).name(), rec.field(i).metaType().id()));
    int rows = 0;
    const int n = rec.count();
    while (q.next()) {
        for (int i = 0; i < n; ++i)
            out->columns[std::size_t(i)].append(q.value(i));
        ++rows;
    }
    if (q.lastError().isValid())
        throw DbError::fromQuery(q);
    out->rows = rows;
    return true;
}
