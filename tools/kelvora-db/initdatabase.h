#pragma once

#include "data/datalink.h"
#include "data/setup.h"

#include <QString>

// `kelvora-db init`: a new database with the schema and the one settings row,
// and the data link file "kavshiri.udl" that points the program at it.
//
// Nothing is left half made. SQLite: the database is built in a new file beside
// the target and renamed over it only when complete. PostgreSQL: the tables and
// the settings row are made in one transaction; a database created for the run
// is dropped again when the run fails. The data link file is written last.
struct InitOptions
{
    DataLink link;   // engine and server; for SQLite the database file, absolute
    QString folder;  // where kavshiri.udl goes, absolute
    Setup::Settings settings;
    bool force = false;             // replace an existing database and data link file
    bool makeFiscalFolder = false;  // the fiscal paths are the defaults inside `folder`
};

// Throws ToolError or DbError. Returns what was made, for the user.
QString initDatabase(const InitOptions& options);
