#include "data/namedstatement.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/postgresstatement.h"

#include <QSqlError>
#include <QSqlQuery>

NamedStatement::NamedStatement(const QString& name, const QString& sql, QObject* parent)
    : QObject(parent), m_name(name), m_sql(sql)
{
    setObjectName(name);
}

int NamedStatement::execute()
{
    int changed = 0;
    Connection::run(Connection::Step::Write, [&](QSqlDatabase& db) {
        // PostgreSQL: the bound statement in one round trip, where the link allows it.
        if (Connection::engineOf(db) == Engine::PostgreSQL) {
            const SqlText::Bound bound = m_sql.bound(SqlText::Marks::Numbered, false);
            PostgresStatement::Outcome outcome;
            if (PostgresStatement::run(db, bound.text, bound.values, &outcome)) {
                changed = outcome.changed;
                return;
            }
        }
        QSqlQuery q(db);
        if (!q.prepare(m_sql.positional()))
            throw DbError(q.lastError().text());
        m_sql.bindTo(q);
        if (!q.exec()) {
            // A full disk or a refusing folder is told as what it is.
            const QString fault = DbError::storageFaultOf(q);
            throw DbError(fault.isEmpty() ? q.lastError().text() : fault);
        }
        changed = q.numRowsAffected();
    });
    return changed;
}
