#include "initdatabase.h"
#include "tools/shared/toolerror.h"

#include "data/connection.h"
#include "data/dberror.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace {

const QString SetupConnection = QStringLiteral("kelvora_db_setup");
const QString AdminConnection = QStringLiteral("kelvora_db_admin");

// Closes and forgets a named connection at the end of a scope. Declared before
// the QSqlDatabase handle of the scope, so that handle is gone by then.
class ConnectionGuard
{
public:
    explicit ConnectionGuard(QString name)
        : m_name(std::move(name)) {}
    ~ConnectionGuard()
    {
        if (QSqlDatabase::contains(m_name)) {
            QSqlDatabase::database(m_name, false).close();
            QSqlDatabase::removeDatabase(m_name);
        }
    }
    ConnectionGuard(const ConnectionGuard&) = delete;
    ConnectionGuard& operator=(const ConnectionGuard&) = delete;

private:
    QString m_name;
};

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

void run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw DbError(QStringLiteral("%1\n%2").arg(q.lastError().text(), sql));
}

// ---- SQLite -------------------------------------------------------------

// The files SQLite keeps beside a database while it is in use.
const QStringList& sqliteSidecars()
{
    static const QStringList suffixes = {QStringLiteral("-wal"), QStringLiteral("-shm"),
                                         QStringLiteral("-journal")};
    return suffixes;
}

void removeSqliteFiles(const QString& path)
{
    QFile::remove(path);
    for (const QString& s : sqliteSidecars())
        QFile::remove(path + s);
}

// A new empty file beside `target`, with the usual permissions (QTemporaryFile
// would leave the database readable by its owner only).
QString newFileBeside(const QString& target)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = QStringLiteral("%1.%2.new")
                                 .arg(target)
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        QFile file(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return name;
        if (!file.exists())
            throw ToolError(QStringLiteral("cannot create a file in %1: %2")
                                .arg(native(QFileInfo(target).absolutePath()), file.errorString()));
    }
    throw ToolError(QStringLiteral("cannot find a free file name beside %1").arg(native(target)));
}

void renameOver(const QString& from, const QString& to)
{
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(from).toStdString()),
                            std::filesystem::path(QFile::encodeName(to).toStdString()), ec);
    if (ec)
        throw ToolError(QStringLiteral("cannot put the new database in place at %1: %2")
                            .arg(native(to), QString::fromLocal8Bit(ec.message().c_str())));
}

void makeSqlite(const InitOptions& o)
{
    const QString target = o.link.dataSource;
    const QString building = newFileBeside(target);
    try {
        {
            DataLink link = o.link;
            link.dataSource = building;
            ConnectionGuard guard(SetupConnection);
            QSqlDatabase db = Connection::openNamed(link, SetupConnection);
            Setup::initialize(db, o.settings);
        }
        // Journals left by an earlier database of that name would be replayed
        // into the new one.
        for (const QString& s : sqliteSidecars()) {
            QFile stale(target + s);
            if (stale.exists() && !stale.remove())
                throw ToolError(QStringLiteral("cannot remove %1 of the old database: %2")
                                    .arg(native(stale.fileName()), stale.errorString()));
        }
        renameOver(building, target);
    } catch (...) {
        removeSqliteFiles(building);
        throw;
    }
}

// ---- PostgreSQL ---------------------------------------------------------

// The name goes into "create database", where it cannot be bound: only plain
// lower-case names, which the server keeps exactly as written.
void checkDatabaseName(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    if (!plain.match(name).hasMatch())
        throw ToolError(QStringLiteral("database name \"%1\": use lower-case Latin letters, digits and _ "
                                       "(at most 63, not starting with a digit)")
                            .arg(name));
}

QString serverText(const DataLink& link)
{
    return QStringLiteral("%1:%2").arg(link.host).arg(link.port);
}

// True when the database had to be created.
bool ensureDatabase(const DataLink& link)
{
    DataLink admin = link;
    admin.database = QStringLiteral("postgres");
    ConnectionGuard guard(AdminConnection);
    QSqlDatabase db = Connection::openNamed(admin, AdminConnection);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select 1 from pg_database where datname = ?"));
    q.addBindValue(link.database);
    if (!q.exec())
        throw DbError(q.lastError().text());
    if (q.next())
        return false;
    run(db, QStringLiteral("create database %1 encoding 'UTF8' template template0").arg(link.database));
    return true;
}

void dropDatabase(const DataLink& link)
{
    DataLink admin = link;
    admin.database = QStringLiteral("postgres");
    ConnectionGuard guard(AdminConnection);
    QSqlDatabase db = Connection::openNamed(admin, AdminConnection);
    QSqlQuery(db).exec(QStringLiteral("drop database if exists %1 with (force)").arg(link.database));
}

// What Setup creates beyond the tables: the `like` operators on integers. They
// are ours and go with the tables.
void dropKelvoraObjects(QSqlDatabase& db)
{
    for (const Schema::Table& t : Schema::tables())
        run(db, QStringLiteral("drop table if exists %1").arg(QLatin1String(t.name)));
    run(db, QStringLiteral("drop operator if exists ~~ (integer, text)"));
    run(db, QStringLiteral("drop operator if exists !~~ (integer, text)"));
}

