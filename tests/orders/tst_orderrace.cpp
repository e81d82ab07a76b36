#include "tests/support/testdb.h"

#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTest>

// Several stations opening orders at once, as separate processes on one database.
class tst_orderrace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void stationsOpeningOrdersAtOnce()
    {
        TestDb db(TestDb::currentEngine());
        QSqlDatabase check = db.openStation(QStringLiteral("station_check"));
        TestDb::exec(check, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, gasayidi, raodenoba) "
                                           "values ('ხაჭაპური', 'ცომეული', 12, 1000)"));
        TestDb::exec(check, QStringLiteral("update Parametres set inctb = 100"));

        // Two stations on the same free tables 1-4, two more on tables of their own.
        const int rounds = 15;
        const QList<QStringList> stations = {
            {QStringLiteral("1,2,3,4"), QStringLiteral("ნინო")},
            {QStringLiteral("4,3,2,1"), QStringLiteral("ლევანი")},
            {QStringLiteral("5,6"), QStringLiteral("ანა")},
            {QStringLiteral("7,8"), QStringLiteral("გია")},
        };
        std::vector<std::unique_ptr<QProcess>> processes;
        for (const QStringList& s : stations) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QStringLiteral(KELVORA_ORDER_RACER),
                     {db.udlPath(), QStringLiteral("ხაჭაპური"), QString::number(rounds), s[0], s[1]});
            processes.push_back(std::move(p));
        }
        for (auto& p : processes) {
            QVERIFY(p->waitForFinished(120000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
        }

        const int expectedLines = rounds * (4 + 4 + 2 + 2);
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from Shekvetebi")).toInt(), expectedLines);
        // One order per table: tables shared by two stations still have one number.
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(distinct USERNUM) from Shekvetebi")).toInt(), 8);
        QSqlQuery perTable(check);
        QVERIFY(perTable.exec(QStringLiteral(
            "select TableNum, count(distinct USERNUM) from Shekvetebi group by TableNum")));
        int tables = 0;
        while (perTable.next()) {
            QCOMPARE(perTable.value(1).toInt(), 1);
            ++tables;
        }
        QCOMPARE(tables, 8);
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select inctb from Parametres")).toInt(), 108);
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select min(USERNUM) from Shekvetebi")).toInt(), 101);
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select max(USERNUM) from Shekvetebi")).toInt(), 108);
        // Each table has one busy row carrying its order's number.
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from busytable where Busy = 1")).toInt(), 8);
        QCOMPARE(TestDb::scalar(check, QStringLiteral(
                                           "select count(*) from busytable b where b.Busy = 1 and b.USERNUM = "
                                           "(select max(s.USERNUM) from Shekvetebi s where s.TableNum = b.TableNum)"))
                     .toInt(),
                 8);
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select raodenoba from kerdzebi")).toDouble(),
                 1000.0 - expectedLines);
    }

    // Three stations adding dishes to two tables while a fourth clears them over
    // and over, each clearing closing the lines it read as its bill. Only billed
    // lines are closed, and no order is split: every open line belongs to the
    // busy order of its table, and every busy table has an open line.
    void clearingBesideStationsAddingDishes()
    {
        TestDb db(TestDb::currentEngine());
        QSqlDatabase check = db.openStation(QStringLiteral("station_check"));
        TestDb::exec(check, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, gasayidi, raodenoba) "
                                           "values ('ხაჭაპური', 'ცომეული', 12, 1000)"));
        const int rounds = 40;
        const QList<QStringList> stations = {
            {QStringLiteral("ხაჭაპური"), QString::number(rounds), QStringLiteral("1,2"), QStringLiteral("ნინო")},
            {QStringLiteral("ხაჭაპური"), QString::number(rounds), QStringLiteral("2,1"), QStringLiteral("ლევანი")},
            {QStringLiteral("ხაჭაპური"), QString::number(rounds), QStringLiteral("1,2"), QStringLiteral("ანა")},
            // The clearer goes on beside the adders until it has cleared a few
            // times and they are done, however the machine schedules them.
            {QStringLiteral("--clear"), QStringLiteral("5"), QStringLiteral("1,2")},
        };
        std::vector<std::unique_ptr<QProcess>> processes;
        for (const QStringList& s : stations) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QStringLiteral(KELVORA_ORDER_RACER), QStringList{db.udlPath()} + s);
            processes.push_back(std::move(p));
        }
        for (auto& p : processes) {
            if (p == processes.back())
                p->closeWriteChannel();  // the adders are done
            QVERIFY(p->waitForFinished(180000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
        }

        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from Shekvetebi")).toInt(), rounds * 2 * 3);
        // Every closed line was on a bill.
        QSet<qint64> billed;
        for (const QByteArray& id : processes.back()->readAllStandardOutput().split('\n'))
            if (!id.isEmpty())
                billed.insert(id.toLongLong());
        QSqlQuery closed(check);
        QVERIFY(closed.exec(QStringLiteral("select ID from Shekvetebi where STATUSI = 100")));
        while (closed.next())
            QVERIFY2(billed.contains(closed.value(0).toLongLong()), qPrintable(closed.value(0).toString()));
        QVERIFY(TestDb::scalar(check, QStringLiteral("select count(*) from Shekvetebi where STATUSI = 100")).toInt() > 0);
        QCOMPARE(TestDb::scalar(check, QStringLiteral(
                                           "select count(*) from Shekvetebi s where s.STATUSI <> 100 and not exists "
                                           "(select 1 from busytable b where b.TableNum = s.TableNum and b.Busy = 1 "
                                           "and b.USERNUM = s.USERNUM)"))
                     .toInt(),
                 0);
        QCOMPARE(TestDb::scalar(check, QStringLiteral(
                                           "select count(*) from busytable b where b.Busy = 1 and not exists "
                                           "(select 1 from Shekvetebi s where s.USERNUM = b.USERNUM and s.STATUSI <> 100)"))
                     .toInt(),
                 0);
        // Each order lies on one table.
        QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from (select USERNUM from Shekvetebi "
                                                      "group by USERNUM having count(distinct TableNum) > 1) x"))
                     .toInt(),
                 0);
    }
};

QTEST_GUILESS_MAIN(tst_orderrace)
#include "tst_orderrace.moc"
