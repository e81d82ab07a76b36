#pragma once

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <libpq-fe.h>
#include <vector>

// One bound statement sent to PostgreSQL in a single call through libpq, on the
// connection Qt's driver opened: the text with $1, $2, ... and the values as
// texts, whose types the server infers from their places in the statement, as
// it does for the literals Qt's driver sends. Qt's driver would need three
// round trips for it (PREPARE, EXECUTE, DEALLOCATE).
namespace PostgresStatement {

// The values of the placeholders as libpq takes them: UTF-8 texts, a null
// pointer for NULL. The readers, the writers and the benchmark's bare reference
// all bind through this.
class Params
{
public:
    explicit Params(const QList<QVariant>& values);
    int count() const { return int(m_pointers.size()); }
    const char* const* values() const { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_held;
    std::vector<const char*> m_pointers;
};

// The text a value is sent as.
QByteArray text(const QVariant& value);

struct Outcome
{
    int changed = 0;      // rows the statement changed
    QVariant firstValue;  // the first column of the first row returned, if any
};

// Runs `sql` with `values` in one round trip. Returns false, doing nothing, when
// the connection cannot be used this way (no libpq handle, or a query of Qt's
// driver still handing over rows); throws DbError with the server's text when
// the server refuses the statement.
bool run(QSqlDatabase& db, const QString& sql, const QList<QVariant>& values, Outcome* out);

}  // namespace PostgresStatement
