#pragma once

#include "data/rowreader.h"

#include <libpq-fe.h>

// Reads through libpq on the connection Qt's driver opened, row by row, with
// the values and types Qt's driver would give. A query with a column type Qt
// reads into something other than a text is left to Qt's driver.
class PostgresRowReader : public RowReader
{
public:
    bool read(QSqlDatabase& db, const SqlText& sql, Result* out) override;

    // The connection's own handle, or null when `db` is not a usable
    // PostgreSQL connection that hands texts over as UTF-8.
    static PGconn* handle(const QSqlDatabase& db);
};
