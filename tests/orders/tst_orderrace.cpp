#include "tests/support/testdb.h"

#include <QProcess>
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
};

QTEST_GUILESS_MAIN(tst_orderrace)
#include "tst_orderrace.moc"
