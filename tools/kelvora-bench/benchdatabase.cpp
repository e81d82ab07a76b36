#include "tools/kelvora-bench/benchdatabase.h"
#include "tools/kelvora-bench/benchoptions.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString ProbeConnection = QStringLiteral("kelvora_bench_probe");
const QString AdminConnection = QStringLiteral("kelvora_bench_admin");

void exec(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw DbError(QStringLiteral("%1: %2").arg(sql, q.lastError().text()));
}

}  // namespace

BenchDatabase::BenchDatabase(Engine engine, const BenchOptions& options)
    : m_engine(engine), m_lines(options.lines)
{
    QDir().mkpath(options.folder);
    const QDir folder(options.folder);
    if (engine == Engine::SQLite) {
        m_link.provider = DataLink::Provider::SQLite;
        m_link.dataSource = folder.absoluteFilePath(QStringLiteral("kelvora-bench-%1.db").arg(m_lines));
    } else {
        m_link.provider = DataLink::Provider::PostgreSQL;
        m_link.host = options.pgHost;
        m_link.port = options.pgPort;
        m_link.user = options.pgUser;
        m_link.password = options.pgPassword;
        m_link.database = options.pgDatabase;
    }
    m_udlPath = folder.absoluteFilePath(QStringLiteral("kavshiri-%1-%2.udl").arg(engineName(engine)).arg(m_lines));
}

QString BenchDatabase::completeMarker(qint64 lines)
{
    return QStringLiteral("kelvora-bench %1").arg(lines);
}

QString BenchDatabase::where() const
{
    if (m_engine == Engine::SQLite)
        return m_link.dataSource;
    return QStringLiteral("%1:%2/%3").arg(m_link.host).arg(m_link.port).arg(m_link.database);
}

DataLink BenchDatabase::adminLink() const
{
    DataLink admin = m_link;
    admin.database = QStringLiteral("postgres");
    return admin;
}

qint64 BenchDatabase::sizeBytes() const
{
    if (m_engine == Engine::SQLite)
        return QFileInfo(m_link.dataSource).size() + QFileInfo(m_link.dataSource + QStringLiteral("-wal")).size();
    qint64 size = -1;
    {
        QSqlDatabase db = Connection::openNamed(m_link, ProbeConnection);
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("select pg_database_size(current_database())")) && q.next())
            size = q.value(0).toLongLong();
        db.close();
    }
    QSqlDatabase::removeDatabase(ProbeConnection);
    return size;
}

bool BenchDatabase::isComplete() const
{
    if (m_engine == Engine::SQLite && !QFileInfo::exists(m_link.dataSource))
        return false;
    bool complete = false;
    try {
        if (m_engine == Engine::PostgreSQL) {
            QSqlDatabase admin = Connection::openNamed(adminLink(), AdminConnection);
            QSqlQuery q(admin);
            q.prepare(QStringLiteral("select 1 from pg_database where datname = ?"));
            q.addBindValue(m_link.database);
            const bool there = q.exec() && q.next();
            q.finish();
            admin.close();
            if (!there) {
                QSqlDatabase::removeDatabase(AdminConnection);
                return false;
            }
        }
        QSqlDatabase db = Connection::openNamed(m_link, ProbeConnection);
        if (Schema::exists(db)) {
            QSqlQuery q(db);
            complete = q.exec(QStringLiteral("select dawesebuleba from Parametres")) && q.next()
                       && q.value(0).toString() == completeMarker(m_lines);
        }
        db.close();
    } catch (const DbError&) {
        complete = false;
    }
    QSqlDatabase::removeDatabase(ProbeConnection);
    QSqlDatabase::removeDatabase(AdminConnection);
    return complete;
}

void BenchDatabase::drop()
{
    Connection::close();
    if (m_engine == Engine::SQLite) {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(m_link.dataSource + QLatin1String(suffix));
    } else {
        {
            QSqlDatabase admin = Connection::openNamed(adminLink(), AdminConnection);
            exec(admin, QStringLiteral("drop database if exists %1 with (force)").arg(m_link.database));
            admin.close();
        }
        QSqlDatabase::removeDatabase(AdminConnection);
    }
    QFile::remove(m_udlPath);
}

void BenchDatabase::recreate()
{
    drop();
    if (m_engine == Engine::SQLite) {
        // The connection refuses a missing file rather than quietly making one.
        QFile file(m_link.dataSource);
        if (!file.open(QIODevice::WriteOnly))
            throw DbError(QStringLiteral("cannot create %1: %2").arg(m_link.dataSource, file.errorString()));
    } else {
        {
            QSqlDatabase admin = Connection::openNamed(adminLink(), AdminConnection);
            exec(admin, QStringLiteral("create database %1 encoding 'UTF8' template template0").arg(m_link.database));
            admin.close();
        }
        QSqlDatabase::removeDatabase(AdminConnection);
    }
    // Owner-only, as every data link file: it may hold the server's password.
    QString error;
    if (!m_link.write(m_udlPath, &error))
        throw DbError(QStringLiteral("cannot write %1: %2").arg(m_udlPath, error));
}

void BenchDatabase::useAsProgramConnection() const
{
    if (!QFileInfo::exists(m_udlPath)) {
        QString error;
        if (!m_link.write(m_udlPath, &error))
            throw DbError(QStringLiteral("cannot write %1: %2").arg(m_udlPath, error));
    }
    Connection::setDataLinkPath(m_udlPath);
}

void BenchDatabase::useThroughProxy(int port) const
{
    DataLink link = m_link;
    link.host = QStringLiteral("127.0.0.1");
    link.port = port;
    const QString path = QFileInfo(m_udlPath).dir().filePath(QStringLiteral("kavshiri-proxy-%1.udl").arg(port));
    QFile udl(path);
    if (!udl.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw DbError(QStringLiteral("cannot write %1: %2").arg(path, udl.errorString()));
    udl.write(link.toText().toUtf8());
    udl.close();
    Connection::setDataLinkPath(path);
}
