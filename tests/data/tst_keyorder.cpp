#include "data/datamodule.h"
#include "data/namedquery.h"
#include "tests/support/testdb.h"

#include <QTest>

// Lists whose query gives no order come in one order on both engines: by the
// table's key, and a grouping by its groups, however the rows were written
// and updated since.
class tst_keyorder : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    QSqlDatabase m_station;

    static QStringList column(NamedQuery* q, const QString& field)
    {
        QStringList values;
        const int f = q->fieldIndex(field);
        for (int r = 0; r < q->rowCount(); ++r)
            values << q->valueAt(r, f).toString();
        return values;
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void init()
    {
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station_order"));
        // Types and suppliers written out of their order, so that neither the
        // order of writing nor an engine's hashing gives the sorted order by chance.
        TestDb::exec(m_station,
                     QStringLiteral("insert into kerdzebi (ID, Dasaxeleba, tipi, momwodebeli, raodenoba, gasayidi) values "
                                    "(1, 'ხაჭაპური', 'ცომეული', 'ნიკორა', 10, 9), "
                                    "(2, 'ხარჩო', 'ცხელი', 'აგრო', 20, 12), "
                                    "(3, 'ლობიო', 'ცხელი', 'ბაზარი', 15, 7), "
                                    "(4, 'ლიმონათი', 'სასმელი', 'ნაბეღლავი', 30, 3), "
                                    "(5, 'მწვადი', 'მაყალი', 'აგრო', 8, 18), "
                                    "(6, 'ბორჯომი', 'სასმელი', 'ბორჯომი', 40, 3)"));
        TestDb::exec(m_station, QStringLiteral("insert into uplebebi (ganyofileba, povari) values "
                                               "('ცხელი', 'ნინო'), ('ცომეული', 'ანა'), ('მაყალი', 'ბესო')"));
    }

    void cleanup()
    {
        m_station = QSqlDatabase();
        m_db.reset();
    }

    // Sales update the dishes' stock in any order (on PostgreSQL each update
    // moves the row to the end of the table); the menu keeps the key's order.
    void menuKeepsTheKeysOrderAfterSales()
    {
        for (int id : {1, 3, 2, 1, 5})
            TestDb::exec(m_station, QStringLiteral("update kerdzebi set raodenoba = raodenoba - 1 where ID = %1").arg(id));
        TDM dm;
        const QStringList ids{"1", "2", "3", "4", "5", "6"};
        dm.kerdzebi->reopen({{QStringLiteral("das"), QStringLiteral("%")}, {QStringLiteral("tp"), QStringLiteral("%")}});
        QCOMPARE(column(dm.kerdzebi, QStringLiteral("ID")), ids);
        QCOMPARE(dm.kerdzebi->asString(QStringLiteral("Dasaxeleba")), QStringLiteral("ხაჭაპური"));
        QCOMPARE(dm.kerdzebi->asFloat(QStringLiteral("raodenoba")), 8.0);
        // Filtered by type, the same order within the type.
        dm.kerdzebi->reopen({{QStringLiteral("tp"), QStringLiteral("სასმელი")}});
        QCOMPARE(column(dm.kerdzebi, QStringLiteral("ID")), (QStringList{"4", "6"}));
        // Read again, nothing moves.
        dm.kerdzebi->reopen({{QStringLiteral("tp"), QStringLiteral("%")}});
        dm.kerdzebi->refresh();
        QCOMPARE(column(dm.kerdzebi, QStringLiteral("ID")), ids);
        // The waiters' list likewise.
        TestDb::exec(m_station, QStringLiteral("insert into OFICIANTI (ID, Oficianti, mdgomareoba) values "
                                               "(1, 'ნინო', 'აქტიური'), (2, 'ლევანი', 'აქტიური'), (3, 'გიორგი', 'აქტიური')"));
        TestDb::exec(m_station, QStringLiteral("update OFICIANTI set mdgomareoba = 'პასიური' where ID = 1"));
        TestDb::exec(m_station, QStringLiteral("update OFICIANTI set mdgomareoba = 'აქტიური' where ID = 1"));
        dm.oficianti->reopen();
        QCOMPARE(column(dm.oficianti, QStringLiteral("Oficianti")),
                 (QStringList{QStringLiteral("ნინო"), QStringLiteral("ლევანი"), QStringLiteral("გიორგი")}));
    }

    // A grouping lists its groups in their characters' order, as SQLite gives them.
    void groupsInTheirOrder_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("types") << QStringLiteral("GROUP_TYPE") << QStringLiteral("tipi")
                               << QStringList{QStringLiteral("მაყალი"), QStringLiteral("სასმელი"),
                                              QStringLiteral("ცომეული"), QStringLiteral("ცხელი")};
        QTest::newRow("suppliers") << QStringLiteral("momwodebeli") << QStringLiteral("momwodebeli")
                                   << QStringList{QStringLiteral("აგრო"), QStringLiteral("ბაზარი"),
                                                  QStringLiteral("ბორჯომი"), QStringLiteral("ნაბეღლავი"),
                                                  QStringLiteral("ნიკორა")};
        QTest::newRow("cooks") << QStringLiteral("Povrebi") << QStringLiteral("povari")
                               << QStringList{QStringLiteral("ანა"), QStringLiteral("ბესო"), QStringLiteral("ნინო")};
    }

    void groupsInTheirOrder()
    {
        QFETCH(QString, query);
        QFETCH(QString, field);
        QFETCH(QStringList, expected);
        TestDb::exec(m_station, QStringLiteral("update kerdzebi set raodenoba = raodenoba - 1 where ID = 1"));
        TDM dm;
        NamedQuery* q = dm.query(query);
        QVERIFY(q);
        q->open();
        QCOMPARE(column(q, field), expected);
    }

    // A text that gives its own order keeps it.
    void givenOrderKept()
    {
        for (int id : {1, 2, 3})
            TestDb::exec(m_station, QStringLiteral("insert into migeba (ID, Dasaxeleba, momwSN, momwFN, sab_n, tarigi) "
                                                   "values (%1, 'ლობიო', '1', 'აგრო', '7', '2026-05-02')")
                                        .arg(id));
        TestDb::exec(m_station, QStringLiteral("update migeba set raodenoba = 1 where ID = 2"));
        TDM dm;
        dm.migeba_old->reopen({{QStringLiteral("DT"), QStringLiteral("2026-05-02")},
                               {QStringLiteral("SN"), QStringLiteral("%")},
                               {QStringLiteral("FN"), QStringLiteral("%")},
                               {QStringLiteral("Sab"), QStringLiteral("%")}});
        QCOMPARE(column(dm.migeba_old, QStringLiteral("ID")), (QStringList{"3", "2", "1"}));
    }
};

QTEST_GUILESS_MAIN(tst_keyorder)
#include "tst_keyorder.moc"
