#include "admin/parameterstab.h"
#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "data/changefeed.h"
#include "data/datamodule.h"
#include "floorplan/floorplan.h"
#include "kitchen/cooktab.h"
#include "kitchen/waitertab.h"
#include "orders/eraodenoba.h"
#include "orders/shekveta.h"
#include "reports/salesreport.h"
#include "tests/support/orderwindow.h"
#include "tests/support/screens.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTest>

// Station B, the program's own windows here, follows what station A (a
// program process of its own, or a plain connection) writes, with nothing
// done on B: the floor plan, the cook and waiter screens, an open order
// window, the waiter lists and the table count.
class tst_followingstations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }
    void init()
    {
        Messages::intercept([](const QString&) { return true; });
    }
    void cleanup() { Messages::stopIntercepting(); }

    void floorPlanShowsATableTaken();
    void cookAndWaiterScreensListADish();
    void openOrderShowsADishAdded();
    void typedQuantitySurvivesAnotherStation();
    void waitersAndTableCountFollow();

private:
    std::unique_ptr<TKelvora> stationB(const TestDb& db);
};

namespace {

constexpr int Bound = 5000;  // generous on a busy machine; the benchmark shows the real figure

const QString Waiter = QStringLiteral("ნინო ბერიძე");
const QString Cook = QStringLiteral("მზარეული ანა");

void fillRestaurant(QSqlDatabase db)
{
    TestDb::exec(db, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values "
                                    "('ნინო ბერიძე', 'აქტიური'), ('ლევან ტაბიძე', 'აქტიური')"));
    TestDb::exec(db, QStringLiteral("insert into kerdzebi (Dasaxeleba, tipi, gasayidi, raodenoba) values "
                                    "('ხაჭაპური', 'ცომეული', 12, 10), ('ლიმონათი', 'სასმელები', 3, 50)"));
    TestDb::exec(db, QStringLiteral("insert into uplebebi (ganyofileba, povari) values ('ცომეული', 'მზარეული ანა')"));
}

// Station A: a program process of its own adds one `dish` to `table`
// (taking the table when it is free), as the quantity dialog does.
void stationAAdds(const TestDb& db, const QString& dish, int table)
{
    QProcess a;
    a.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    a.start(QStringLiteral(KELVORA_ORDER_RACER), {db.udlPath(), dish, QStringLiteral("1"), QString::number(table), Waiter});
    QVERIFY(a.waitForFinished(60000));
    QCOMPARE(a.exitStatus(), QProcess::NormalExit);
    QCOMPARE(a.exitCode(), 0);
}

int rows(QAbstractItemView* grid)
{
    return grid->model() ? grid->model()->rowCount() : 0;
}

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

double stockOf(TDM* dm, const QString& dish)
{
    NamedQuery* menu = dm->kerdzebi;
    for (int r = 0; r < menu->rowCount(); ++r)
        if (menu->valueAt(r, menu->fieldIndex(QStringLiteral("Dasaxeleba"))).toString() == dish)
            return menu->valueAt(r, menu->fieldIndex(QStringLiteral("raodenoba"))).toDouble();
    return -1;
}

}  // namespace

std::unique_ptr<TKelvora> tst_followingstations::stationB(const TestDb& db)
{
    fillRestaurant(db.openStation(QStringLiteral("setup")));
    std::unique_ptr<TKelvora> b = OrderWindow::showMainWindow();
    if (!b->isStarted())
        qWarning("station B did not start: %s", qPrintable(Messages::shown().join(u'\n')));
    return b;
}

void tst_followingstations::floorPlanShowsATableTaken()
{
    TestDb db(TestDb::currentEngine());
    auto b = stationB(db);
    QTRY_VERIFY_WITH_TIMEOUT(b->feed->isListening(), Bound);
    QVERIFY(!b->floorPlan->picture(5)->property("busy").toBool());
    const QPixmap before = b->floorPlan->picture(6)->pixmap().copy();

    stationAAdds(db, QStringLiteral("ხაჭაპური"), 5);
    QTRY_VERIFY_WITH_TIMEOUT(b->floorPlan->picture(5)->property("busy").toBool(), Bound);
    // Only the table that changed is drawn anew.
    QVERIFY(!b->floorPlan->picture(6)->property("busy").toBool());
    QCOMPARE(b->floorPlan->picture(6)->pixmap().toImage(), before.toImage());
    QVERIFY(Messages::shown().isEmpty());
}

