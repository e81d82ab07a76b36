#include "data/datamodule.h"
#include "reports/ordercredit.h"
#include "tests/support/testdb.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

// The credit of many orders read at once equals the rule for one order at a
// time: the nisia of the order's first client credit row (lowest ID), or 0.
class tst_ordercredit : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    QSqlDatabase m_station;

    // One order's credit by the rule, read on its own.
    Money oneOrder(qint64 order)
    {
        QSqlQuery q(m_station);
        q.prepare(QStringLiteral("select nisia from nisiebi where whois = 'კლიენტი' and USERNUM = :n order by ID"));
        q.bindValue(QStringLiteral(":n"), QString::number(order));
        if (!q.exec())
            qFatal("%s", qPrintable(q.lastError().text()));
        return q.next() ? Money::fromDoubleHalfEven(q.value(0).toDouble()) : Money();
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void init()
    {
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station_credit"));
        // 10: none; 11: one row; 12: three rows, the first not the smallest;
        // 13: a supplier's row only; 14: a supplier's row before a client's;
        // 15: a client row without an amount; 111: a number 11 is the start of.
        TestDb::exec(m_station, QStringLiteral(
                                    "insert into nisiebi (FN, whois, nisia, shettanxa, tarigi, USERNUM) values "
                                    "('ა', 'კლიენტი', 12.3456, 0, '2026-05-01', '11'), "
                                    "('ბ', 'კლიენტი', 40, 0, '2026-05-01', '12'), "
                                    "('ბ', 'კლიენტი', 5, 0, '2026-05-02', '12'), "
                                    "('ბ', 'კლიენტი', 0.1, 0, '2026-05-03', '12'), "
                                    "('აგრო', 'მომწოდებელი', 900, 0, '2026-05-01', '13'), "
                                    "('ვაზი', 'მომწოდებელი', 70, 0, '2026-05-01', '14'), "
                                    "('გ', 'კლიენტი', 0.2, 0, '2026-05-01', '14'), "
                                    "('დ', 'კლიენტი', null, 0, '2026-05-01', '15'), "
                                    "('ე', 'კლიენტი', 1000, 0, '2026-05-01', '111')"));
    }

    void cleanup()
    {
        m_station = QSqlDatabase();
        m_db.reset();
    }

    void equalsTheRuleForEachOrder_data()
    {
        QTest::addColumn<QVector<qint64>>("orders");
        QTest::addColumn<QString>("total");
        QTest::newRow("none") << QVector<qint64>{10} << "0";
        QTest::newRow("one row") << QVector<qint64>{11} << "12.3456";
        QTest::newRow("several rows: the first") << QVector<qint64>{12} << "40";
        QTest::newRow("a supplier's document is no credit") << QVector<qint64>{13} << "0";
        QTest::newRow("the client's row after a supplier's") << QVector<qint64>{14} << "0.2";
        QTest::newRow("a row without an amount") << QVector<qint64>{15} << "0";
        QTest::newRow("an order listed twice counts once") << QVector<qint64>{12, 11, 12} << "52.3456";
        QTest::newRow("all together") << QVector<qint64>{10, 11, 12, 13, 14, 15, 16} << "52.5456";
        QTest::newRow("no orders") << QVector<qint64>{} << "0";
    }

    void equalsTheRuleForEachOrder()
    {
        QFETCH(QVector<qint64>, orders);
        QFETCH(QString, total);
        TDM dm;
        OrderCredit credit(dm.query(QStringLiteral("klientis_nisiebi")));
        credit.reload();
        Money byRule;
        QSet<qint64> seen;
        for (qint64 o : orders) {
            QCOMPARE(credit.of(o), oneOrder(o));
            if (!seen.contains(o)) {
                seen.insert(o);
                byRule += oneOrder(o);
            }
        }
        QCOMPARE(credit.total(orders), byRule);
        QCOMPARE(credit.total(orders), *Money::parse(total));
    }

    void readsTheLedgerAfresh()
    {
        TDM dm;
        OrderCredit credit(dm.query(QStringLiteral("klientis_nisiebi")));
        credit.reload();
        QCOMPARE(credit.of(10), Money());
        TestDb::exec(m_station, QStringLiteral(
                                    "insert into nisiebi (FN, whois, nisia, shettanxa, tarigi, USERNUM) values "
                                    "('ზ', 'კლიენტი', 8, 0, '2026-05-04', '10')"));
        credit.reload();
        QCOMPARE(credit.of(10), Money::fromInt(8));
    }
};

QTEST_MAIN(tst_ordercredit)
#include "tst_ordercredit.moc"