// Returns true when the database was created for this run.
bool makePostgres(const InitOptions& o)
{
    const bool created = ensureDatabase(o.link);
    try {
        ConnectionGuard guard(SetupConnection);
        QSqlDatabase db = Connection::openNamed(o.link, SetupConnection);
        // The server's warnings (a BEGIN inside a transaction, see below) would
        // go to stderr between our own messages.
        run(db, QStringLiteral("set client_min_messages = error"));
        if (Schema::exists(db) && !o.force)
            throw ToolError(QStringLiteral("database %1 on %2 already holds the program's tables; "
                                           "--force replaces them (their rows are lost)")
                                .arg(o.link.database, serverText(o.link)));
        // Dropping the old tables and making the new ones is one transaction:
        // PostgreSQL takes the BEGIN that Setup issues inside it as a mere
        // warning, so Setup's COMMIT or ROLLBACK ends ours, and a failure brings
        // the old tables back.
        run(db, QStringLiteral("begin"));
        try {
            dropKelvoraObjects(db);
            Setup::initialize(db, o.settings);
        } catch (...) {
            QSqlQuery(db).exec(QStringLiteral("rollback"));
            throw;
        }
    } catch (...) {
        if (created)
            dropDatabase(o.link);
        throw;
    }
    return created;
}

void undoPostgres(const InitOptions& o, bool created)
{
    if (created) {
        dropDatabase(o.link);
        return;
    }
    ConnectionGuard guard(SetupConnection);
    QSqlDatabase db = Connection::openNamed(o.link, SetupConnection);
    run(db, QStringLiteral("begin"));
    dropKelvoraObjects(db);
    run(db, QStringLiteral("commit"));
}

}  // namespace

namespace {

// Writes the data link file and the database once the checks have passed.
QString make(const InitOptions& o, const QString& udlPath)
{
    const bool sqlite = o.link.provider == DataLink::Provider::SQLite;
    // A database file inside the folder is named relatively, so the folder can
    // be moved or copied as a whole.
    DataLink written = o.link;
    if (sqlite) {
        const QFileInfo file(o.link.dataSource);
        if (QDir::cleanPath(file.absolutePath()) == QDir::cleanPath(QDir(o.folder).absolutePath()))
            written.dataSource = file.fileName();
    }
    // Opened and written now, so an unwritable folder stops the run before the
    // database is made; it takes its name only at commit().
    QSaveFile udl(udlPath);
    // Readable by its owner only: a PostgreSQL link holds the server's password.
    if (!udl.open(QIODevice::WriteOnly) || (!sqlite && ::fchmod(udl.handle(), S_IRUSR | S_IWUSR) != 0))
        throw ToolError(QStringLiteral("cannot write %1: %2").arg(native(udlPath), udl.errorString()));
    udl.write(written.toText().toUtf8());

    if (sqlite) {
        makeSqlite(o);
        if (!udl.commit()) {
            removeSqliteFiles(o.link.dataSource);
            throw ToolError(QStringLiteral("cannot write %1: %2").arg(native(udlPath), udl.errorString()));
        }
        return QStringLiteral("SQLite database %1").arg(native(o.link.dataSource));
    }
    const bool created = makePostgres(o);
    if (!udl.commit()) {
        const QString why = udl.errorString();
        undoPostgres(o, created);
        throw ToolError(QStringLiteral("cannot write %1: %2").arg(native(udlPath), why));
    }
    return QStringLiteral("PostgreSQL database %1 on %2%3")
        .arg(o.link.database, serverText(o.link), created ? QStringLiteral(" (created)") : QString());
}

}  // namespace

QString initDatabase(const InitOptions& o)
{
    const bool sqlite = o.link.provider == DataLink::Provider::SQLite;
    const QString udlPath = QDir(o.folder).filePath(QString::fromLatin1(DataLink::FileName));

    // Everything that can be refused is refused before anything is written.
    const QFileInfo folder(o.folder);
    if (folder.exists() && !folder.isDir())
        throw ToolError(QStringLiteral("%1 is not a folder").arg(native(o.folder)));
    if (QFileInfo::exists(udlPath) && !o.force)
        throw ToolError(QStringLiteral("%1 already exists; --force replaces it").arg(native(udlPath)));
    if (sqlite && QFileInfo::exists(o.link.dataSource) && !o.force)
        throw ToolError(QStringLiteral("the database file %1 already exists; --force replaces it "
                                       "(its rows are lost)")
                            .arg(native(o.link.dataSource)));
    if (!sqlite)
        checkDatabaseName(o.link.database);

    const bool folderExisted = folder.exists();
    if (!QDir().mkpath(o.folder))
        throw ToolError(QStringLiteral("cannot create the folder %1").arg(native(o.folder)));
    QString made;
    try {
        made = make(o, udlPath);
    } catch (...) {
        if (!folderExisted)
            QDir().rmdir(o.folder);
        throw;
    }

    QString note;
    if (o.makeFiscalFolder) {
        const QString fiscal = QFileInfo(o.settings.commandPath).absolutePath();
        if (!QDir().mkpath(fiscal))
            note = QStringLiteral("\nwarning: cannot create the fiscal driver's folder %1").arg(native(fiscal));
    }
    return QStringLiteral("Made the %1 with %2 tables and %3 % service for \"%4\".\nWrote %5.%6")
        .arg(made)
        .arg(o.settings.tables)
        .arg(o.settings.servicePercent)
        .arg(o.settings.establishment, native(udlPath), note);
}
