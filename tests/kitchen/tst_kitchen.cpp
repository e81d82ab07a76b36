#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/linestates.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "data/clock.h"
#include "data/datamodule.h"
#include "kitchen/cooktab.h"
#include "kitchen/waitertab.h"
#include "tests/support/screens.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QComboBox>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

const QDateTime Now(QDate(2026, 5, 2), QTime(20, 0));

// Kitchen lines of table 7: khachapuri and lobiani go to Ana (bakery), kharcho
// to Beso (hot), lemonade to nobody.
void fillKitchen(QSqlDatabase db)
{
    TestDb::exec(db, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values "
                                    "('ნინო', 'აქტიური'), ('ლევანი', 'აქტიური'), ('ზურა', 'პასიური')"));
    TestDb::exec(db, QStringLiteral("insert into kerdzebi (ID, Dasaxeleba, tipi, gasayidi) values "
                                    "(1, 'ხაჭაპური', 'საცხობი', 12), (2, 'ლობიანი', 'საცხობი', 8), "
                                    "(3, 'ხარჩო', 'ცხელი', 11), (4, 'ლიმონათი', 'სასმელები', 3)"));
    TestDb::exec(db, QStringLiteral("insert into uplebebi (ganyofileba, povari) values "
                                    "('საცხობი', 'ანა'), ('ცხელი', 'ბესო')"));
}

void addLine(QSqlDatabase db, int id, int item, const QString& name, int state, const QString& waiter,
             int table, const QString& start)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("insert into Shekvetebi (ID, Kerdzi_N, Kerdzi_DAS, Raodenoba, OFFICIANT, TableNum, "
                             "USERNUM, STATUSI, povari, Tarigi, Starttime) values (?, ?, ?, 1, ?, ?, 9, ?, ?, ?, ?)"));
    q.addBindValue(id);
    q.addBindValue(item);
    q.addBindValue(name);
    q.addBindValue(waiter);
    q.addBindValue(table);
    q.addBindValue(state);
    q.addBindValue(state == 0 ? 0 : 1);
    q.addBindValue(QStringLiteral("2026-05-02"));
    q.addBindValue(start);
    if (!q.exec())
        qFatal("%s", qPrintable(q.lastError().text()));
}

using Screens::column;

int stateOf(QSqlDatabase db, int id)
{
    return TestDb::scalar(db, QStringLiteral("select STATUSI from Shekvetebi where ID = %1").arg(id)).toInt();
}

QColor cellColour(DBGrid* grid, int row)
{
    const QRect r = grid->visualRect(grid->model()->index(row, 0));
    const QImage image = grid->viewport()->grab().toImage();
    return image.pixelColor(r.left() + 3, r.top() + 3);
}

}  // namespace

