#pragma once

#include "data/engine.h"

#include <QSqlDatabase>
#include <QString>

// Writes that stand or fall together. Rolls back unless committed.
// SQLite: BEGIN IMMEDIATE, so a read-then-write holds the write lock from its
// first read and a second station waits (busy timeout) instead of failing late.
// PostgreSQL: READ COMMITTED; rows read and then written are locked with
// lockRow() (SELECT ... FOR UPDATE).
class Transaction
{
public:
    explicit Transaction(QSqlDatabase db);
    Transaction();  // on the connection kavshiri
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    void rollback();
    bool isActive() const { return m_active; }
    Engine engine() const { return m_engine; }

    // Locks one row for the rest of the transaction (PostgreSQL; SQLite already
    // holds the database's write lock). `table` is a schema table name.
    void lockRow(const QString& table, qint64 id);
    // Locks every row of `table` (the one settings row serves as the lock of
    // order numbering).
    void lockAll(const QString& table);
    // Takes the lock of order numbering: the settings row (Parametres), which
    // every station drawing or moving an order number waits for. SQLite holds
    // it already, from BEGIN IMMEDIATE; PostgreSQL takes it by SELECT ... FOR UPDATE.
    void lockOrderNumbering();
    // Locks the rows of `table` whose integer `column` equals `value`.
    void lockWhere(const QString& table, const QString& column, qint64 value);

    // Locks a name for the rest of the transaction, where no row exists yet to
    // lock: a consignment document's ledger row is found or created under the
    // lock of the document's identity. PostgreSQL: an advisory lock on the
    // name's hash; SQLite already holds the database's write lock.
    void lockName(const QString& name);

    static bool inTransaction();

private:
    void exec(const QString& sql);

    QSqlDatabase m_db;
    Engine m_engine;
    bool m_active = false;
};
