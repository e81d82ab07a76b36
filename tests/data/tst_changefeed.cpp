#include "data/changefeed.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/schema.h"
#include "data/setup.h"
#include "tests/support/testdb.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>

// The change feed on both engines: a write on one station's connection is
// reported to the feed of another, table by table, without anything done on
// the follower's side.
class tst_changefeed : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void reportsWritesOfAnotherStation_data();
    void reportsWritesOfAnotherStation();
    void burstOfWrites();
    void tableNotFollowedIsNotReported();
    void olderDatabaseGetsTheTriggers();
    void stationsInstallingAtOnce();
    void lostLinkReportsEverythingOnce();

private:
    static ChangeFeed::Timing quick();
};

namespace {

// Waits until the feed has reported every table of `wanted`; what it
// reported meanwhile is returned.
ChangeFeed::Tables waitFor(QSignalSpy& spy, ChangeFeed::Tables wanted, int timeoutMs = 8000)
{
    ChangeFeed::Tables seen;
    QElapsedTimer clock;
    clock.start();
    int taken = 0;
    while (clock.elapsed() < timeoutMs) {
        for (; taken < spy.size(); ++taken)
            seen |= spy.at(taken).at(0).value<ChangeFeed::Tables>();
        if ((seen & wanted) == wanted)
            break;
        spy.wait(100);
    }
    for (; taken < spy.size(); ++taken)
        seen |= spy.at(taken).at(0).value<ChangeFeed::Tables>();
    return seen;
}

void startListening(ChangeFeed& feed, const DataLink& link, const ChangeFeed::Timing& timing)
{
    QSignalSpy up(&feed, &ChangeFeed::listening);
    feed.start(link, timing);
    QVERIFY(up.wait(10000) || feed.isListening());
}

void dropChangeFeed(QSqlDatabase db, Engine engine)
{
    for (const QString& t : Schema::ChangeFeed::followedTables()) {
        if (engine == Engine::PostgreSQL) {
            TestDb::exec(db, QStringLiteral("drop trigger cvlileba on %1").arg(t));
        } else {
            for (const char* e : {"i", "u", "d"})
                TestDb::exec(db, QStringLiteral("drop trigger cvlileba_%1_%2").arg(t, QLatin1String(e)));
        }
    }
    TestDb::exec(db, engine == Engine::PostgreSQL ? QStringLiteral("drop function kelvora_cvlileba()")
                                                  : QStringLiteral("drop table cvlilebebi"));
}

}  // namespace

ChangeFeed::Timing tst_changefeed::quick()
{
    ChangeFeed::Timing t;
    t.reconnect = std::chrono::milliseconds(300);
    return t;
}

void tst_changefeed::reportsWritesOfAnotherStation_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("table");
    QTest::newRow("a table taken") << "update busytable set Busy = 1, USERNUM = 7 where TableNum = 3"
                                   << int(ChangeFeed::Busytable);
    QTest::newRow("a dish ordered") << "insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, Raodenoba, STATUSI, povari, TableNum, USERNUM) "
                                       "values (1, 'ხაჭაპური', 1, 1, 1, 3, 7)"
                                    << int(ChangeFeed::Shekvetebi);
    QTest::newRow("stock changed") << "update kerdzebi set raodenoba = raodenoba - 1" << int(ChangeFeed::Kerdzebi);
    QTest::newRow("a waiter added") << "insert into OFICIANTI (Oficianti, mdgomareoba) values ('ნინო', 'აქტიური')"
                                    << int(ChangeFeed::Oficianti);
    QTest::newRow("a department removed") << "delete from uplebebi" << int(ChangeFeed::Uplebebi);
    QTest::newRow("the table count") << "update Parametres set Tables = 14" << int(ChangeFeed::Parametres);
}

void tst_changefeed::reportsWritesOfAnotherStation()
{
    QFETCH(QString, sql);
    QFETCH(int, table);
    TestDb db(TestDb::currentEngine());
    QSqlDatabase a = db.openStation(QStringLiteral("station_a"));
    TestDb::exec(a, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM) values (3, 0, 0)"));
    TestDb::exec(a, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, raodenoba) values ('ხაჭაპური', 'ცხელი', 5)"));
    TestDb::exec(a, QStringLiteral("insert into uplebebi (ganyofileba, povari) values ('ცხელი', 'გიორგი')"));

    ChangeFeed feed;
    QSignalSpy spy(&feed, &ChangeFeed::changed);
    startListening(feed, db.link(), quick());
    QTest::qWait(400);  // the set-up writes above are past
    spy.clear();

    TestDb::exec(a, sql);
    const ChangeFeed::Tables seen = waitFor(spy, ChangeFeed::Tables(table));
    QVERIFY2(seen & ChangeFeed::Tables(table), qPrintable(QString::number(int(seen))));
    // Only what was written is reported.
    QCOMPARE(int(seen), table);
}

void tst_changefeed::burstOfWrites()
{
    TestDb db(TestDb::currentEngine());
    QSqlDatabase a = db.openStation(QStringLiteral("station_a"));
    ChangeFeed feed;
    QSignalSpy spy(&feed, &ChangeFeed::changed);
    startListening(feed, db.link(), quick());

    // One transaction of many writes is one report; so are writes close together.
    TestDb::exec(a, QStringLiteral("begin"));
    for (int i = 0; i < 50; ++i)
        TestDb::exec(a, QStringLiteral("insert into Shekvetebi (Kerdzi_N, Raodenoba, STATUSI, TableNum, USERNUM) "
                                       "values (1, 1, 0, 2, %1)")
                            .arg(i));
    TestDb::exec(a, QStringLiteral("commit"));
    QCOMPARE(waitFor(spy, ChangeFeed::Shekvetebi), ChangeFeed::Tables(ChangeFeed::Shekvetebi));
    QTest::qWait(600);
    QCOMPARE(spy.size(), 1);
}

