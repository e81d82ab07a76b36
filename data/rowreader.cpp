#include "data/rowreader.h"
#include "data/connection.h"
#include "data/postgresrowreader.h"
#include "data/qtrowreader.h"
#include "data/schema.h"
#include "data/sqliterowreader.h"

namespace {
bool g_nativeReading = true;
}  // namespace

void RowReader::Result::addColumn(const QString& name, SnapshotColumn::Store store)
{
    names.push_back(name);
    columns.emplace_back(store);
}

void RowReader::Result::clear()
{
    names.clear();
    columns.clear();
    rows = 0;
}

RowReader::Result RowReader::readAll(QSqlDatabase& db, const SqlText& sql)
{
    const Engine engine = Connection::engineOf(db);
    Result result;
    bool read = false;
    if (g_nativeReading) {
        if (engine == Engine::SQLite)
            read = SqliteRowReader().read(db, sql, &result);
        else
            read = PostgresRowReader().read(db, sql, &result);
    }
    if (!read)
        QtRowReader().read(db, sql, &result);
    return result;
}

void RowReader::setNativeReading(bool on)
{
    g_nativeReading = on;
}

bool RowReader::readsNatively(const QSqlDatabase& db)
{
    if (!g_nativeReading || !db.isOpen())
        return false;
    return Connection::engineOf(db) == Engine::SQLite ? SqliteRowReader::handle(db) != nullptr
                                                      : PostgresRowReader::handle(db) != nullptr;
}

SnapshotColumn::Store RowReader::storeFor(const QString& name, int metaType)
{
    if (Schema::isDateTimeColumn(name))
        return SnapshotColumn::Store::DateTime;
    if (Schema::isMoneyColumn(name))
        return SnapshotColumn::Store::Money;
    switch (metaType) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Bool: return SnapshotColumn::Store::Integer;
    case QMetaType::Double:
    case QMetaType::Float: return SnapshotColumn::Store::Float;
    case QMetaType::QString: return SnapshotColumn::Store::Text;
    case QMetaType::QDateTime:
    case QMetaType::QDate: return SnapshotColumn::Store::DateTime;
    default: return SnapshotColumn::Store::Variant;
    }
}
