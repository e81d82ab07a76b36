#pragma once

#include <QtGlobal>

struct sqlite3;

// Counts the statements begun on the SQLite connection kavshiri while it lives.
class SqliteStatements
{
public:
    SqliteStatements();
    ~SqliteStatements();
    SqliteStatements(const SqliteStatements&) = delete;
    SqliteStatements& operator=(const SqliteStatements&) = delete;

    qint64 count() const { return m_count; }

private:
    sqlite3* m_handle = nullptr;
    qint64 m_count = 0;
};