void tst_followingstations::cookAndWaiterScreensListADish()
{
    TestDb db(TestDb::currentEngine());
    auto b = stationB(db);
    QTRY_VERIFY_WITH_TIMEOUT(b->feed->isListening(), Bound);
    b->PageControl1->setCurrentIndex(4);
    CookTab* cook = b->cook;
    cook->ComboBox11->setCurrentIndex(cook->ComboBox11->findText(Cook));
    QCOMPARE(cook->ComboBox11->currentText(), Cook);
    cook->Button18Click();
    QTest::qWait(1200);  // the next tick re-reads, as written
    QCOMPARE(rows(cook->DBGrid10), 0);

    stationAAdds(db, QStringLiteral("ხაჭაპური"), 6);
    QTRY_COMPARE_WITH_TIMEOUT(rows(cook->DBGrid10), 1, Bound);
    QCOMPARE(Screens::rowOf(cook->DBGrid10, 0, QStringLiteral("ხაჭაპური")) >= 0
                 || Screens::rowOf(cook->DBGrid10, 1, QStringLiteral("ხაჭაპური")) >= 0,
             true);

    // The waiter screen, filtered on the waiter, follows as well.
    b->PageControl1->setCurrentIndex(5);
    WaiterTab* waiter = b->waiter;
    waiter->ComboBox8->setCurrentIndex(waiter->ComboBox8->findText(Waiter));
    QTest::mouseClick(waiter->SpeedButton12, Qt::LeftButton);
    QCOMPARE(rows(waiter->DBGrid12), 1);
    stationAAdds(db, QStringLiteral("ხაჭაპური"), 7);
    QTRY_COMPARE_WITH_TIMEOUT(rows(waiter->DBGrid12), 2, Bound);
    // The filter stays as it was set.
    QCOMPARE(waiter->ComboBox8->currentText(), Waiter);
    QVERIFY(Messages::shown().isEmpty());
}

