#include "data/connection.h"
#include "data/datamodule.h"
#include "data/formats.h"
#include "orders/orderentry.h"
#include "orders/settlement.h"
#include "tests/race/invariants.h"
#include "tests/race/rushfixture.h"
#include "tests/race/rushlog.h"
#include "tests/support/testdb.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QTest>

// A rush on one database: station processes adding, correcting, moving and
// clearing orders while a cook works the queue; afterwards every invariant of
// the tables must hold and no station may have met a fault.
class tst_rush : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void initTestCase() { Formats::setDecimalSeparator(u'.'); }

    void stationsRushingOneFloor()
    {
        TestDb db(TestDb::currentEngine());
        const RushFixture::Stock start = RushFixture::prepare(db.openStation(QStringLiteral("station_fixture")));

        const int stations = 4;
        const int operations = 120;
        QStringList logs;
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int s = 1; s <= stations; ++s) {
            logs << db.folder() + QStringLiteral("/station%1.log").arg(s);
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QStringLiteral(KELVORA_RUSH_STATION),
                     {db.udlPath(), QString::number(s), QString::number(operations), QString::number(1000 + s), logs.last()});
            processes.push_back(std::move(p));
        }
        for (auto& p : processes) {
            QVERIFY(p->waitForFinished(180000));
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
        for (const char* op : {"add", "change", "delete", "move", "prepay", "clear", "cook"})
            QVERIFY2(done.value(QString::fromLatin1(op)) > 0, op);
        int failedStations = 0;
        for (auto& p : processes)
            failedStations += p->exitCode() != 0;
        QCOMPARE(failedStations > 0, !faults.isEmpty());

        const QList<Invariants::Violation> broken =
            Invariants::check(db.openStation(QStringLiteral("station_check")), start, logs);
        QVERIFY2(faults.isEmpty() && broken.isEmpty(),
                 qPrintable((faults + QStringList{Invariants::describe(broken)}).join(u'\n')));
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
