#include "data/datamodule.h"
#include "data/transaction.h"
#include "orders/orderentry.h"
#include "tests/support/testdb.h"

#include <QTest>

// The number a new order draws: the counter's next, unless order lines, an
// open table or a client credit row already carry it (the counter was reset
// while they kept theirs).
class tst_ordernumbering : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void nextNumber_data()
    {
        QTest::addColumn<int>("counter");
        QTest::addColumn<QList<int>>("lines");          // USERNUM of order lines
        QTest::addColumn<QList<int>>("busy");           // USERNUM of open tables
        QTest::addColumn<QList<int>>("freeTables");     // USERNUM left on freed tables
        QTest::addColumn<QStringList>("credits");       // USERNUM of client credit rows (text)
        QTest::addColumn<QStringList>("supplierRows");  // USERNUM of supplier ledger rows
        QTest::addColumn<int>("expected");
        QTest::newRow("empty database") << 0 << QList<int>{} << QList<int>{} << QList<int>{} << QStringList{} << QStringList{} << 1;
        QTest::newRow("counter goes on") << 41 << QList<int>{40, 41} << QList<int>{41} << QList<int>{} << QStringList{} << QStringList{} << 42;
        QTest::newRow("reset with history") << 0 << QList<int>{1, 2, 57} << QList<int>{} << QList<int>{} << QStringList{} << QStringList{} << 58;
        QTest::newRow("reset, low numbers free") << 0 << QList<int>{5, 9} << QList<int>{} << QList<int>{} << QStringList{} << QStringList{} << 1;
        QTest::newRow("next free though higher in use") << 3 << QList<int>{2, 9} << QList<int>{} << QList<int>{} << QStringList{} << QStringList{} << 4;
        QTest::newRow("next in use, an open table higher") << 1 << QList<int>{2} << QList<int>{30} << QList<int>{} << QStringList{} << QStringList{} << 31;
        QTest::newRow("open table without lines holds it") << 0 << QList<int>{} << QList<int>{1} << QList<int>{} << QStringList{} << QStringList{} << 2;
        QTest::newRow("a freed table's old number does not") << 0 << QList<int>{} << QList<int>{} << QList<int>{1} << QStringList{} << QStringList{} << 1;
        // The sales report finds an order's credit by its number: an old credit
        // row must not become the credit of a new order drawn after a reset.
        QTest::newRow("reset, last year's credit holds 1")
            << 0 << QList<int>{} << QList<int>{} << QList<int>{} << QStringList{"1"} << QStringList{} << 2;
        QTest::newRow("reset, credits above the lines")
            << 0 << QList<int>{3} << QList<int>{} << QList<int>{} << QStringList{"1", "9", "10", "2"} << QStringList{} << 11;
        QTest::newRow("reset, credits below the lines")
            << 0 << QList<int>{1, 40} << QList<int>{} << QList<int>{} << QStringList{"7"} << QStringList{} << 41;
        QTest::newRow("credit of another number does not hold it")
            << 0 << QList<int>{} << QList<int>{} << QList<int>{} << QStringList{"5", "12"} << QStringList{} << 1;
        QTest::newRow("a supplier's row does not hold it")
            << 0 << QList<int>{} << QList<int>{} << QList<int>{} << QStringList{} << QStringList{"1"} << 1;
    }
    void nextNumber()
    {
        QFETCH(int, counter);
        QFETCH(QList<int>, lines);
        QFETCH(QList<int>, busy);
        QFETCH(QList<int>, freeTables);
        QFETCH(QStringList, credits);
        QFETCH(QStringList, supplierRows);
        QFETCH(int, expected);
        TestDb db(TestDb::currentEngine());
        QSqlDatabase station = db.openStation(QStringLiteral("station"));
        for (int n : lines)
            TestDb::exec(station, QStringLiteral("insert into Shekvetebi (USERNUM, TableNum, Raodenoba) values (%1, 1, 1)").arg(n));
        int table = 1;
        for (int n : busy)
            TestDb::exec(station, QStringLiteral("insert into busytable (Busy, USERNUM, TableNum) values (1, %1, %2)").arg(n).arg(table++));
        for (int n : freeTables)
            TestDb::exec(station, QStringLiteral("insert into busytable (Busy, USERNUM, TableNum) values (0, %1, %2)").arg(n).arg(table++));
        for (const QString& n : credits)
            TestDb::exec(station, QStringLiteral("insert into nisiebi (FN, whois, nisia, USERNUM, tarigi) values "
                                                 "('ნიკა', 'კლიენტი', 50, '%1', '2025-03-01')")
                                      .arg(n));
        for (const QString& n : supplierRows)
            TestDb::exec(station, QStringLiteral("insert into nisiebi (FN, whois, nisia, USERNUM, tarigi) values "
                                                 "('შპს მომწოდებელი', 'მომწოდებელი', 8, '%1', '2025-03-01')")
                                      .arg(n));
        TDM dm;
        {
            Transaction tx;
            tx.lockOrderNumbering();
            QCOMPARE(OrderEntry::nextOrderNumber(dm, counter), qint64(expected));
        }
        station = QSqlDatabase();
    }
};

QTEST_MAIN(tst_ordernumbering)
#include "tst_ordernumbering.moc"
