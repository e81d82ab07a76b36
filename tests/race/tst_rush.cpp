#include "data/connection.h"
#include "data/datamodule.h"
#include "data/formats.h"
#include "orders/orderentry.h"
#include "orders/settlement.h"
#include "tests/race/invariants.h"
#include "tests/race/rushfixture.h"
#include "tests/race/rushlog.h"
#include "tests/support/fiscalsim.h"
#include "tests/support/testdb.h"
#include "data/dberror.h"
#include "data/transaction.h"
#include "shell/inputerror.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QTest>

#include <csignal>
#include <sys/types.h>

// A rush on one database: station processes adding, correcting, moving and
// clearing orders while a cook works the queue, and registering one table's
// bill with the fiscal driver; afterwards every invariant of the tables must
// hold and no station may have met a fault. Then what two stations do to one
// thing at one moment: print one table's bill, receive one document, and one
// station stopped inside its transaction while another works.
class tst_rush : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void initTestCase() { Formats::setDecimalSeparator(u'.'); }

    void stationsRushingOneFloor()
    {
        TestDb db(TestDb::currentEngine());
        const RushFixture::Stock start =
            RushFixture::prepare(db.openStation(QStringLiteral("station_fixture")), db.folder());
        FiscalSim sim(db.folder() + QStringLiteral("/command.txt"), db.folder() + QStringLiteral("/answer.txt"),
                      journal(db));
        QVERIFY(sim.isWatching());

        const int stations = 4;
        const int operations = 120;
        QStringList logs;
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int s = 1; s <= stations; ++s) {
            logs << db.folder() + QStringLiteral("/station%1.log").arg(s);
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QStringLiteral(KELVORA_RUSH_STATION), {db.udlPath(), QString::number(s), QString::number(operations),
                                                            QString::number(1000 + s), logs.last(), QStringLiteral("--print")});
            processes.push_back(std::move(p));
        }
        for (auto& p : processes) {
            QVERIFY(p->waitForFinished(300000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        }

        // Every kind of operation was done; no station met a fault and every
        // invariant holds. Faults and broken invariants are reported together.
        QHash<QString, int> done;
        QStringList faults;
        for (const QString& log : logs)
            for (const RushLog::Entry& e : RushLog::read(log)) {
                if (e.outcome == QLatin1String("ok"))
                    ++done[e.op];
                else if (e.outcome == QLatin1String("fault"))
                    faults << QStringLiteral("FAULT in %1: %2").arg(e.op, e.text);
            }
        for (const char* op : {"add", "change", "delete", "move", "prepay", "clear", "cook", "print"})
            QVERIFY2(done.value(QString::fromLatin1(op)) > 0, op);
        int failedStations = 0;
        for (auto& p : processes)
            failedStations += p->exitCode() != 0;
        QCOMPARE(failedStations > 0, !faults.isEmpty());

        const QList<Invariants::Violation> broken =
            Invariants::check(db.openStation(QStringLiteral("station_check")), start, logs, journal(db));
        QVERIFY2(faults.isEmpty() && broken.isEmpty(),
                 qPrintable((faults + QStringList{Invariants::describe(broken)}).join(u'\n')));
    }

    // Two stations print the same table's bill at the same moment: the driver
    // registers it once, the table's registered amount is the bill's, and the
    // other station is told the bill is being registered elsewhere or finds
    // nothing due. A dish added afterwards is registered on the next print.
    void twoStationsPrintingOneTable()
    {
        TestDb db(TestDb::currentEngine());
        const RushFixture::Stock start =
            RushFixture::prepare(db.openStation(QStringLiteral("station_fixture")), db.folder());
        FiscalSim sim(db.folder() + QStringLiteral("/command.txt"), db.folder() + QStringLiteral("/answer.txt"),
                      journal(db));
        QVERIFY(sim.isWatching());
        const QString table = QString::number(RushFixture::PrintTable);
        QSqlDatabase check = db.openStation(QStringLiteral("station_check"));
        TDM dm;
        QStringList logs;
        QStringList expected;  // the driver's journal, sale by sale
        const int trials = 3;
        for (int trial = 1; trial <= trials; ++trial) {
            // A new order of 15.00: one dish of 12 and one of 3.
            const qint64 order = addDish(dm, table, QStringLiteral("ხაჭაპური"));
            addDish(dm, table, QStringLiteral("ლიმონათი"));
            const QStringList pair = runTogether(db, trial, {QStringLiteral("--only-print")});
            logs << pair;
            expected << QStringLiteral("15.00");
            QCOMPARE(sim.amounts(), expected);
            QCOMPARE(TestDb::scalar(check, QStringLiteral("select FiskaluriTanxa from busytable where TableNum = %1").arg(table)).toDouble(), 15.0);
            QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from busytable where FiskaluriSadguri is not null "
                                                          "and TableNum = %1")
                                               .arg(table))
                         .toInt(),
                     0);
            // One station registered it; the other was told, or found nothing due.
            int registered = 0;
            for (const QString& log : pair)
                for (const RushLog::Entry& e : RushLog::read(log)) {
                    if (e.outcome == QLatin1String("ok") && e.quantity(QStringLiteral("due")) > 0)
                        ++registered;
                    else if (e.outcome == QLatin1String("refused"))
                        QCOMPARE(e.text, Settlement::RegisteringElsewhereText);
                    else
                        QVERIFY2(e.outcome != QLatin1String("fault"), qPrintable(e.text));
                }
            QCOMPARE(registered, 1);

            // A dish added after the bill is what the next print registers.
            addDish(dm, table, QStringLiteral("ხაჭაპური"));
            const QStringList single = runTogether(db, 100 + trial, {QStringLiteral("--only-print")}, 1);
            logs << single;
            expected << QStringLiteral("12.00");
            QFile told(single.first());
            told.open(QIODevice::ReadOnly);
            const QByteArray held = TestDb::scalar(check, QStringLiteral("select sum(Raodenoba * GFASI) from Shekvetebi where USERNUM = %1").arg(order)).toString().toUtf8();
            QVERIFY2(sim.amounts() == expected, (told.readAll() + "lines hold " + held).constData());
            QCOMPARE(TestDb::scalar(check, QStringLiteral("select FiskaluriTanxa from busytable where TableNum = %1").arg(table)).toDouble(), 27.0);
            dm.shekvet->reopen({{QStringLiteral("USR"), order}});
            QList<Settlement::BilledLine> billed;
            for (dm.shekvet->first(); !dm.shekvet->eof(); dm.shekvet->next())
                billed.append({dm.shekvet->asInteger(QStringLiteral("ID")), dm.shekvet->asFloat(QStringLiteral("Raodenoba"))});
            QCOMPARE(Settlement::clearTable(dm, table, QString::number(order), 0, billed), 0);
        }
        // The fiscal invariants (the dishes were added here, outside the logs
        // the others judge by).
        QList<Invariants::Violation> broken = Invariants::check(check, start, logs, journal(db));
        broken.removeIf([](const Invariants::Violation& v) {
            return v.invariant != QLatin1String("every table's registered amount <= its bill total")
                   && v.invariant != QLatin1String("each sale registered once at the fiscal driver");
        });
        QVERIFY2(broken.isEmpty(), qPrintable(Invariants::describe(broken)));
        Connection::close();
    }

    // Two stations record the first consignment lines of one document at the
    // same moment: the document keeps one ledger row, owing its purchase total.
    void twoStationsReceivingOneDocument()
    {
        TestDb db(TestDb::currentEngine());
        const RushFixture::Stock start = RushFixture::prepare(db.openStation(QStringLiteral("station_fixture")));
        QStringList logs;
        for (int trial = 1; trial <= 6; ++trial)
            logs << runTogether(db, trial, {QStringLiteral("--only-receive")});
        for (const QString& log : logs)
            for (const RushLog::Entry& e : RushLog::read(log))
                QVERIFY2(e.outcome != QLatin1String("fault"), qPrintable(e.text));
        const QList<Invariants::Violation> broken =
            Invariants::check(db.openStation(QStringLiteral("station_check")), start, logs);
        QVERIFY2(broken.isEmpty(), qPrintable(Invariants::describe(broken)));
    }

    // A station stopped inside its transaction (its network dropped mid-write)
    // while holding the order lock and a dish's stock row: another station's
    // add is told in Georgian within the engine's wait, and on PostgreSQL the
    // server ends the stopped station's transaction so the floor goes on.
    void aStationStoppedInsideItsTransaction()
    {
        TestDb db(TestDb::currentEngine());
        const bool postgres = db.engine() == Engine::PostgreSQL;
        RushFixture::prepare(db.openStation(QStringLiteral("station_fixture")));
        const QString log = db.folder() + QStringLiteral("/frozen.log");
        QProcess frozen;
        frozen.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        frozen.start(QStringLiteral(KELVORA_RUSH_STATION), {db.udlPath(), QStringLiteral("1"), QStringLiteral("1"),
                                                            QStringLiteral("1"), log, QStringLiteral("--freeze-after"), QStringLiteral("0")});
        QVERIFY(frozen.waitForStarted());
        const auto resume = qScopeGuard([&] {
            ::kill(pid_t(frozen.processId()), SIGCONT);
            frozen.waitForFinished(30000);
        });
        QElapsedTimer stopped;
        stopped.start();
        QVERIFY2(waitUntil(60000, [&] { return processState(frozen.processId()) == 'T'; }), "the station did not stop");
        stopped.restart();

        // The first dish of the menu is the one whose stock row the stopped
        // station holds; a new order needs the order lock it holds too.
        TDM dm;
        QElapsedTimer waited;
        waited.start();
        const QString told = errorOf([&] { addDish(dm, QStringLiteral("1"), QStringLiteral("ხაჭაპური")); });
        const qint64 took = waited.elapsed();
        QCOMPARE(told, postgres ? DbError::heldByAnotherStationText() : DbError::databaseHeldText());
        QVERIFY2(took < (postgres ? 14000 : 19000), qPrintable(QString::number(took)));

        if (postgres) {
            // The server ends the silent station's transaction (its locks with
            // it) about 15 s after it stopped: the add goes through then.
            QString last;
            QVERIFY2(waitUntil(40000, [&] {
                         last = errorOf([&] { addDish(dm, QStringLiteral("1"), QStringLiteral("ხაჭაპური")); });
                         return last.isEmpty();
                     }),
                     qPrintable(last));
            QVERIFY2(stopped.elapsed() < 32000, qPrintable(QString::number(stopped.elapsed())));
        }
        ::kill(pid_t(frozen.processId()), SIGCONT);
        QVERIFY(frozen.waitForFinished(30000));
        QCOMPARE(frozen.exitCode(), 0);  // no fault: what it met was told in Georgian
        const QList<RushLog::Entry> entries = RushLog::read(log);
        QVERIFY(!entries.isEmpty());
        // On PostgreSQL its transaction was ended by the server: the station is
        // told the link broke while it wrote; SQLite keeps it waiting and whole.
        QCOMPARE(entries.last().outcome, postgres ? QStringLiteral("refused") : QStringLiteral("ok"));
        if (postgres)
            QCOMPARE(entries.last().text, DbError::linkLostWhileWritingText());
        else
            QCOMPARE(errorOf([&] { addDish(dm, QStringLiteral("1"), QStringLiteral("ხაჭაპური")); }), QString());
        Connection::close();
    }

    // The checker on a small floor written in this process, then broken by hand
    // in one way per row: the invariant that the row breaks must be reported.
    void checkerCatchesABrokenFloor_data()
    {
        QTest::addColumn<QString>("breaking");
        QTest::addColumn<QString>("invariant");
        // A: two lines on table 1; B: one line on table 2, billed and cleared;
        // C: one line on table 3.
        QTest::newRow("none") << QString() << QString();
        QTest::newRow("order on two tables")
            << "update Shekvetebi set TableNum = 5 where ID = (select min(ID) from Shekvetebi where USERNUM = A)"
            << "no order split over two tables";
        QTest::newRow("two orders on a table") << "update Shekvetebi set TableNum = 1 where USERNUM = C"
                                               << "no two open orders on one table";
        QTest::newRow("busy table of a cleared order") << "update busytable set Busy = 1, USERNUM = B where TableNum = 2"
                                                       << "every busy table has open lines of its order";
        QTest::newRow("open line on a free table") << "update busytable set Busy = 0 where TableNum = 3"
                                                   << "every open line has its order's busy table";
        QTest::newRow("stock off by one")
            << "update kerdzebi set raodenoba = raodenoba - 1 where ID = (select min(ID) from kerdzebi)"
            << "stock = start - sold + given back";
        QTest::newRow("counter behind") << "update Parametres set inctb = 1"
                                        << "the counter Parametres.inctb >= every order number";
        QTest::newRow("deletion that never happened")
            << "insert into DELS (KERid, das, RAODENOBA, MAGIDA, SHEKVETISN, RAQNA) select Kerdzi_N, Kerdzi_DAS, "
               "Raodenoba, 1, USERNUM, 'წაშლა' from Shekvetebi where ID = (select min(ID) from Shekvetebi where USERNUM = A)"
            << "every DELS row matches its change";
        QTest::newRow("cleared without a bill") << "update Shekvetebi set STATUSI = 100 where USERNUM = C"
                                                << "every cleared line was billed";
        QTest::newRow("billed line reopened") << "update Shekvetebi set STATUSI = 4 where USERNUM = B"
                                              << "every line of a finished clearing is settled as billed";
        QTest::newRow("unknown state") << "update Shekvetebi set STATUSI = 7 where USERNUM = A"
                                       << "every line's state is known and fits its kitchen flag";
        QTest::newRow("registered beyond the bill") << "update busytable set FiskaluriTanxa = 1000 where TableNum = 1"
                                                    << "every table's registered amount <= its bill total";
        QTest::newRow("a document without its ledger row")
            << "insert into migeba (momwFN, sab_n, tarigi, asagebi, raodenoba) values ('შპს რაში', 'D1', '2026-01-05', 3, 2)"
            << "one ledger row per supplier document, equal to its purchase total";
    }

    void checkerCatchesABrokenFloor()
    {
        QFETCH(QString, breaking);
        QFETCH(QString, invariant);
        const Floor& floor = smallFloor();
        QSqlDatabase check = QSqlDatabase::database(floor.connection);
        // Each row breaks the floor in a transaction of its own, undone afterwards.
        QVERIFY(check.transaction());
        const auto undo = qScopeGuard([&] { check.rollback(); });
        if (!breaking.isEmpty()) {
            for (auto it = floor.orders.cbegin(); it != floor.orders.cend(); ++it)
                breaking.replace(QRegularExpression(QStringLiteral("\\b%1\\b").arg(it.key())), QString::number(it.value()));
            TestDb::exec(check, breaking);
        }
        const QList<Invariants::Violation> broken = Invariants::check(check, floor.start, {floor.log});
        if (invariant.isEmpty()) {
            QVERIFY2(broken.isEmpty(), qPrintable(Invariants::describe(broken)));
            return;
        }
        QVERIFY(Invariants::names().contains(invariant));
        const auto it = std::find_if(broken.cbegin(), broken.cend(),
                                     [&](const Invariants::Violation& v) { return v.invariant == invariant; });
        QVERIFY2(it != broken.cend(), qPrintable(Invariants::describe(broken)));
        QVERIFY(!it->rows.isEmpty());
    }

    void cleanupTestCase()
    {
        for (Floor& f : m_floors) {
            if (!f.db)
                continue;
            QSqlDatabase::database(f.connection).close();
            QSqlDatabase::removeDatabase(f.connection);
            f.db.reset();
        }
    }

