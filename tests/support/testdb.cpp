#include "tests/support/testdb.h"
#include "data/connection.h"
#include "data/dberror.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <atomic>

namespace {

std::atomic<int> g_counter{0};

DataLink serverLink(const QString& database)
{
    const QByteArray host = qgetenv("KELVORA_TEST_PGHOST");
    if (host.isEmpty())
        qFatal("KELVORA_TEST_PGHOST is not set: the PostgreSQL tests need the server that "
               "scripts/with-postgres.sh starts (run the README's test command)");
    DataLink link;
    link.provider = DataLink::Provider::PostgreSQL;
    link.host = QString::fromLocal8Bit(host);
    link.port = qEnvironmentVariableIntValue("KELVORA_TEST_PGPORT");
    link.user = qEnvironmentVariable("KELVORA_TEST_PGUSER", QStringLiteral("postgres"));
    link.database = database;
    return link;
}

}  // namespace

void TestDb::addEngineRows()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(Engine::SQLite);
    QTest::newRow("postgres") << int(Engine::PostgreSQL);
}

Engine TestDb::currentEngine()
{
    const void* data = QTest::qGlobalData("engine", QMetaType::Int);
    if (!data)
        return Engine::SQLite;
    return Engine(*static_cast<const int*>(data));
}

TestDb::TestDb(Engine engine, const Setup::Settings& settings)
    : m_engine(engine)
{
    if (!m_dir.isValid())
        qFatal("cannot make a temporary folder");
    if (engine == Engine::SQLite) {
        m_link.provider = DataLink::Provider::SQLite;
        m_link.dataSource = m_dir.filePath(QStringLiteral("kelvora.db"));
        QFile f(m_link.dataSource);  // the database file must exist before it is opened
        f.open(QIODevice::WriteOnly);
    } else {
        m_pgDatabase = QStringLiteral("kelvora_t%1_%2")
                           .arg(QCoreApplication::applicationPid())
                           .arg(g_counter.fetch_add(1));
        QSqlDatabase admin = Connection::openNamed(serverLink(QStringLiteral("postgres")),
                                                   QStringLiteral("kelvora_test_admin"));
        exec(admin, QStringLiteral("drop database if exists %1").arg(m_pgDatabase));
        exec(admin, QStringLiteral("create database %1").arg(m_pgDatabase));
        admin.close();
        m_link = serverLink(m_pgDatabase);
    }
    {
        QSqlDatabase db = Connection::openNamed(m_link, QStringLiteral("kelvora_test_setup"));
        try {
            Setup::initialize(db, settings);
        } catch (const DbError& e) {
            qFatal("database set-up failed: %s", qPrintable(e.text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("kelvora_test_setup"));

    QFile udl(udlPath());
    udl.open(QIODevice::WriteOnly);
    udl.write(m_link.toText().toUtf8());
    udl.close();
    Connection::setDataLinkPath(udlPath());
}

TestDb::~TestDb()
{
    Connection::close();
    Connection::setDataLinkPath(QString());
    for (const QString& name : QSqlDatabase::connectionNames())
        if (name.startsWith(QLatin1String("station")))
            QSqlDatabase::removeDatabase(name);
    if (!m_pgDatabase.isEmpty()) {
        QSqlDatabase admin = Connection::openNamed(serverLink(QStringLiteral("postgres")),
                                                   QStringLiteral("kelvora_test_admin"));
        QSqlQuery(admin).exec(QStringLiteral("drop database if exists %1 with (force)").arg(m_pgDatabase));
        admin.close();
    }
}

QString TestDb::udlPath() const
{
    return m_dir.filePath(QString::fromLatin1(DataLink::FileName));
}

QSqlDatabase TestDb::openStation(const QString& connectionName) const
{
    return Connection::openNamed(m_link, connectionName);
}

void TestDb::exec(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

QVariant TestDb::scalar(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q.value(0);
}
