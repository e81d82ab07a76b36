#pragma once

#include "data/engine.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <vector>

// The nine tables of the database and how each engine stores their columns.
namespace Schema {

enum class ColumnType { AutoNumber,
                        Integer,
                        Float,
                        Money,
                        Text,
                        DateTime };

struct Column
{
    const char* name;
    ColumnType type;
    int length = 0;                    // text(n)
    const char* defaultSql = nullptr;  // the column's default, as SQL
};

struct Table
{
    const char* name;
    std::vector<Column> columns;
};

const std::vector<Table>& tables();
// A table or a column of the schema by its name, without regard to case; null
// when the schema has no such table or column.
const Table* findTable(const QString& table);
const Column* findColumn(const QString& table, const QString& column);

// The type of a stored column by its name alone, where the name says it across
// the schema: every date-time column and every money column. Used to read the
// engine's values into the right form whatever query returned them.
bool isDateTimeColumn(const QString& name);
bool isMoneyColumn(const QString& name);

// The statements that create the schema on an empty database (tables, indexes,
// and on PostgreSQL the operators that let `like` apply to integer columns).
QStringList createStatements(Engine engine);

// The SQL of one column in a create or alter table statement.
QString columnSql(const Column& column, Engine engine);

// True when the database already holds any of the nine tables.
bool exists(QSqlDatabase& db);

// The change feed's part of the schema: the one place the database has
// triggers. Every write to a table the screens show is made known to the
// other stations: on PostgreSQL a statement trigger raises a notification on
// the channel `ChangeChannel` with the table's name; on SQLite row triggers
// count the writes of each table in the change record `cvlilebebi` (cxrili:
// the table, versia: a number that grows with every write).
namespace ChangeFeed {
inline constexpr const char* Channel = "kelvora_cvlilebebi";
inline constexpr const char* RecordTable = "cvlilebebi";
// The tables the screens show and the feed follows, as the schema names them.
const QStringList& followedTables();
// Statements that create the feed's part on a database that has none of it.
QStringList createStatements(Engine engine);
// Whether the database holds all of it (read only).
bool installed(QSqlDatabase& db);
// What the feed's own connection asks: PostgreSQL subscribes once; SQLite
// asks the data version, and when it moved reads the change record.
QString listenStatement();
QString dataVersionQuery();
QString recordQuery();
}  // namespace ChangeFeed

}  // namespace Schema
