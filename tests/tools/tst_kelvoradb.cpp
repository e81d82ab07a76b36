// kelvora-db run as its own process, as a user runs it, on both engines.

#include "data/connection.h"
#include "data/datalink.h"
#include "data/dberror.h"
#include "data/engine.h"
#include "data/schema.h"
#include "data/datamodule.h"
#include "tools/kelvora-db/demodata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <sqlite3.h>
#include <thread>

#ifndef KELVORA_DB_TOOL
#error "KELVORA_DB_TOOL must name the kelvora-db executable"
#endif

namespace {

const QString Check = QStringLiteral("tst_kelvoradb_check");
const QString Admin = QStringLiteral("tst_kelvoradb_admin");

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runTool(const QStringList& args, const QString& workDir = QString())
{
    QProcess p;
    p.setProgram(QStringLiteral(KELVORA_DB_TOOL));
    p.setArguments(args);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start();
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("kelvora-db did not finish");
        return r;
    }
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QString describe(const Run& r)
{
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(r.exitCode).arg(r.out, r.err);
}

// A refusal is a plain message of the tool, not a crash or a sanitizer report.
bool refusedCleanly(const Run& r)
{
    return r.exitCode > 0 && r.err.startsWith(QLatin1String("kelvora-db: "))
           && !r.err.contains(QLatin1String("Sanitizer"));
}

QString udlIn(const QString& folder)
{
    return QDir(folder).filePath(QString::fromLatin1(DataLink::FileName));
}

QStringList listing(const QString& folder)
{
    QStringList all;
    QDir dir(folder);
    for (const QFileInfo& f : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                                QDir::Name)) {
        all << f.fileName();
        if (f.isDir())
            for (const QString& inner : listing(f.filePath()))
                all << f.fileName() + u'/' + inner;
    }
    return all;
}

QVariant scalar(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q.value(0);
}

void exec(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

}  // namespace

class tst_kelvoradb : public QObject
{
    Q_OBJECT

private:
    QString m_pgHost;
    int m_pgPort = 0;
    QString m_pgUser;
    QStringList m_databases;  // made on the server by this test; dropped after each function
    int m_counter = 0;

    DataLink serverLink(const QString& database) const
    {
        DataLink link;
        link.provider = DataLink::Provider::PostgreSQL;
        link.host = m_pgHost;
        link.port = m_pgPort;
        link.user = m_pgUser;
        link.database = database;
        return link;
    }

    QString newDatabaseName()
    {
        const QString name = QStringLiteral("kelvora_tool_%1_%2")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(m_counter++);
        m_databases << name;
        return name;
    }

    // --engine and, for PostgreSQL, the server of the test script and a database.
    QStringList engineArgs(Engine engine, const QString& database) const
    {
        if (engine == Engine::SQLite)
            return {QStringLiteral("--engine"), QStringLiteral("sqlite")};
        return {QStringLiteral("--engine"), QStringLiteral("postgres"),
                QStringLiteral("--host"), m_pgHost,
                QStringLiteral("--port"), QString::number(m_pgPort),
                QStringLiteral("--user"), m_pgUser,
                QStringLiteral("--database"), database};
    }

    bool databaseExists(const QString& name) const
    {
        QSqlDatabase db = Connection::openNamed(serverLink(QStringLiteral("postgres")), Admin);
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select 1 from pg_database where datname = ?"));
        q.addBindValue(name);
        if (!q.exec())
            qFatal("%s", qPrintable(q.lastError().text()));
        return q.next();
    }

    // A connection to the database that the data link file names.
    static QSqlDatabase openFromUdl(const QString& folder)
    {
        return Connection::openNamed(DataLink::read(udlIn(folder)), Check);
    }

    static void addEngines(const char* name)
    {
        for (Engine e : {Engine::SQLite, Engine::PostgreSQL})
            QTest::addRow("%s/%s", e == Engine::SQLite ? "sqlite" : "postgres", name) << int(e);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_pgHost = qEnvironmentVariable("KELVORA_TEST_PGHOST");
        m_pgPort = qEnvironmentVariableIntValue("KELVORA_TEST_PGPORT");
        m_pgUser = qEnvironmentVariable("KELVORA_TEST_PGUSER", QStringLiteral("postgres"));
        QVERIFY2(!m_pgHost.isEmpty() && m_pgPort > 0,
                 "KELVORA_TEST_PGHOST/PGPORT are not set: run the tests inside scripts/with-postgres.sh");
        QVERIFY(QFileInfo(QStringLiteral(KELVORA_DB_TOOL)).isExecutable());
    }

    void cleanup()
    {
        Connection::close();
        Connection::setDataLinkPath(QString());
        if (QSqlDatabase::contains(Check)) {
            QSqlDatabase::database(Check, false).close();
            QSqlDatabase::removeDatabase(Check);
        }
        if (!m_databases.isEmpty()) {
            {
                QSqlDatabase db = Connection::openNamed(serverLink(QStringLiteral("postgres")), Admin);
                for (const QString& name : std::as_const(m_databases))
                    QSqlQuery(db).exec(QStringLiteral("drop database if exists %1 with (force)").arg(name));
                db.close();
            }
            m_databases.clear();
        }
        if (QSqlDatabase::contains(Admin))
            QSqlDatabase::removeDatabase(Admin);
    }

