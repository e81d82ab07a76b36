#include "backupdatabase.h"
#include "tools/shared/toolerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <filesystem>
#include <memory>
#include <sqlite3.h>
#include <system_error>

namespace {

constexpr int BusyTimeoutMs = 5000;
constexpr int BusyRetries = 100;  // a writer holding the database for long: about 10 s more

struct SqliteClose
{
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteClose>;

SqliteHandle open(const QString& path, int flags, const QString& what)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    SqliteHandle db(raw);
    if (rc != SQLITE_OK)
        throw ToolError(QStringLiteral("%1 %2: %3")
                            .arg(what, QDir::toNativeSeparators(path),
                                 QString::fromUtf8(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc))));
    sqlite3_busy_timeout(db.get(), BusyTimeoutMs);
    return db;
}

QString errorOf(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

void removeIfThere(const QString& path)
{
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(QFile::encodeName(path).constData()), ec);
}

void copy(sqlite3* source, sqlite3* copy)
{
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
    if (!backup)
        throw ToolError(QStringLiteral("cannot start the backup: %1").arg(errorOf(copy)));
    // All pages in one step: one read transaction, one consistent moment, and in
    // WAL mode the stations' writers are not held up by it.
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt <= BusyRetries; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        QThread::msleep(100);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        throw ToolError(QStringLiteral("the backup failed: %1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
}

void checkCopy(sqlite3* db)
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "pragma quick_check", -1, &stmt, nullptr) != SQLITE_OK)
        throw ToolError(QStringLiteral("cannot check the copy: %1").arg(errorOf(db)));
    const bool ok = sqlite3_step(stmt) == SQLITE_ROW
                    && qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "ok") == 0;
    const QString answer = ok ? QString() : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    if (!ok)
        throw ToolError(QStringLiteral("the copy does not pass the engine's check: %1").arg(answer));
}

}  // namespace

QString backupDatabase(const DataLink& link, const QString& target, bool force)
{
    if (link.provider != DataLink::Provider::SQLite)
        throw ToolError(QStringLiteral("the database is on PostgreSQL (%1 on %2): back it up with pg_dump")
                            .arg(link.database, link.host));
    const QString source = link.dataSource;
    if (!QFileInfo(source).isFile())
        throw ToolError(QStringLiteral("%1 not found").arg(QDir::toNativeSeparators(source)));
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && targetInfo.canonicalFilePath() == QFileInfo(source).canonicalFilePath())
        throw ToolError(QStringLiteral("the copy cannot replace the database itself"));
    if (targetInfo.isDir())
        throw ToolError(QStringLiteral("%1 is a folder").arg(QDir::toNativeSeparators(target)));
    if (targetInfo.exists() && !force)
        throw ToolError(QStringLiteral("%1 exists; --force replaces it").arg(QDir::toNativeSeparators(target)));
    if (!targetInfo.absoluteDir().exists())
        throw ToolError(QStringLiteral("the folder %1 does not exist")
                            .arg(QDir::toNativeSeparators(targetInfo.absolutePath())));

    const QString part = QStringLiteral("%1.part-%2").arg(target).arg(QCoreApplication::applicationPid());
    removeIfThere(part);
    try {
        // Read-write without create: a WAL database's reader needs its shared-memory file.
        SqliteHandle from = open(source, SQLITE_OPEN_READWRITE, QStringLiteral("cannot open"));
        SqliteHandle to = open(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, QStringLiteral("cannot write"));
        copy(from.get(), to.get());
        from.reset();
        checkCopy(to.get());
        if (sqlite3_close(to.release()) != SQLITE_OK)
            throw ToolError(QStringLiteral("cannot finish writing %1").arg(QDir::toNativeSeparators(part)));
    } catch (...) {
        removeIfThere(part);
        removeIfThere(part + QStringLiteral("-journal"));
        removeIfThere(part + QStringLiteral("-wal"));
        removeIfThere(part + QStringLiteral("-shm"));
        throw;
    }
    // An old copy's WAL left at the target would be read into the new copy.
    removeIfThere(target + QStringLiteral("-wal"));
    removeIfThere(target + QStringLiteral("-shm"));
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData(), ec);
    if (ec) {
        removeIfThere(part);
        throw ToolError(QStringLiteral("cannot write %1: %2")
                            .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(ec.message())));
    }
    return QStringLiteral("Copied %1 to %2.").arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target));
}
