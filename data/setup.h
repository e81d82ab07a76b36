#pragma once

#include "data/engine.h"

#include <QSqlDatabase>
#include <QString>

// Making a new database: the schema and the one settings row, all in one
// transaction, so a failure never leaves half a database behind.
namespace Setup {

struct Settings
{
    int tables = 12;
    double servicePercent = 10;
    QString establishment;  // also the key of the maintenance window
    QString commandPath;    // fiscal driver's command file
    QString answerPath;     // fiscal driver's answer file
};

// Throws DbError; refuses a database that already holds any of the tables.
void initialize(QSqlDatabase& db, const Settings& settings);

// Brings a database made by an earlier version up to the schema: a column the
// schema has and an existing table lacks is added with its default. Run each
// time the program opens its connection; a table that is missing is left to the
// caller. Two stations upgrading at once both succeed. Throws DbError.
void upgrade(QSqlDatabase& db);

// Adds the change feed's triggers (and on SQLite its change record) to a
// database that lacks them; part of initialize() and upgrade(). Safe when
// several stations do it at once. Throws DbError.
void installChangeFeed(QSqlDatabase& db);
// The PostgreSQL advisory lock under which it is done.
inline constexpr qint64 ChangeFeedLock = 7243100124;

}  // namespace Setup
