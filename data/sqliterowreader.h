#pragma once

#include "data/rowreader.h"

#include <sqlite3.h>

// Reads through libsqlite3 on the connection Qt's driver opened, with the
// values and types Qt's driver would give.
class SqliteRowReader : public RowReader
{
public:
    bool read(QSqlDatabase& db, const SqlText& sql, Result* out) override;

    // The connection's own handle, or null when `db` is not SQLite.
    static sqlite3* handle(const QSqlDatabase& db);
};