void tst_changefeed::tableNotFollowedIsNotReported()
{
    TestDb db(TestDb::currentEngine());
    QSqlDatabase a = db.openStation(QStringLiteral("station_a"));
    ChangeFeed feed;
    QSignalSpy spy(&feed, &ChangeFeed::changed);
    startListening(feed, db.link(), quick());

    TestDb::exec(a, QStringLiteral("insert into migeba (ID_DAS, Dasaxeleba, raodenoba) values (1, 'ფქვილი', 10)"));
    TestDb::exec(a, QStringLiteral("insert into DELS (KERid, RAODENOBA, MAGIDA, SHEKVETISN) values (1, 1, 1, 1)"));
    QTest::qWait(1200);
    QCOMPARE(spy.size(), 0);
    // The feed is alive all the same.
    TestDb::exec(a, QStringLiteral("update busytable set Busy = 0"));
    TestDb::exec(a, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM) values (1, 0, 0)"));
    QCOMPARE(waitFor(spy, ChangeFeed::Busytable), ChangeFeed::Tables(ChangeFeed::Busytable));
}

void tst_changefeed::olderDatabaseGetsTheTriggers()
{
    const Engine engine = TestDb::currentEngine();
    TestDb db(engine);
    QSqlDatabase a = db.openStation(QStringLiteral("station_a"));
    dropChangeFeed(a, engine);
    QVERIFY(!Schema::ChangeFeed::installed(a));

    // The program's connection brings the database up to date when it opens.
    Connection::setDataLinkPath(db.udlPath());
    {
        QSqlDatabase program = Connection::database();
        QVERIFY(Schema::ChangeFeed::installed(program));
    }

    ChangeFeed feed;
    QSignalSpy spy(&feed, &ChangeFeed::changed);
    startListening(feed, db.link(), quick());
    TestDb::exec(a, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values ('ნინო', 'აქტიური')"));
    QCOMPARE(waitFor(spy, ChangeFeed::Oficianti), ChangeFeed::Tables(ChangeFeed::Oficianti));
    Connection::close();
}

void tst_changefeed::stationsInstallingAtOnce()
{
    const Engine engine = TestDb::currentEngine();
    TestDb db(engine);
    dropChangeFeed(db.openStation(QStringLiteral("station_a")), engine);

    // Several stations open an older database at the same moment: each adds
    // what is missing or finds it there, and none fails.
    constexpr int Stations = 4;
    QStringList errors;
    std::mutex lock;
    std::vector<std::thread> stations;
    std::atomic<int> ready{0};
    for (int i = 0; i < Stations; ++i) {
        stations.emplace_back([&, i] {
            const QString name = QStringLiteral("installer_%1").arg(i);
            try {
                QSqlDatabase c = Connection::openNamed(db.link(), name);
                ++ready;
                while (ready.load() < Stations)
                    std::this_thread::yield();
                Setup::installChangeFeed(c);
                c.close();
            } catch (const DbError& e) {
                const std::lock_guard<std::mutex> g(lock);
                errors << e.text();
            }
            QSqlDatabase::removeDatabase(name);
        });
    }
    for (std::thread& t : stations)
        t.join();
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QSqlDatabase b = db.openStation(QStringLiteral("station_b"));
    QVERIFY(Schema::ChangeFeed::installed(b));
    if (engine == Engine::PostgreSQL) {
        QCOMPARE(TestDb::scalar(b, QStringLiteral("select count(*) from pg_trigger where tgname = 'cvlileba'")).toInt(),
                 int(Schema::ChangeFeed::followedTables().size()));
    } else {
        QCOMPARE(TestDb::scalar(b, QStringLiteral("select count(*) from cvlilebebi")).toInt(),
                 int(Schema::ChangeFeed::followedTables().size()));
    }
}

void tst_changefeed::lostLinkReportsEverythingOnce()
{
    if (TestDb::currentEngine() != Engine::PostgreSQL)
        QSKIP("an SQLite file has no link to lose");
    TestDb db(Engine::PostgreSQL);
    QSqlDatabase a = db.openStation(QStringLiteral("station_a"));
    ChangeFeed feed;
    QSignalSpy spy(&feed, &ChangeFeed::changed);
    QSignalSpy lost(&feed, &ChangeFeed::lost);
    QSignalSpy up(&feed, &ChangeFeed::listening);
    startListening(feed, db.link(), quick());
    up.clear();

    // The server ends the feed's session (a restart, an administrator).
    TestDb::exec(a, QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity "
                                   "where query = 'listen kelvora_cvlilebebi' and pid <> pg_backend_pid()"));
    QTRY_VERIFY_WITH_TIMEOUT(lost.size() >= 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(up.size() >= 1, 10000);
    QCOMPARE(waitFor(spy, ChangeFeed::everything()), ChangeFeed::everything());
    QCOMPARE(spy.size(), 1);
    // And it listens again.
    spy.clear();
    TestDb::exec(a, QStringLiteral("update Parametres set Tables = 9"));
    QCOMPARE(waitFor(spy, ChangeFeed::Parametres), ChangeFeed::Tables(ChangeFeed::Parametres));
}

QTEST_MAIN(tst_changefeed)
#include "tst_changefeed.moc"