private:
    static QString journal(const TestDb& db) { return db.folder() + QStringLiteral("/fiscal.journal"); }

    // Adds one dish by name to the table, as the order window does; returns the order.
    static qint64 addDish(TDM& dm, const QString& table, const QString& dish)
    {
        dm.kerdzebi->reopen({{QStringLiteral("das"), dish}, {QStringLiteral("tp"), QStringLiteral("%")}});
        return OrderEntry::addLine(dm, table, QStringLiteral("ნინო"), QStringLiteral("1")).orderNumber;
    }

    // Runs `stations` station processes that start their one operation at one
    // moment, in the middle of a two-second stretch; returns their logs.
    static QStringList runTogether(const TestDb& db, int trial, const QStringList& options, int stations = 2)
    {
        const qint64 startAt = (QDateTime::currentMSecsSinceEpoch() / 2000 + 2) * 2000 + 700;
        QStringList logs;
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int s = 1; s <= stations; ++s) {
            logs << db.folder() + QStringLiteral("/trial%1-station%2.log").arg(trial).arg(s);
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QStringLiteral(KELVORA_RUSH_STATION),
                     QStringList{db.udlPath(), QString::number(s), QStringLiteral("1"), QString::number(trial * 10 + s),
                                 logs.last(), QStringLiteral("--start-at"), QString::number(startAt)}
                         + options);
            processes.push_back(std::move(p));
        }
        for (auto& p : processes)
            if (!p->waitForFinished(60000))
                p->kill();
        return logs;
    }

    template <typename F>
    static QString errorOf(F action)
    {
        try {
            action();
        } catch (const DbError& e) {
            return e.text();
        } catch (const InputError& e) {
            return e.text();
        }
        return QString();
    }

    // Waits, bounded by time, until `done` holds.
    template <typename F>
    static bool waitUntil(int ms, F done)
    {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > ms)
                return false;
            QThread::msleep(100);
        }
        return true;
    }

    // The state letter of a process in /proc (R, S, T, ...); 0 when gone.
    static char processState(qint64 pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        return close > 0 && close + 2 < line.size() ? line[close + 2] : 0;
    }

    struct Floor
    {
        std::unique_ptr<TestDb> db;
        QString connection;
        RushFixture::Stock start;
        QString log;
        QHash<QString, qint64> orders;
    };

    // The floor the checker's rows break, made once per engine by the program's
    // own order entry and clearing, with the log a station would have written.
    const Floor& smallFloor()
    {
        const Engine engine = TestDb::currentEngine();
        Floor& floor = m_floors[engine == Engine::SQLite ? 0 : 1];
        if (floor.db)
            return floor;
        floor.db = std::make_unique<TestDb>(engine);
        floor.connection = QStringLiteral("floor_check_%1").arg(int(engine));
        floor.start = RushFixture::prepare(Connection::openNamed(floor.db->link(), floor.connection));
        floor.log = floor.db->folder() + QStringLiteral("/here.log");
        RushLog::Writer log(floor.log);
        TDM dm;
        auto add = [&](const QString& table, const QString& quantity) {
            dm.kerdzebi->reopen({{QStringLiteral("das"), QStringLiteral("ხაჭაპური")}, {QStringLiteral("tp"), QStringLiteral("%")}});
            const qint64 order = OrderEntry::addLine(dm, table, QStringLiteral("ნინო"), quantity).orderNumber;
            log.write(QStringLiteral("add"), QStringLiteral("ok"),
                      {{QStringLiteral("order"), QString::number(order)},
                       {QStringLiteral("item"), QString::number(dm.kerdzebi->asInteger(QStringLiteral("ID")))},
                       {QStringLiteral("qty"), quantity}});
            return order;
        };
        floor.orders[QStringLiteral("A")] = add(QStringLiteral("1"), QStringLiteral("2"));
        add(QStringLiteral("1"), QStringLiteral("1"));
        floor.orders[QStringLiteral("B")] = add(QStringLiteral("2"), QStringLiteral("1.5"));
        floor.orders[QStringLiteral("C")] = add(QStringLiteral("3"), QStringLiteral("1"));
        const QString b = QString::number(floor.orders[QStringLiteral("B")]);
        dm.shekvet->reopen({{QStringLiteral("USR"), b}});
        const qint64 billed = dm.shekvet->asInteger(QStringLiteral("ID"));
        log.write(QStringLiteral("clear"), QStringLiteral("try"),
                  {{QStringLiteral("order"), b}, {QStringLiteral("lines"), QStringLiteral("%1:1.5").arg(billed)}});
        Settlement::clearTable(dm, QStringLiteral("2"), b, 10, {{billed, 1.5}});
        log.write(QStringLiteral("clear"), QStringLiteral("ok"), {});
        Connection::close();
        return floor;
    }

    Floor m_floors[2];
};

QTEST_GUILESS_MAIN(tst_rush)
#include "tst_rush.moc"
