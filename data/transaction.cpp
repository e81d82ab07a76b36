#include "data/transaction.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/postgresstatement.h"
#include "data/schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSet>

namespace {
QSet<QString> g_open;  // connections with a transaction under way

bool knownName(const QString& table, const QString& column)
{
    return column.isEmpty() ? Schema::findTable(table) != nullptr : Schema::findColumn(table, column) != nullptr;
}
}  // namespace

Transaction::Transaction()
    : Transaction(Connection::database()) {}

Transaction::Transaction(QSqlDatabase db)
    : m_db(db), m_engine(Connection::engineOf(db))
{
    if (g_open.contains(m_db.connectionName()))
        throw DbError(QStringLiteral("ტრანზაქცია უკვე დაწყებულია"));
    const QString begin = m_engine == Engine::SQLite ? QStringLiteral("begin immediate") : QStringLiteral("begin");
    try {
        exec(begin);
    } catch (const DbError&) {
        // Nothing was under way yet: a link that broke since the last action
        // is opened again and the transaction begins on the new one.
        if (!Connection::linkBroken(m_db))
            throw;
        Connection::reconnect(m_db);
        exec(begin);
    }
    m_active = true;
    g_open.insert(m_db.connectionName());
}

Transaction::~Transaction()
{
    if (m_active) {
        // On a broken link the server has rolled back already.
        if (!Connection::linkBroken(m_db))
            Connection::watched(m_db, [this] { QSqlQuery(m_db).exec(QStringLiteral("rollback")); });
        m_active = false;
        g_open.remove(m_db.connectionName());
    }
}

bool Transaction::inTransaction()
{
    return g_open.contains(QString::fromLatin1(Connection::Name));
}

void Transaction::exec(const QString& sql)
{
    Connection::watched(m_db, [&] {
        QSqlQuery q(m_db);
        if (q.exec(sql))
            return;
        if (Connection::linkBroken(m_db))
            throw DbError(DbError::linkLostText());
        // A commit refused for a full disk is told as that.
        const QString fault = DbError::storageFaultOf(q);
        throw DbError(fault.isEmpty() ? q.lastError().text() : fault);
    });
}

void Transaction::commit()
{
    if (!m_active)
        return;
    try {
        exec(QStringLiteral("commit"));
    } catch (const DbError&) {
        // A commit sent on a link that then broke may have been stored or not:
        // never sent again, and the user is told so.
        if (!Connection::linkBroken(m_db))
            throw;
        m_active = false;
        g_open.remove(m_db.connectionName());
        throw DbError(DbError::linkLostWhileWritingText());
    }
    m_active = false;
    g_open.remove(m_db.connectionName());
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    g_open.remove(m_db.connectionName());
    if (Connection::linkBroken(m_db))
        return;  // the server has rolled back already
    exec(QStringLiteral("rollback"));
}

void Transaction::lockRow(const QString& table, qint64 id)
{
    lockWhere(table, QStringLiteral("ID"), id);
}

void Transaction::lockWhere(const QString& table, const QString& column, qint64 value)
{
    // The names go into the SQL text: only the schema's own are taken, on
    // either engine, so a mistake shows on SQLite too.
    if (!knownName(table, column))
        throw DbError(QStringLiteral("უცნობი ცხრილი ან სვეტი: %1.%2").arg(table, column));
    if (m_engine != Engine::PostgreSQL)
        return;
    Connection::watched(m_db, [&] {
        try {
            // One round trip through libpq where the link allows it.
            if (PostgresStatement::run(m_db, QStringLiteral("select ID from %1 where %2 = $1 for update").arg(table, column),
                                       {QVariant(value)}, nullptr))
                return;
        } catch (const DbError&) {
            if (Connection::linkBroken(m_db))
                throw DbError(DbError::linkLostText());
            throw;
        }
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("select ID from %1 where %2 = ? for update").arg(table, column));
        q.addBindValue(value);
        if (q.exec())
            return;
        if (Connection::linkBroken(m_db))
            throw DbError(DbError::linkLostText());
        throw DbError(q.lastError().text());
    });
}

void Transaction::lockName(const QString& name)
{
    if (m_engine != Engine::PostgreSQL)
        return;
    Connection::watched(m_db, [&] {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("select pg_advisory_xact_lock(hashtextextended(?, 0))"));
        q.addBindValue(name);
        if (q.exec())
            return;
        if (Connection::linkBroken(m_db))
            throw DbError(DbError::linkLostText());
        throw DbError(q.lastError().text());
    });
}

void Transaction::lockAll(const QString& table)
{
    if (m_engine != Engine::PostgreSQL)
        return;
    if (!knownName(table, QString()))
        throw DbError(QStringLiteral("უცნობი ცხრილი: %1").arg(table));
    exec(QStringLiteral("select ID from %1 for update").arg(table));
}

void Transaction::lockOrderNumbering()
{
    lockAll(QStringLiteral("Parametres"));
}