    void initCreatesDatabase_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("cwd");  // run in the folder instead of passing --dir
        QTest::addColumn<int>("tables");
        QTest::addColumn<double>("service");
        QTest::addColumn<QString>("establishment");
        QTest::addColumn<QString>("command");  // "{dir}" is the folder
        QTest::addColumn<QString>("answer");

        const QString defCommand = QStringLiteral("{dir}/fiscal/command.txt");
        const QString defAnswer = QStringLiteral("{dir}/fiscal/answer.txt");
        for (Engine e : {Engine::SQLite, Engine::PostgreSQL}) {
            const char* en = e == Engine::SQLite ? "sqlite" : "postgres";
            QTest::addRow("%s/defaults", en) << int(e) << QStringList() << false << 12 << 10.0
                                             << QStringLiteral("კელვორა") << defCommand << defAnswer;
            QTest::addRow("%s/current folder", en) << int(e) << QStringList() << true << 12 << 10.0
                                                   << QStringLiteral("კელვორა") << defCommand << defAnswer;
            QTest::addRow("%s/every option", en)
                << int(e)
                << QStringList{QStringLiteral("--tables"), QStringLiteral("20"),
                               QStringLiteral("--service"), QStringLiteral("12.5"),
                               QStringLiteral("--establishment"), QStringLiteral("სასადილო „ძველი უბანი“"),
                               QStringLiteral("--command"), QStringLiteral("{dir}/driver/in.txt"),
                               QStringLiteral("--answer"), QStringLiteral("{dir}/driver/out.txt")}
                << false << 20 << 12.5 << QStringLiteral("სასადილო „ძველი უბანი“")
                << QStringLiteral("{dir}/driver/in.txt") << QStringLiteral("{dir}/driver/out.txt");
            QTest::addRow("%s/comma in the service", en)
                << int(e) << QStringList{QStringLiteral("--service"), QStringLiteral("7,5"), QStringLiteral("--tables"), QStringLiteral("1")}
                << false << 1 << 7.5 << QStringLiteral("კელვორა") << defCommand << defAnswer;
        }
    }

    void initCreatesDatabase()
    {
        QFETCH(int, engine);
        QFETCH(QStringList, options);
        QFETCH(bool, cwd);
        QFETCH(int, tables);
        QFETCH(double, service);
        QFETCH(QString, establishment);
        QFETCH(QString, command);
        QFETCH(QString, answer);
        const Engine e = Engine(engine);

        QTemporaryDir tmp;
        const QString folder = tmp.filePath(cwd ? QStringLiteral("here") : QStringLiteral("new/site"));
        if (cwd)
            QVERIFY(QDir().mkpath(folder));
        for (QString* s : {&command, &answer})
            s->replace(QLatin1String("{dir}"), folder);
        for (QString& o : options)
            o.replace(QLatin1String("{dir}"), folder);

        QStringList args = QStringList{QStringLiteral("init")} + engineArgs(e, newDatabaseName()) + options;
        if (!cwd)
            args << QStringLiteral("--dir") << folder;
        const Run r = runTool(args, cwd ? folder : tmp.path());
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));

        if (e == Engine::SQLite) {
            QVERIFY(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("kelvora.db"))));
            const QStringList left = listing(folder);
            for (const QString& f : left)
                QVERIFY2(!f.endsWith(QLatin1String(".new")) && !f.endsWith(QLatin1String("-journal")),
                         qPrintable(f));
        }
        if (command.startsWith(QDir(folder).filePath(QStringLiteral("fiscal"))))
            QVERIFY2(QFileInfo(QFileInfo(command).absolutePath()).isDir(),
                     "the fiscal driver's folder was not made");

        // The change feed's triggers come with the new database (looked at
        // before the program's connection would add them).
        {
            QSqlDatabase plain = Connection::openNamed(DataLink::read(udlIn(folder)), QStringLiteral("feed_check"));
            QVERIFY(Schema::ChangeFeed::installed(plain));
            plain.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("feed_check"));

        // The program's own road: kavshiri.udl, the connection, the data module.
        Connection::setDataLinkPath(udlIn(folder));
        QCOMPARE(Connection::engine(), e);
        QSqlDatabase db = Connection::database();
        for (const Schema::Table& t : Schema::tables()) {
            QSqlQuery q(db);
            QVERIFY2(q.exec(QStringLiteral("select count(*) from %1").arg(QLatin1String(t.name))),
                     qPrintable(q.lastError().text()));
        }
        TDM dm;
        try {
            dm.setting->open();
            // `like` on an integer column, as the catalogue's texts use it.
            dm.kerdzebi_kerid->setParam(QStringLiteral("ID"), QStringLiteral("%"));
            dm.kerdzebi_kerid->open();
            dm.Tables->open();
        } catch (const DbError& err) {
            QFAIL(qPrintable(err.text()));
        }
        QCOMPARE(dm.setting->rowCount(), 1);
        QCOMPARE(dm.setting->asInteger(QStringLiteral("Tables")), tables);
        QCOMPARE(dm.setting->asInteger(QStringLiteral("inctb")), 0);
        QCOMPARE(dm.setting->asFloat(QStringLiteral("momsaxureoba")), service);
        QCOMPARE(dm.setting->asString(QStringLiteral("dawesebuleba")), establishment);
        QCOMPARE(dm.setting->asString(QStringLiteral("COMMAND")), command);
        QCOMPARE(dm.setting->asString(QStringLiteral("ANSWER")), answer);
        QVERIFY(dm.kerdzebi_kerid->isEmpty());
        QVERIFY(dm.Tables->isEmpty());
    }

    // A database in the folder goes with it: the copy opens on its own.
    void sqliteFolderMoves()
    {
        QTemporaryDir tmp;
        const QString folder = tmp.filePath(QStringLiteral("site"));
        const Run r = runTool({QStringLiteral("init"), QStringLiteral("--engine"), QStringLiteral("sqlite"),
                               QStringLiteral("--dir"), folder});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        const QString moved = tmp.filePath(QStringLiteral("moved"));
        QVERIFY(QDir().rename(folder, moved));
        const DataLink link = DataLink::read(udlIn(moved));
        QCOMPARE(link.dataSource, QDir(moved).filePath(QStringLiteral("kelvora.db")));
        QSqlDatabase db = Connection::openNamed(link, Check);
        QCOMPARE(scalar(db, QStringLiteral("select count(*) from Parametres")).toInt(), 1);
    }

    void refusesExisting_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<bool>("keepDatabase");  // else only kavshiri.udl is in the way
        for (Engine e : {Engine::SQLite, Engine::PostgreSQL}) {
            const char* en = e == Engine::SQLite ? "sqlite" : "postgres";
            QTest::addRow("%s/database", en) << int(e) << true;
            QTest::addRow("%s/data link file", en) << int(e) << false;
        }
    }

    void refusesExisting()
    {
        QFETCH(int, engine);
        QFETCH(bool, keepDatabase);
        const Engine e = Engine(engine);
        QTemporaryDir tmp;
        const QString folder = tmp.path();
        const QString udl = udlIn(folder);
        const QString first = newDatabaseName();
        const QString establishment = QStringLiteral("--establishment");

        Run r = runTool(QStringList{QStringLiteral("init"), QStringLiteral("--dir"), folder, establishment,
                                    QStringLiteral("პირველი")}
                        + engineArgs(e, first));
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        {
            QSqlDatabase db = openFromUdl(folder);
            exec(db, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi) values ('ჩაი', 'სასმელები')"));
            db.close();
        }

        // The second run aims at the same database, or at a new one through the
        // same folder.
        const QString second = keepDatabase ? first : newDatabaseName();
        QByteArray udlBefore;
        if (keepDatabase) {
            QVERIFY(QFile::remove(udl));
        } else {
            if (e == Engine::SQLite)
                QVERIFY(QFile::remove(QDir(folder).filePath(QStringLiteral("kelvora.db"))));
            QFile f(udl);
            QVERIFY(f.open(QIODevice::ReadOnly));
            udlBefore = f.readAll();
        }
        const QStringList again = QStringList{QStringLiteral("init"), QStringLiteral("--dir"), folder,
                                              establishment, QStringLiteral("მეორე")}
                                  + engineArgs(e, second);
        r = runTool(again);
        QVERIFY2(refusedCleanly(r), qPrintable(describe(r)));
        if (keepDatabase) {
            QVERIFY(!QFileInfo::exists(udl));
            DataLink link = e == Engine::SQLite ? DataLink() : serverLink(first);
            if (e == Engine::SQLite)
                link.dataSource = QDir(folder).filePath(QStringLiteral("kelvora.db"));
            QSqlDatabase db = Connection::openNamed(link, Check);
            QCOMPARE(scalar(db, QStringLiteral("select dawesebuleba from Parametres")).toString(),
                     QStringLiteral("პირველი"));
            QCOMPARE(scalar(db, QStringLiteral("select count(*) from kerdzebi")).toInt(), 1);
            db.close();
        } else {
            QFile f(udl);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), udlBefore);
            if (e == Engine::SQLite)
                QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("kelvora.db"))));
            else
                QVERIFY(!databaseExists(second));
        }

        r = runTool(again + QStringList{QStringLiteral("--force")});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QSqlDatabase db = openFromUdl(folder);
        QCOMPARE(scalar(db, QStringLiteral("select dawesebuleba from Parametres")).toString(),
                 QStringLiteral("მეორე"));
        QCOMPARE(scalar(db, QStringLiteral("select count(*) from Parametres")).toInt(), 1);
        QCOMPARE(scalar(db, QStringLiteral("select count(*) from kerdzebi")).toInt(), 0);
        // The `like` on integers the replaced database had still works.
        QCOMPARE(scalar(db, QStringLiteral("select count(*) from Parametres where Tables like '1%'")).toInt(), 1);
        db.close();
    }

    // A database left over by an earlier SQLite run: its journal beside it must
    // not be replayed into the replacement.
    void sqliteForceDropsOldJournal()
    {
        QTemporaryDir tmp;
        const QStringList args{QStringLiteral("init"), QStringLiteral("--engine"), QStringLiteral("sqlite"),
                               QStringLiteral("--dir"), tmp.path()};
        Run r = runTool(args);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        {
            // A station that stopped without a checkpoint leaves its WAL behind.
            QSqlDatabase db = openFromUdl(tmp.path());
            exec(db, QStringLiteral("pragma wal_autocheckpoint=0"));
            exec(db, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi) values ('ჩაი', 'სასმელები')"));
            const QString wal = db.databaseName() + QStringLiteral("-wal");
            QVERIFY(QFileInfo(wal).size() > 0);
            QVERIFY(QFile::copy(wal, tmp.filePath(QStringLiteral("saved-wal"))));
            db.close();
        }
        // Closing checkpoints and removes the WAL; put it back as a crash leaves it.
        QSqlDatabase::removeDatabase(Check);
        const QString wal = QDir(tmp.path()).filePath(QStringLiteral("kelvora.db-wal"));
        QFile::remove(wal);
        QVERIFY(QFile::copy(tmp.filePath(QStringLiteral("saved-wal")), wal));
        r = runTool(args + QStringList{QStringLiteral("--force")});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QSqlDatabase db = openFromUdl(tmp.path());
        QCOMPARE(scalar(db, QStringLiteral("select count(*) from kerdzebi")).toInt(), 0);
        QCOMPARE(scalar(db, QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
    }

    void failureLeavesNothing_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QStringList>("args");     // "{tmp}": the test's folder; "{engine}": engine options
        QTest::addColumn<QStringList>("prepare");  // made first: "name/" a folder, else a file

        const QString e = QStringLiteral("{engine}");
        const QString init = QStringLiteral("init");
        const QString dir = QStringLiteral("--dir");
        const QString site = QStringLiteral("{tmp}/site");
        const int sqlite = int(Engine::SQLite);
        const int pg = int(Engine::PostgreSQL);

        QTest::newRow("sqlite/folder under a file")
            << sqlite << QStringList{init, e, dir, QStringLiteral("{tmp}/blocker/site")}
            << QStringList{QStringLiteral("blocker")};
        QTest::newRow("sqlite/database folder missing")
            << sqlite << QStringList{init, e, dir, site, QStringLiteral("--file"), QStringLiteral("{tmp}/no/kelvora.db")}
            << QStringList();
        QTest::newRow("sqlite/folder in the database's place, --force")
            << sqlite << QStringList{init, e, dir, site, QStringLiteral("--force")}
            << QStringList{QStringLiteral("site/"), QStringLiteral("site/kelvora.db/"),
                           QStringLiteral("site/kelvora.db/keep")};
        QTest::newRow("sqlite/unknown engine")
            << sqlite << QStringList{init, QStringLiteral("--engine"), QStringLiteral("access"), dir, site}
            << QStringList();
        QTest::newRow("sqlite/no tables")
            << sqlite << QStringList{init, e, dir, site, QStringLiteral("--tables"), QStringLiteral("0")}
            << QStringList();
        QTest::newRow("sqlite/service not a number")
            << sqlite << QStringList{init, e, dir, site, QStringLiteral("--service"), QStringLiteral("ათი")}
            << QStringList();
        QTest::newRow("sqlite/establishment too long")
            << sqlite << QStringList{init, e, dir, site, QStringLiteral("--establishment"), QString(51, u'ა')}
            << QStringList();
        QTest::newRow("sqlite/server option")
            << sqlite << QStringList{init, e, dir, site, QStringLiteral("--port"), QStringLiteral("5432")}
            << QStringList();
        QTest::newRow("postgres/bad port")
            << pg << QStringList{init, e, dir, site, QStringLiteral("--port"), QStringLiteral("1")} << QStringList();
        QTest::newRow("postgres/unknown user")
            << pg << QStringList{init, e, dir, site, QStringLiteral("--user"), QStringLiteral("kelvora_nobody")}
            << QStringList();
        QTest::newRow("postgres/database name with SQL")
            << pg << QStringList{init, e, dir, site, QStringLiteral("--database"), QStringLiteral("k; drop table x")}
            << QStringList();
        QTest::newRow("postgres/file option")
            << pg << QStringList{init, e, dir, site, QStringLiteral("--file"), QStringLiteral("{tmp}/k.db")}
            << QStringList();
        QTest::newRow("demo/no data link file") << sqlite << QStringList{QStringLiteral("demo"), dir, site}
                                                << QStringList{QStringLiteral("site/")};
        QTest::newRow("demo/init option")
            << sqlite << QStringList{QStringLiteral("demo"), dir, site, QStringLiteral("--tables"), QStringLiteral("5")}
            << QStringList();
        QTest::newRow("demo/backup option")
            << sqlite << QStringList{QStringLiteral("demo"), dir, site, QStringLiteral("--to"), QStringLiteral("{tmp}/c.db")}
            << QStringList();
        QTest::newRow("init/backup option")
            << sqlite << QStringList{init, e, dir, site, QStringLiteral("--to"), QStringLiteral("{tmp}/c.db")}
            << QStringList();
        QTest::newRow("check/no data link file") << sqlite << QStringList{QStringLiteral("check"), dir, site}
                                                 << QStringList{QStringLiteral("site/")};
        QTest::newRow("check/init option")
            << sqlite << QStringList{QStringLiteral("check"), dir, site, QStringLiteral("--tables"), QStringLiteral("5")}
            << QStringList();
        QTest::newRow("backup/no data link file")
            << sqlite << QStringList{QStringLiteral("backup"), dir, site, QStringLiteral("--to"), QStringLiteral("{tmp}/c.db")}
            << QStringList{QStringLiteral("site/")};
        QTest::newRow("no command") << sqlite << QStringList{dir, site} << QStringList();
        QTest::newRow("unknown command") << sqlite << QStringList{QStringLiteral("create"), e, dir, site}
                                         << QStringList();
    }

    void failureLeavesNothing()
    {
        QFETCH(int, engine);
        QFETCH(QStringList, args);
        QFETCH(QStringList, prepare);
        QTemporaryDir tmp;
        for (const QString& p : prepare) {
            if (p.endsWith(u'/')) {
                QVERIFY(QDir(tmp.path()).mkpath(p));
            } else {
                QFile f(tmp.filePath(p));
                QVERIFY(f.open(QIODevice::WriteOnly));
            }
        }
        const QStringList before = listing(tmp.path());
        const QString database = newDatabaseName();
        QStringList expanded;
        for (const QString& a : args) {
            if (a == QLatin1String("{engine}"))
                expanded << engineArgs(Engine(engine), database);
            else
                expanded << QString(a).replace(QLatin1String("{tmp}"), tmp.path());
        }
        const Run r = runTool(expanded, tmp.path());
        QVERIFY2(refusedCleanly(r), qPrintable(describe(r)));
        QCOMPARE(listing(tmp.path()), before);
        if (Engine(engine) == Engine::PostgreSQL)
            QVERIFY(!databaseExists(database));
    }

    // The tables of a PostgreSQL database are made in one transaction: a failure
    // half-way leaves none of them, and with --force the old ones stay.
    void postgresFailureRollsBack()
    {
        QTemporaryDir tmp;
        const QString name = newDatabaseName();
        {
            QSqlDatabase admin = Connection::openNamed(serverLink(QStringLiteral("postgres")), Admin);
            exec(admin, QStringLiteral("create database %1").arg(name));
            admin.close();
        }
        // Someone else's index holds a name the schema uses for its last index,
        // so the set-up fails after most tables are made.
        QSqlDatabase db = Connection::openNamed(serverLink(name), Check);
        exec(db, QStringLiteral("create table other (x integer)"));
        exec(db, QStringLiteral("create index ix_uplebebi_ganyofileba on other (x)"));

        const QStringList args = QStringList{QStringLiteral("init"), QStringLiteral("--dir"), tmp.path()}
                                 + engineArgs(Engine::PostgreSQL, name);
        Run r = runTool(args);
        QVERIFY2(refusedCleanly(r), qPrintable(describe(r)));
        QVERIFY(!QFileInfo::exists(udlIn(tmp.path())));
        QVERIFY(db.tables().contains(QStringLiteral("other")));
        QCOMPARE(db.tables().size(), 1);

        // The old tables and their rows survive a failed --force.
        exec(db, QStringLiteral("drop index ix_uplebebi_ganyofileba"));
        r = runTool(args);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        exec(db, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi) values ('ჩაი', 'სასმელები')"));
        exec(db, QStringLiteral("alter index ix_uplebebi_ganyofileba rename to ix_kept"));
        exec(db, QStringLiteral("create index ix_uplebebi_ganyofileba on other (x)"));
        QFile::remove(udlIn(tmp.path()));
        r = runTool(args + QStringList{QStringLiteral("--force")});
        QVERIFY2(refusedCleanly(r), qPrintable(describe(r)));
        QVERIFY(!QFileInfo::exists(udlIn(tmp.path())));
        QCOMPARE(scalar(db, QStringLiteral("select count(*) from kerdzebi")).toInt(), 1);
        QCOMPARE(scalar(db, QStringLiteral("select count(*) from kerdzebi where ID like '%'")).toInt(), 1);
        db.close();
    }

    void demo_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<int>("tables");  // given to init; the demo keeps it
        for (Engine e : {Engine::SQLite, Engine::PostgreSQL})
            for (int tables : {3, 16})
                QTest::addRow("%s/fresh database, %d tables", e == Engine::SQLite ? "sqlite" : "postgres", tables)
                    << int(e) << tables;
    }

    void demo()
    {
        QFETCH(int, engine);
        QFETCH(int, tables);
        QTemporaryDir tmp;
        Run r = runTool(QStringList{QStringLiteral("init"), QStringLiteral("--tables"), QString::number(tables)}
                            + engineArgs(Engine(engine), newDatabaseName()),
                        tmp.path());
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        r = runTool({QStringLiteral("demo")}, tmp.path());
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));

        const QString drinks = QString::fromUtf8(DemoData::DrinksType);
        const QString active = QString::fromUtf8(DemoData::ActiveWaiter);
        const QString passive = QString::fromUtf8(DemoData::PassiveWaiter);

        QSqlDatabase db = openFromUdl(tmp.path());
        const int items = scalar(db, QStringLiteral("select count(*) from kerdzebi")).toInt();
        QVERIFY2(items >= 30, qPrintable(QString::number(items)));
        // The catalogue holds names unique; every item is complete enough to sell.
        QCOMPARE(scalar(db, QStringLiteral("select count(distinct Dasaxeleba) from kerdzebi")).toInt(), items);
        QCOMPARE(scalar(db, QStringLiteral("select count(*) from kerdzebi where Dasaxeleba <> '' and tipi <> '' "
                                           "and momwodebeli <> '' and gasayidi > 0 and asagebi > 0 "
                                           "and asagebi < gasayidi and raodenoba > 0"))
                     .toInt(),
                 items);
        // The floor keeps the tables init was given.
        QCOMPARE(scalar(db, QStringLiteral("select Tables from Parametres")).toInt(), tables);

        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("select mdgomareoba, count(*) from OFICIANTI group by mdgomareoba")));
        QMap<QString, int> waiters;
        while (q.next())
            waiters.insert(q.value(0).toString(), q.value(1).toInt());
        QCOMPARE(waiters.keys(), (QList<QString>{active, passive}));
        QCOMPARE(waiters.value(passive), 1);
        QVERIFY(waiters.value(active) >= 2);

        // Kitchen routing as the order window sees it: the cooks of each type.
        Connection::setDataLinkPath(udlIn(tmp.path()));
        TDM dm;
        dm.GROUP_TYPE->open();
        QMap<QString, int> cooksOfType;
        for (dm.GROUP_TYPE->first(); !dm.GROUP_TYPE->eof(); dm.GROUP_TYPE->next()) {
            const QString type = dm.GROUP_TYPE->asString(QStringLiteral("tipi"));
            dm.povrebis_uplebebi->close();
            dm.povrebis_uplebebi->setParam(QStringLiteral("GAN"), type);
            dm.povrebis_uplebebi->open();
            cooksOfType.insert(type, dm.povrebis_uplebebi->rowCount());
        }
        QVERIFY2(cooksOfType.size() >= 5, qPrintable(cooksOfType.keys().join(u',')));
        QVERIFY(cooksOfType.contains(drinks));
        QCOMPARE(cooksOfType.value(drinks), 0);
        // A dish reaches a cook only when its type has exactly one: every
        // kitchen type has one, and every demo cook gets dishes.
        for (auto it = cooksOfType.cbegin(); it != cooksOfType.cend(); ++it)
            if (it.key() != drinks)
                QVERIFY2(it.value() == 1, qPrintable(QStringLiteral("%1: %2 cooks").arg(it.key()).arg(it.value())));
        QCOMPARE(scalar(db, QStringLiteral("select count(distinct povari) from uplebebi u where (select count(*) "
                                           "from uplebebi v where v.ganyofileba = u.ganyofileba) = 1"))
                     .toInt(),
                 scalar(db, QStringLiteral("select count(distinct povari) from uplebebi")).toInt());
        // Every routing row names a type that is on the menu.
        QCOMPARE(scalar(db, QStringLiteral("select count(*) from uplebebi where ganyofileba not in "
                                           "(select tipi from kerdzebi)"))
                     .toInt(),
                 0);
        // The order window's menu lists every item.
        dm.kerdzebi->setParam(QStringLiteral("das"), QStringLiteral("%"));
        dm.kerdzebi->setParam(QStringLiteral("tp"), QStringLiteral("%"));
        dm.kerdzebi->open();
        QCOMPARE(dm.kerdzebi->rowCount(), items);
    }

    void demoRefusesFilledDatabase_data()
    {
        QTest::addColumn<int>("engine");
        addEngines("menu present");
    }

    void demoRefusesFilledDatabase()
    {
        QFETCH(int, engine);
        QTemporaryDir tmp;
        const QString dir = tmp.filePath(QStringLiteral("site"));
        const QStringList demo{QStringLiteral("demo"), QStringLiteral("--dir"), dir};
        Run r = runTool(QStringList{QStringLiteral("init"), QStringLiteral("--dir"), dir, QStringLiteral("--tables"),
                                    QStringLiteral("16")}
                        + engineArgs(Engine(engine), newDatabaseName()));
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        r = runTool(demo);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));

        QSqlDatabase db = openFromUdl(dir);
        const auto count = [&db](const char* table) {
            return scalar(db, QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).toInt();
        };
        const int items = count("kerdzebi");
        const int waiters = count("OFICIANTI");
        const int routing = count("uplebebi");
        // A day of work: an order line and the counter moved on.
        exec(db, QStringLiteral("insert into Shekvetebi (Kerdzi_N, Raodenoba, USERNUM) "
                                "select min(ID), 2, 7 from kerdzebi"));
        exec(db, QStringLiteral("update Parametres set inctb = 7"));

        r = runTool(demo);
        QVERIFY2(refusedCleanly(r), qPrintable(describe(r)));
        QCOMPARE(count("kerdzebi"), items);
        QCOMPARE(count("OFICIANTI"), waiters);
        QCOMPARE(count("Shekvetebi"), 1);

        r = runTool(demo + QStringList{QStringLiteral("--force")});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QCOMPARE(count("kerdzebi"), items);
        QCOMPARE(count("OFICIANTI"), waiters);
        QCOMPARE(count("uplebebi"), routing);
        QCOMPARE(count("Shekvetebi"), 0);
        QCOMPARE(count("Parametres"), 1);
        QCOMPARE(scalar(db, QStringLiteral("select inctb from Parametres")).toInt(), 0);
        QCOMPARE(scalar(db, QStringLiteral("select Tables from Parametres")).toInt(), 16);
    }

    // A newcomer's first two commands, with no options at all, in an empty folder.
    void initAndCheckWithoutOptions()
    {
        QTemporaryDir tmp;
        Run r = runTool({QStringLiteral("init")}, tmp.path());
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        const DataLink link = DataLink::read(udlIn(tmp.path()));
        QCOMPARE(link.provider, DataLink::Provider::SQLite);
        QCOMPARE(link.dataSource, tmp.filePath(QStringLiteral("kelvora.db")));

        r = runTool({QStringLiteral("check")}, tmp.path());
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QCOMPARE(r.out, QStringLiteral("reachable: SQLite %1, %2, 0 orders (0 lines)\n")
                            .arg(QString::fromLatin1(sqlite3_libversion()), tmp.filePath(QStringLiteral("kelvora.db"))));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    }

    void check_data()
    {
        QTest::addColumn<int>("engine");
        addEngines("orders counted");
    }

    // check answers as the program sees the database: engine, the server's own
    // version, the orders (order numbers) and their lines.
    void check()
    {
        QFETCH(int, engine);
        const Engine e = Engine(engine);
        QTemporaryDir tmp;
        const QString database = newDatabaseName();
        Run r = runTool(QStringList{QStringLiteral("init")} + engineArgs(e, database), tmp.path());
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        {
            QSqlDatabase db = openFromUdl(tmp.path());
            exec(db, QStringLiteral("insert into Shekvetebi (Kerdzi_N, Raodenoba, USERNUM) values (1, 2, 7)"));
            exec(db, QStringLiteral("insert into Shekvetebi (Kerdzi_N, Raodenoba, USERNUM) values (2, 1, 7)"));
            exec(db, QStringLiteral("insert into Shekvetebi (Kerdzi_N, Raodenoba, USERNUM) values (1, 1, 8)"));
            const QString version = scalar(db, e == Engine::SQLite ? QStringLiteral("select sqlite_version()")
                                                                   : QStringLiteral("show server_version"))
                                        .toString();
            const QString where = e == Engine::SQLite ? tmp.filePath(QStringLiteral("kelvora.db"))
                                                      : QStringLiteral("%1 on %2:%3").arg(database, m_pgHost).arg(m_pgPort);
            r = runTool({QStringLiteral("check"), QStringLiteral("--dir"), tmp.path()});
            QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
            // A PostgreSQL link names its server below: here the one primary,
            // on this machine, so libpq's own choice of encryption stands.
            const QString servers = e == Engine::SQLite ? QString()
                                                        : QStringLiteral("server %1:%2: primary, not encrypted\n").arg(m_pgHost).arg(m_pgPort);
            QCOMPARE(r.out, QStringLiteral("reachable: %1 %2, %3, 2 orders (3 lines)\n%4")
                                .arg(e == Engine::SQLite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL"),
                                     version, where, servers));
            db.close();
        }
        QSqlDatabase::removeDatabase(Check);

        // The database gone: one line on stderr, exit 1, and no empty file made in its place.
        if (e == Engine::SQLite) {
            QVERIFY(QFile::remove(tmp.filePath(QStringLiteral("kelvora.db"))));
        } else {
            DataLink link = DataLink::read(udlIn(tmp.path()));
            link.port = 1;  // nothing listens there
            QFile f(udlIn(tmp.path()));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(link.toText().toUtf8());
        }
        r = runTool({QStringLiteral("check")}, tmp.path());
        QVERIFY2(refusedCleanly(r), qPrintable(describe(r)));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith(QLatin1String("kelvora-db: not reachable: ")), qPrintable(r.err));
        QCOMPARE(r.err.count(u'\n'), 1);
        // The server itself said why, on a line of its own.
        if (e == Engine::SQLite)
            QVERIFY(r.out.isEmpty());
        else
            QVERIFY2(r.out.startsWith(QStringLiteral("server %1:1: not reachable: ").arg(m_pgHost)) && r.out.count(u'\n') == 1,
                     qPrintable(r.out));
        if (e == Engine::SQLite)
            QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("kelvora.db"))));
    }

    // The data link file of a PostgreSQL link holds the server's password: init
    // writes it for its owner alone, and check warns once others can read it.
    void passwordFileOwnerOnly()
    {
        QTemporaryDir tmp;
        Run r = runTool(QStringList{QStringLiteral("init")} + engineArgs(Engine::PostgreSQL, newDatabaseName())
                        + QStringList{QStringLiteral("--password"), QStringLiteral("se;cret"), QStringLiteral("--dir"), tmp.path()});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        const QString udl = udlIn(tmp.path());
        QCOMPARE(QFile::permissions(udl) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(DataLink::read(udl).password, QStringLiteral("se;cret"));
        const QString warning = QStringLiteral("warning: %1 holds the server's password").arg(udl);
        r = runTool({QStringLiteral("check"), QStringLiteral("--dir"), tmp.path()});
        QVERIFY2(r.exitCode == 0 && !r.out.contains(warning), qPrintable(describe(r)));
        QVERIFY(QFile::setPermissions(udl, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        r = runTool({QStringLiteral("check"), QStringLiteral("--dir"), tmp.path()});
        QVERIFY2(r.exitCode == 0 && r.out.contains(warning + QStringLiteral(" and other users of this machine can read it: chmod 600 ") + udl),
                 qPrintable(describe(r)));
    }

    // A database without the program's tables is reachable but not usable.
    void checkForeignDatabase()
    {
        QTemporaryDir tmp;
        DataLink link;
        link.dataSource = tmp.filePath(QStringLiteral("other.db"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Check);
            db.setDatabaseName(link.dataSource);
            QVERIFY(db.open());
            exec(db, QStringLiteral("create table t (x integer)"));
            db.close();
        }
        QSqlDatabase::removeDatabase(Check);
        QFile f(udlIn(tmp.path()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(link.toText().toUtf8());
        f.close();
        const Run r = runTool({QStringLiteral("check")}, tmp.path());
        QVERIFY2(refusedCleanly(r), qPrintable(describe(r)));
        // Refused as the program refuses it, when the connection opens.
        QVERIFY2(r.err.contains(QStringLiteral("არ არის ამ პროგრამის ცხრილები")), qPrintable(r.err));
        QCOMPARE(r.err.count(u'\n'), 1);
    }

    // The online backup while another station keeps writing: the copy is one
    // consistent moment, passes the engine's check and opens as the program opens
    // its database, holding every row written before the backup began.
    void backupWhileWriting()
    {
        QTemporaryDir tmp;
        const QString site = tmp.filePath(QStringLiteral("site"));
        Run r = runTool({QStringLiteral("init"), QStringLiteral("--dir"), site});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        r = runTool({QStringLiteral("demo"), QStringLiteral("--dir"), site});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        const QString file = QDir(site).filePath(QStringLiteral("kelvora.db"));

        // The other station: order lines in transactions of their own, as fast as it can.
        std::atomic<bool> stop = false;
        std::atomic<int> written = 0;
        std::atomic<bool> writerFailed = false;
        std::thread writer([&] {
            sqlite3* db = nullptr;
            if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr)
                != SQLITE_OK) {
                writerFailed = true;
                sqlite3_close(db);
                return;
            }
            sqlite3_busy_timeout(db, 5000);
            while (!stop) {
                if (sqlite3_exec(db, "insert into Shekvetebi (Kerdzi_N, Raodenoba, USERNUM) values (1, 1, 900)",
                                 nullptr, nullptr, nullptr)
                    != SQLITE_OK) {
                    writerFailed = true;
                    break;
                }
                ++written;
            }
            sqlite3_close(db);
        });
        while (written < 50 && !writerFailed)
            QThread::msleep(5);
        const int before = written;
        const QString copy = tmp.filePath(QStringLiteral("copy.db"));
        r = runTool({QStringLiteral("backup"), QStringLiteral("--dir"), site, QStringLiteral("--to"), copy});
        const int after = written;
        // The station goes on writing after the backup.
        while (written < after + 20 && !writerFailed)
            QThread::msleep(5);
        stop = true;
        writer.join();
        QVERIFY(!writerFailed);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY2(listing(tmp.path()).filter(QStringLiteral(".part")).isEmpty(),
                 qPrintable(listing(tmp.path()).join(u' ')));

        // Restored: the copy as the database of a new site, opened through its kavshiri.udl.
        const QString restored = tmp.filePath(QStringLiteral("restored"));
        QVERIFY(QDir().mkpath(restored));
        QVERIFY(QFile::copy(copy, QDir(restored).filePath(QStringLiteral("kelvora.db"))));
        DataLink link;
        link.dataSource = QDir(restored).filePath(QStringLiteral("kelvora.db"));
        {
            QFile f(udlIn(restored));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(link.toText().toUtf8());
        }
        Connection::setDataLinkPath(udlIn(restored));
        QSqlDatabase db = Connection::database();
        QCOMPARE(scalar(db, QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
        const int lines = scalar(db, QStringLiteral("select count(*) from Shekvetebi where USERNUM = 900")).toInt();
        QVERIFY2(lines >= before && lines <= after, qPrintable(QStringLiteral("%1 <= %2 <= %3").arg(before).arg(lines).arg(after)));
        TDM dm;
        dm.kerdzebi->setParam(QStringLiteral("das"), QStringLiteral("%"));
        dm.kerdzebi->setParam(QStringLiteral("tp"), QStringLiteral("%"));
        dm.kerdzebi->open();
        QVERIFY(dm.kerdzebi->rowCount() >= 30);
        dm.setting->open();
        QCOMPARE(dm.setting->rowCount(), 1);
    }

    void backupRefuses_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("target");  // "{tmp}": the test's folder
        QTest::addColumn<QString>("says");
        QTest::newRow("sqlite/copy exists") << int(Engine::SQLite) << QStringLiteral("{tmp}/old.db")
                                            << QStringLiteral("--force");
        QTest::newRow("sqlite/the database itself") << int(Engine::SQLite) << QStringLiteral("{tmp}/site/kelvora.db")
                                                    << QStringLiteral("the database itself");
        QTest::newRow("sqlite/folder missing") << int(Engine::SQLite) << QStringLiteral("{tmp}/no/copy.db")
                                               << QStringLiteral("does not exist");
        QTest::newRow("postgres/pg_dump") << int(Engine::PostgreSQL) << QStringLiteral("{tmp}/copy.db")
                                          << QStringLiteral("pg_dump");
    }

    void backupRefuses()
    {
        QFETCH(int, engine);
        QFETCH(QString, target);
        QFETCH(QString, says);
        QTemporaryDir tmp;
        const QString site = tmp.filePath(QStringLiteral("site"));
        Run r = runTool(QStringList{QStringLiteral("init"), QStringLiteral("--dir"), site}
                        + engineArgs(Engine(engine), newDatabaseName()));
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        {
            QFile old(tmp.filePath(QStringLiteral("old.db")));
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("an older copy");
        }
        const QStringList before = listing(tmp.path());
        target.replace(QLatin1String("{tmp}"), tmp.path());
        r = runTool({QStringLiteral("backup"), QStringLiteral("--dir"), site, QStringLiteral("--to"), target});
        QVERIFY2(refusedCleanly(r), qPrintable(describe(r)));
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QCOMPARE(listing(tmp.path()), before);
        QFile old(tmp.filePath(QStringLiteral("old.db")));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("an older copy"));
    }
};

QTEST_GUILESS_MAIN(tst_kelvoradb)
#include "tst_kelvoradb.moc"