class tst_kitchen : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;
    QSqlDatabase m_station;
    CookTab* cook() const { return m_main->cook; }
    WaiterTab* waiter() const { return m_main->waiter; }

    void rereadNow()
    {
        cook()->Button18Click();
        cook()->Timer1Timer();
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Clock::setFixed(Now);
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station_other"));
        fillKitchen(m_station);
        addLine(m_station, 1, 1, QStringLiteral("ხაჭაპური"), LineState::Queued, QStringLiteral("ნინო"), 7,
                QStringLiteral("2026-05-02 19:48:10"));
        addLine(m_station, 2, 3, QStringLiteral("ხარჩო"), LineState::Queued, QStringLiteral("ნინო"), 7,
                QStringLiteral("2026-05-02 19:55:00"));
        addLine(m_station, 3, 4, QStringLiteral("ლიმონათი"), LineState::NotRouted, QStringLiteral("ნინო"), 7,
                QStringLiteral("2026-05-02 19:55:00"));
        m_main.reset(TKelvora::createWindows());
        m_main->resize(1400, 800);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        m_main->Timer1->stop();  // ticks are driven by hand
        m_main->PageControl1->setCurrentIndex(4);
        m_main->Timer1->stop();
    }

    void cleanup()
    {
        TestSupport::closeStation(m_main, m_station, m_db);
    }

    void countdownAndReread()
    {
        cook()->resetCounter();
        cook()->ComboBox11->setEditText(QStringLiteral("ანა"));
        QStringList captions;
        for (int tick = 0; tick < 31; ++tick) {
            cook()->Timer1Timer();
            captions << cook()->Button18->text();
            if (tick < 30)
                QCOMPARE(cook()->DBGrid10->model()->rowCount(), 0);  // not yet re-read
        }
        QCOMPARE(captions.first(), QStringLiteral("Refresh 29"));
        QCOMPARE(captions.at(29), QStringLiteral("Refresh 0"));
        // The tick that re-reads starts the count again; it never goes below 0.
        QCOMPARE(captions.last(), QStringLiteral("Refresh 30"));
        QCOMPARE(column(cook()->DBGrid10, 0), QStringList{QStringLiteral("ხაჭაპური")});
        QCOMPARE(cook()->counter(), 0);
    }

    void eachCookSeesOnlyTheirQueue_data()
    {
        QTest::addColumn<QString>("cook");
        QTest::addColumn<QStringList>("queue");
        QTest::newRow("bakery") << QStringLiteral("ანა") << QStringList{QStringLiteral("ხაჭაპური")};
        QTest::newRow("hot") << QStringLiteral("ბესო") << QStringList{QStringLiteral("ხარჩო")};
        QTest::newRow("no cook chosen") << QString() << QStringList{};
        QTest::newRow("every cook") << QStringLiteral("%")
                                    << QStringList{QStringLiteral("ხაჭაპური"), QStringLiteral("ხარჩო")};
    }
    void eachCookSeesOnlyTheirQueue()
    {
        QFETCH(QString, cook);
        QFETCH(QStringList, queue);
        this->cook()->ComboBox11->setEditText(cook);
        rereadNow();
        QCOMPARE(column(this->cook()->DBGrid10, 0), queue);
    }

    void takeStartFinish()
    {
        cook()->ComboBox11->setEditText(QStringLiteral("ანა"));
        QCOMPARE(cook()->ComboBox13->count(), 1);  // the cook's departments
        addLine(m_station, 4, 2, QStringLiteral("ლობიანი"), LineState::Queued, QStringLiteral("ლევანი"), 3,
                QStringLiteral("2026-05-02 19:58:00"));
        rereadNow();
        QCOMPARE(column(cook()->DBGrid10, 0), (QStringList{QStringLiteral("ხაჭაპური"), QStringLiteral("ლობიანი")}));

        // Take: a double-click moves the line to the work list with a new start time.
        Clock::setFixed(Now.addSecs(60));
        Screens::clickCell(cook()->DBGrid10, 0, 0, true);
        QCOMPARE(stateOf(m_station, 1), LineState::Taken);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select Starttime from Shekvetebi where ID = 1")).toDateTime(),
                 Now.addSecs(60));
        QCOMPARE(column(cook()->DBGrid10, 0), QStringList{QStringLiteral("ლობიანი")});
        QCOMPARE(column(cook()->DBGrid11, 0), QStringList{QStringLiteral("ხაჭაპური")});
        QCOMPARE(column(cook()->DBGrid11, 1), QStringList{QStringLiteral("ნინო")});
        QCOMPARE(column(cook()->DBGrid11, 3), QStringList{QStringLiteral("7")});

        // Take the second too; the first row of the work list is current after the re-read.
        Screens::clickCell(cook()->DBGrid10, 0, 0, true);
        QCOMPARE(cook()->DBGrid11->model()->rowCount(), 2);
        QCOMPARE(cellColour(cook()->DBGrid11, 1), LineState::rowColour(LineState::Taken));

        // Clicking the name, waiter, quantity or table changes nothing.
        for (int c = 0; c < 4; ++c)
            Screens::clickCell(cook()->DBGrid11, 1, c);
        QCOMPARE(stateOf(m_station, 4), LineState::Taken);

        // START on the second row, END on the first.
        Screens::clickCell(cook()->DBGrid11, 1, 4);
        QCOMPARE(stateOf(m_station, 4), LineState::Started);
        QCOMPARE(cellColour(cook()->DBGrid11, 1), LineState::rowColour(LineState::Started));
        Clock::setFixed(Now.addSecs(600));
        Screens::clickCell(cook()->DBGrid11, 0, 5);
        QCOMPARE(stateOf(m_station, 1), LineState::Finished);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select endtime from Shekvetebi where ID = 1")).toDateTime(),
                 Now.addSecs(600));
        QCOMPARE(column(cook()->DBGrid11, 0), QStringList{QStringLiteral("ლობიანი")});
    }

    void anotherStationsChangeShowsAtTheNextReread()
    {
        cook()->ComboBox11->setEditText(QStringLiteral("ბესო"));
        rereadNow();
        QCOMPARE(cook()->DBGrid10->model()->rowCount(), 1);
        TestDb::exec(m_station, QStringLiteral("update Shekvetebi set STATUSI = -5 where ID = 2"));
        QCOMPARE(cook()->DBGrid10->model()->rowCount(), 1);
        rereadNow();
        QCOMPARE(cook()->DBGrid10->model()->rowCount(), 0);
    }

    void takingALineTheWaiterClosedIsRefused()
    {
        cook()->ComboBox11->setEditText(QStringLiteral("ბესო"));
        rereadNow();
        TestDb::exec(m_station, QStringLiteral("update Shekvetebi set STATUSI = -5 where ID = 2"));
        Screens::clickCell(cook()->DBGrid10, 0, 0, true);
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(stateOf(m_station, 2), LineState::ClosedByWaiter);
        QCOMPARE(cook()->DBGrid10->model()->rowCount(), 0);  // the lists were read again
    }

    void waiterList()
    {
        addLine(m_station, 4, 2, QStringLiteral("ლობიანი"), LineState::Taken, QStringLiteral("ლევანი"), 3,
                QStringLiteral("2026-05-02 19:30:00"));
        addLine(m_station, 5, 2, QStringLiteral("ლობიანი"), LineState::Started, QStringLiteral("ნინო"), 7,
                QStringLiteral("2026-05-02 19:30:00"));
        addLine(m_station, 6, 2, QStringLiteral("ლობიანი"), LineState::ClosedByWaiter, QStringLiteral("ნინო"), 7,
                QStringLiteral("2026-05-02 19:30:00"));
        addLine(m_station, 7, 1, QStringLiteral("ხაჭაპური"), LineState::Queued, QStringLiteral("ნინო"), 7,
                QStringLiteral("2026-05-02 20:10:00"));  // a start time ahead of the clock

        m_main->PageControl1->setCurrentIndex(5);
        QCOMPARE(waiter()->ComboBox8->count(), 2);             // the active waiters
        QCOMPARE(waiter()->DBGrid12->model()->rowCount(), 0);  // not read on selection

        QTest::mouseClick(waiter()->SpeedButton12, Qt::LeftButton);
        // Taken first, then queued, then those the waiter closed; states 0, 3, 4 never.
        const QStringList states = [this] {
            QStringList out;
            NamedQuery* q = forms().DM->Opicianti;
            for (int r = 0; r < q->rowCount(); ++r)
                out << q->valueAt(r, q->fieldIndex(QStringLiteral("STATUSI"))).toString();
            return out;
        }();
        QCOMPARE(states, (QStringList{QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1"),
                                      QStringLiteral("1"), QStringLiteral("-5")}));
        const int queuedKhachapuri = Screens::rowOf(waiter()->DBGrid12, 4, QStringLiteral("11"));
        QVERIFY(queuedKhachapuri >= 0);                                         // 19:48:10 to 20:00: eleven whole minutes
        QCOMPARE(column(waiter()->DBGrid12, 4).count(QStringLiteral("0")), 1);  // never negative

        // Filters: a waiter, a table.
        waiter()->ComboBox8->setEditText(QStringLiteral("ლევანი"));
        QTest::mouseClick(waiter()->SpeedButton12, Qt::LeftButton);
        QCOMPARE(column(waiter()->DBGrid12, 0), QStringList{QStringLiteral("ლობიანი")});
        waiter()->ComboBox8->setEditText(QStringLiteral("ლევანი "));  // a trailing blank matches nobody
        QTest::mouseClick(waiter()->SpeedButton12, Qt::LeftButton);
        QCOMPARE(waiter()->DBGrid12->model()->rowCount(), 0);
        waiter()->ComboBox8->setEditText(QString());
        waiter()->ComboBox10->setEditText(QStringLiteral("3"));
        QTest::mouseClick(waiter()->SpeedButton12, Qt::LeftButton);
        QCOMPARE(waiter()->DBGrid12->model()->rowCount(), 1);
        waiter()->ComboBox10->setEditText(QString());
        QTest::mouseClick(waiter()->SpeedButton12, Qt::LeftButton);

        // The flag closes a line without re-reading: it stays, sky blue.
        const int kharcho = Screens::rowOf(waiter()->DBGrid12, 0, QStringLiteral("ხარჩო"));
        Screens::clickCell(waiter()->DBGrid12, kharcho, 0);
        QCOMPARE(stateOf(m_station, 2), LineState::Queued);  // only the flag cell acts
        Screens::clickCell(waiter()->DBGrid12, kharcho, 5);
        QCOMPARE(stateOf(m_station, 2), LineState::ClosedByWaiter);
        QCOMPARE(Screens::rowOf(waiter()->DBGrid12, 0, QStringLiteral("ხარჩო")), kharcho);
        waiter()->DBGrid12->clearSelection();
        waiter()->DBGrid12->setCurrentIndex(waiter()->DBGrid12->model()->index(0, 0));
        QCOMPARE(cellColour(waiter()->DBGrid12, kharcho), LineState::rowColour(LineState::ClosedByWaiter));

        // Read again, it goes to the end of the list, among the lines the waiter closed.
        QTest::mouseClick(waiter()->SpeedButton12, Qt::LeftButton);
        QVERIFY(column(waiter()->DBGrid12, 0).indexOf(QStringLiteral("ხარჩო"))
                >= waiter()->DBGrid12->model()->rowCount() - 2);
    }
};

QTEST_MAIN(tst_kitchen)
#include "tst_kitchen.moc"
