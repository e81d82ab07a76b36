// The data-bound grid over a real query, on both engines.

#include "shell/dbgrid.h"
#include "shell/messages.h"
#include "data/datamodule.h"
#include "data/namedquery.h"
#include "tests/support/screens.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QTest>

class tst_dbgrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void init()
    {
        Messages::intercept([](const QString&) { return true; });
    }
    void cleanup() { TestSupport::resetGlobals(); }

    // A click on the current row keeps a new row not yet filled in, and an
    // edit not yet posted; a click on another row moves there.
    void clickOnTheCurrentRowKeepsItsChange_data()
    {
        QTest::addColumn<bool>("inserting");  // else editing the first row
        QTest::newRow("new row") << true;
        QTest::newRow("edited row") << false;
    }

    void clickOnTheCurrentRowKeepsItsChange()
    {
        QFETCH(bool, inserting);
        TestDb db(TestDb::currentEngine());
        QSqlDatabase station = db.openStation(QStringLiteral("station_a"));
        TestDb::exec(station, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values "
                                             "('ნინო', 'აქტიური'), ('ლევანი', 'აქტიური')"));
        TDM dm;
        NamedQuery* q = dm.oficianti;
        q->open();
        QCOMPARE(q->rowCount(), 2);
        DBGrid grid;
        grid.bind(dm.oficianti_s, {{QStringLiteral("Oficianti"), QStringLiteral("ოფიციანტი")}});
        grid.resize(400, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));

        int clicks = 0;
        connect(&grid, &DBGrid::cellClicked, this, [&clicks] { ++clicks; });
        if (inserting) {
            q->insert();
        } else {
            q->edit();
            q->setField(QStringLiteral("Oficianti"), QStringLiteral("ნინო ბერიძე"));
        }
        const int current = q->recNo();
        Screens::clickCell(&grid, current, 0);
        QCOMPARE(clicks, 1);  // the click is still reported
        QCOMPARE(q->state(), inserting ? NamedQuery::State::Insert : NamedQuery::State::Edit);
        QCOMPARE(q->recNo(), current);
        QCOMPARE(q->rowCount(), inserting ? 3 : 2);
        QCOMPARE(TestDb::scalar(station, QStringLiteral("select count(*) from OFICIANTI where Oficianti = 'ნინო'")).toInt(),
                 1);

        // Another row: the change is settled as a move settles it, and the query follows.
        const int other = inserting ? 0 : 1;
        Screens::clickCell(&grid, other, 0);
        QCOMPARE(q->state(), NamedQuery::State::Browse);
        QCOMPARE(q->recNo(), other);
        QCOMPARE(q->rowCount(), 2);
        QVERIFY(Messages::shown().isEmpty());
    }
};

QTEST_MAIN(tst_dbgrid)
#include "tst_dbgrid.moc"
