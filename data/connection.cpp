#include "data/connection.h"
#include "data/dberror.h"
#include "data/setup.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QString g_dataLinkPath;
constexpr int BusyTimeoutMs = 15000;
}  // namespace

void Connection::setDataLinkPath(const QString& path)
{
    close();
    g_dataLinkPath = path;
}

QString Connection::dataLinkPath()
{
    if (!g_dataLinkPath.isEmpty())
        return g_dataLinkPath;
    return QDir::current().absoluteFilePath(QString::fromLatin1(DataLink::FileName));
}

Engine Connection::engineOf(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Engine::PostgreSQL : Engine::SQLite;
}

QSqlDatabase Connection::openNamed(const DataLink& link, const QString& connectionName)
{
    if (QSqlDatabase::contains(connectionName))
        QSqlDatabase::removeDatabase(connectionName);
    QSqlDatabase db;
    if (link.provider == DataLink::Provider::SQLite) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(link.dataSource);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        db.setHostName(link.host);
        db.setPort(link.port);
        db.setDatabaseName(link.database);
        db.setUserName(link.user);
        db.setPassword(link.password);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    }
    if (!db.isValid())
        throw DbError(QStringLiteral("მონაცემთა ბაზის დრაივერი ვერ ჩაიტვირთა: %1").arg(db.driverName()));
    if (link.provider == DataLink::Provider::SQLite && !QFileInfo::exists(link.dataSource)) {
        // Opening a missing SQLite file would quietly create an empty database.
        throw DbError(QStringLiteral("მონაცემთა ბაზის ფაილი ვერ მოიძებნა: %1")
                          .arg(QDir::toNativeSeparators(link.dataSource)));
    }
    if (!db.open()) {
        const QString text = db.lastError().text();
        throw DbError(QStringLiteral("მონაცემთა ბაზასთან დაკავშირება ვერ მოხერხდა: %1").arg(text));
    }
    QSqlQuery q(db);
    if (link.provider == DataLink::Provider::SQLite) {
        // WAL lets readers on other copies go on while one writes.
        if (!q.exec(QStringLiteral("pragma journal_mode=wal")))
            throw DbError(q.lastError().text());
        q.exec(QStringLiteral("pragma foreign_keys=off"));
    } else {
        q.exec(QStringLiteral("set client_min_messages = warning"));
    }
    return db;
}

QSqlDatabase Connection::database()
{
    const QString name = QString::fromLatin1(Name);
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            return db;
    }
    const DataLink link = DataLink::read(dataLinkPath());
    QSqlDatabase db = openNamed(link, name);
    // A database made before a column was added gets it here.
    Setup::upgrade(db);
    return db;
}

Engine Connection::engine()
{
    return engineOf(database());
}

bool Connection::isOpen()
{
    const QString name = QString::fromLatin1(Name);
    return QSqlDatabase::contains(name) && QSqlDatabase::database(name, false).isOpen();
}

void Connection::close()
{
    const QString name = QString::fromLatin1(Name);
    if (QSqlDatabase::contains(name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
}
