#include "tools/kelvora-bench/sqlitestatements.h"
#include "data/connection.h"
#include "data/dberror.h"

#include <QSqlDriver>
#include <QVariant>
#include <sqlite3.h>

namespace {

int counted(unsigned, void* context, void*, void*)
{
    ++*static_cast<qint64*>(context);
    return 0;
}

}  // namespace

SqliteStatements::SqliteStatements()
{
    const QVariant handle = Connection::database().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw DbError(QStringLiteral("no sqlite3 handle"));
    m_handle = *static_cast<sqlite3* const*>(handle.data());
    sqlite3_trace_v2(m_handle, SQLITE_TRACE_STMT, counted, &m_count);
}

SqliteStatements::~SqliteStatements()
{
    if (m_handle)
        sqlite3_trace_v2(m_handle, 0, nullptr, nullptr);
}
