#include "data/transaction.h"
#include "data/connection.h"
#include "data/dberror.h"
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
    exec(m_engine == Engine::SQLite ? QStringLiteral("begin immediate") : QStringLiteral("begin"));
    m_active = true;
    g_open.insert(m_db.connectionName());
}

Transaction::~Transaction()
{
    if (m_active) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("rollback"));
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
    QSqlQuery q(m_db);
    if (!q.exec(sql))
        throw DbError(q.lastError().text());
}

void Transaction::commit()
{
    if (!m_active)
        return;
    exec(QStringLiteral("commit"));
    m_active = false;
    g_open.remove(m_db.connectionName());
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    g_open.remove(m_db.connectionName());
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
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("select ID from %1 where %2 = ? for update").arg(table, column));
    q.addBindValue(value);
    if (!q.exec())
        throw DbError(q.lastError().text());
}

void Transaction::lockAll(const QString& table)
{
    if (m_engine != Engine::PostgreSQL)
        return;
    if (!knownName(table, QString()))
        throw DbError(QStringLiteral("უცნობი ცხრილი: %1").arg(table));
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("select ID from %1 for update").arg(table)))
        throw DbError(q.lastError().text());
}

void Transaction::lockOrderNumbering()
{
    lockAll(QStringLiteral("Parametres"));
}