void tst_followingstations::openOrderShowsADishAdded()
{
    TestDb db(TestDb::currentEngine());
    auto b = stationB(db);
    QTRY_VERIFY_WITH_TIMEOUT(b->feed->isListening(), Bound);
    stationAAdds(db, QStringLiteral("ხაჭაპური"), 5);
    Tshekvetebi* order = forms().shekvetebi;
    TDM* dm = forms().DM;

    bool followed = false;
    OrderWindow::openTable(b.get(), 5, [&] {
        QCOMPARE(rows(order->DBGrid2), 1);
        const QString total = order->Label3->text();
        QCOMPARE(stockOf(dm, QStringLiteral("ხაჭაპური")), 9.0);
        // B stands on the second dish of the menu; A's change must not move it.
        dm->kerdzebi->moveTo(1);
        order->DBGrid1->setFocus();
        QTest::qWait(300);  // the window's activation settles the focus first
        QWidget* focused = QApplication::focusWidget();

        stationAAdds(db, QStringLiteral("ხაჭაპური"), 5);
        QTRY_COMPARE_WITH_TIMEOUT(rows(order->DBGrid2), 2, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(order->Label3->text() != total, Bound);
        QCOMPARE(order->Label3->text(), QStringLiteral("სულ: 26.40"));
        QTRY_COMPARE_WITH_TIMEOUT(stockOf(dm, QStringLiteral("ხაჭაპური")), 8.0, Bound);
        QCOMPARE(dm->kerdzebi->recNo(), 1);
        QCOMPARE(QApplication::focusWidget(), focused);
        followed = true;
    });
    QVERIFY(followed);
    QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
}

void tst_followingstations::typedQuantitySurvivesAnotherStation()
{
    TestDb db(TestDb::currentEngine());
    auto b = stationB(db);
    QTRY_VERIFY_WITH_TIMEOUT(b->feed->isListening(), Bound);
    stationAAdds(db, QStringLiteral("ხაჭაპური"), 5);
    Tshekvetebi* order = forms().shekvetebi;

    bool checked = false;
    OrderWindow::openTable(b.get(), 5, [&] {
        QCOMPARE(rows(order->DBGrid2), 1);
        // B corrects the quantity; while the box is open, A adds a dish.
        Screens::whenModal([&] {
            TEditRaoden* d = forms().EditRaoden;
            QTest::keyClicks(d->Edit1, QStringLiteral("3"));
            stationAAdds(db, QStringLiteral("ლიმონათი"), 5);
            QTest::qWait(1500);
            // Nothing was read under the open box: what B typed is there.
            QCOMPARE(d->Edit1->text(), QStringLiteral("3"));
            QVERIFY(d->isVisible());
            QCOMPARE(rows(order->DBGrid2), 1);
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            checked = true;
        });
        Screens::clickCell(order->DBGrid2, 0, 1);
        QVERIFY(checked);
        // Once the box is closed, the window shows A's dish and B's quantity.
        QTRY_COMPARE_WITH_TIMEOUT(rows(order->DBGrid2), 2, Bound);
    });
    QVERIFY(checked);
    QSqlDatabase check = db.openStation(QStringLiteral("check"));
    QCOMPARE(TestDb::scalar(check, QStringLiteral("select Raodenoba from Shekvetebi where Kerdzi_DAS = 'ხაჭაპური'")).toDouble(),
             3.0);
    QCOMPARE(TestDb::scalar(check, QStringLiteral("select count(*) from Shekvetebi")).toInt(), 2);
    QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
}

void tst_followingstations::waitersAndTableCountFollow()
{
    TestDb db(TestDb::currentEngine());
    auto b = stationB(db);
    QTRY_VERIFY_WITH_TIMEOUT(b->feed->isListening(), Bound);
    QSqlDatabase a = db.openStation(QStringLiteral("station_a"));
    Tshekvetebi* order = forms().shekvetebi;
    const QString newWaiter = QStringLiteral("თამარ ხუციშვილი");
    b->sales->mycom->setCurrentIndex(b->sales->mycom->findText(Waiter));

    TestDb::exec(a, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values ('თამარ ხუციშვილი', 'აქტიური')"));
    QTRY_VERIFY_WITH_TIMEOUT(items(order->ComboBox1).contains(newWaiter), Bound);
    QTRY_VERIFY_WITH_TIMEOUT(items(b->sales->mycom).contains(newWaiter), Bound);
    // The sales filter keeps the waiter chosen in it.
    QCOMPARE(b->sales->mycom->currentText(), Waiter);

    // A raised table count shows at once; a lowered one hides the tables above it.
    FloorPlan* floor = b->floorPlan;
    TestDb::exec(a, QStringLiteral("update Parametres set Tables = 14"));
    QTRY_COMPARE_WITH_TIMEOUT(floor->pictureCount(), 14, Bound);
    QVERIFY(floor->picture(14)->isVisible());
    QCOMPARE(floor->picture(14)->toolTip(), QStringLiteral("14"));
    QCOMPARE(TestDb::scalar(a, QStringLiteral("select count(*) from busytable")).toInt(), 14);
    TestDb::exec(a, QStringLiteral("update Parametres set Tables = 10"));
    QTRY_VERIFY_WITH_TIMEOUT(!floor->picture(11)->isVisible(), Bound);
    QVERIFY(floor->picture(10)->isVisible());

    // Without the feed, "Refresh" takes the count as stored.
    b->feed->stop();
    TestDb::exec(a, QStringLiteral("update Parametres set Tables = 16"));
    QTest::mouseClick(floor->Button2, Qt::LeftButton);
    QCOMPARE(floor->pictureCount(), 16);
    QVERIFY(floor->picture(16)->isVisible());
    QVERIFY(floor->picture(11)->isVisible());
    QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
}

QTEST_MAIN(tst_followingstations)
#include "tst_followingstations.moc"
