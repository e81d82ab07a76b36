#pragma once

#include "data/datalink.h"
#include "data/engine.h"

#include <QSqlDatabase>
#include <QString>

// The connection `kavshiri`: described by "kavshiri.udl" in the working folder,
// opened at the first query and kept until the program ends. Several copies of the
// program share the database: SQLite in WAL mode with a busy timeout, PostgreSQL
// for stations on several machines.
class Connection
{
public:
    static constexpr const char* Name = "kavshiri";

    // The open connection; opens it first if needed (throws DbError).
    static QSqlDatabase database();
    static Engine engine();  // of the open connection (opens it first)
    static bool isOpen();
    static void close();

    // Where the data link file is read from; empty means "kavshiri.udl" in the
    // working folder. Tests point it elsewhere.
    static void setDataLinkPath(const QString& path);
    static QString dataLinkPath();

    // Opens a further connection under its own name (a tool, or a test playing
    // a second station). Throws DbError.
    static QSqlDatabase openNamed(const DataLink& link, const QString& connectionName);
    static Engine engineOf(const QSqlDatabase& db);
};
