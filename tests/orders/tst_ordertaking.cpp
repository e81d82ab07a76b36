#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "shell/numerickeyfilter.h"
#include "app/kelvorau.h"
#include "data/clock.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "floorplan/floorplan.h"
#include "orders/orderentry.h"
#include "orders/raodenobau.h"
#include "orders/shekveta.h"
#include "tests/support/orderwindow.h"
#include "tests/support/screens.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSqlQuery>
#include <QTabBar>
#include <QTest>

using Screens::whenModal;

namespace {

const QString Khachapuri = QStringLiteral("ხაჭაპური");  // ცომეული: one cook
const QString Mtsvadi = QStringLiteral("მწვადი");       // ცხელი: two cooks
const QString Lemonade = QStringLiteral("ლიმონათი");    // სასმელები: no cook
const QString Nino = QStringLiteral("ნინო ბერიძე");
const QString Levan = QStringLiteral("ლევან ტაბიძე");

void fillRestaurant(QSqlDatabase db)
{
    TestDb::exec(db, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values "
                                    "('ნინო ბერიძე', 'აქტიური'), ('ლევან ტაბიძე', 'აქტიური')"));
    TestDb::exec(db, QStringLiteral(
                         "insert into kerdzebi (Dasaxeleba, tipi, asagebi, gasayidi, raodenoba) values "
                         "('ხაჭაპური', 'ცომეული', 4, 12.5, 10), ('მწვადი', 'ცხელი', 9, 18, 20), "
                         "('ლიმონათი', 'სასმელები', 1, 3, 50), ('ხარჩო', 'ცხელი', 5, 11, 5)"));
    TestDb::exec(db, QStringLiteral("insert into uplebebi (ganyofileba, povari) values "
                                    "('ცომეული', 'ანა'), ('ცხელი', 'ბესო'), ('ცხელი', 'გია')"));
    TestDb::exec(db, QStringLiteral("update Parametres set inctb = 41"));
}

struct Line
{
    qint64 usernum;
    int table;
    double quantity;
    QString waiter;
    int povari;
    int state;
};

QList<Line> linesOf(QSqlDatabase db, const QString& dish)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select USERNUM, TableNum, Raodenoba, OFFICIANT, povari, STATUSI from Shekvetebi "
                             "where Kerdzi_DAS = ? order by ID"));
    q.addBindValue(dish);
    q.exec();
    QList<Line> out;
    while (q.next())
        out << Line{q.value(0).toLongLong(), q.value(1).toInt(), q.value(2).toDouble(), q.value(3).toString(),
                    q.value(4).toInt(), q.value(5).toInt()};
    return out;
}

double stockOf(QSqlDatabase db, const QString& dish)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select raodenoba from kerdzebi where Dasaxeleba = ?"));
    q.addBindValue(dish);
    q.exec();
    q.next();
    return q.value(0).toDouble();
}

}  // namespace

class tst_ordertaking : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;
    QSqlDatabase m_station;

    Tshekvetebi* order() const { return forms().shekvetebi; }
    TRaodenoba* quantity() const { return forms().Raodenoba; }

    // In the open order window: double-click a dish and type a quantity.
    void addDish(const QString& dish, const QString& keys)
    {
        const int row = Screens::rowOf(order()->DBGrid1, 0, dish);
        QVERIFY2(row >= 0, qPrintable(dish));
        whenModal([this, keys] {
            QCOMPARE(quantity()->rao->text(), QStringLiteral("1"));
            QTest::keyClicks(quantity()->rao, keys);
            QTest::mouseClick(quantity()->Button1, Qt::LeftButton);
            if (quantity()->isVisible())
                quantity()->reject();  // refused: the test checks what was written
        });
        Screens::clickCell(order()->DBGrid1, row, 0, true);
    }

    void openTable(int table, const std::function<void()>& inside) { OrderWindow::openTable(m_main.get(), table, inside); }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Formats::setDecimalSeparator(u'.');
        Clock::setFixed(QDateTime(QDate(2026, 5, 2), QTime(19, 15, 30)));
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station_check"));
        fillRestaurant(m_station);
        m_main = OrderWindow::showMainWindow();
        QVERIFY(m_main->isVisible());
    }

    void cleanup()
    {
        TestSupport::closeStation(m_main, m_station, m_db);
    }

    void firstDishOpensAnOrderAndTheSecondJoinsIt()
    {
        openTable(3, [this] {
            QCOMPARE(order()->Label1->text(), QStringLiteral("3"));
            QVERIFY(order()->ComboBox1->isEnabled());
            QCOMPARE(order()->ComboBox1->currentText(), Nino);
            QCOMPARE(order()->DBGrid2->model()->rowCount(), 0);
            QCOMPARE(order()->DBGrid1->model()->rowCount(), 4);  // tab "ყველა", empty filter

            addDish(Khachapuri, QStringLiteral("2,5"));
            QVERIFY(!quantity()->isVisible());
            QCOMPARE(order()->DBGrid2->model()->rowCount(), 1);
            // 2.5 x 12.5 = 31.25, with 10 % service 34.375 -> 34.38 (halves to even: 34.375 -> 34.38)
            QCOMPARE(order()->Label3->text(), QStringLiteral("სულ: 34.38"));

            // The waiter box changes, but the open order keeps its waiter.
            order()->ComboBox1->setCurrentIndex(1);
            addDish(Lemonade, QStringLiteral("2"));
            QCOMPARE(order()->DBGrid2->model()->rowCount(), 2);
        });

        const QList<Line> kh = linesOf(m_station, Khachapuri);
        QCOMPARE(kh.size(), 1);
        QCOMPARE(kh[0].usernum, 42);
        QCOMPARE(kh[0].table, 3);
        QCOMPARE(kh[0].quantity, 2.5);
        QCOMPARE(kh[0].waiter, Nino);
        const QList<Line> lemonade = linesOf(m_station, Lemonade);
        QCOMPARE(lemonade.size(), 1);
        QCOMPARE(lemonade[0].usernum, 42);
        QCOMPARE(lemonade[0].waiter, Nino);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select inctb from Parametres")).toInt(), 42);
        QSqlQuery row(m_station);
        row.exec(QStringLiteral("select Busy, USERNUM, OFICIANT from busytable where TableNum = 3"));
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toInt(), 1);
        QCOMPARE(row.value(1).toInt(), 42);
        QCOMPARE(row.value(2).toString(), Nino);
        QCOMPARE(stockOf(m_station, Khachapuri), 7.5);
        QCOMPARE(stockOf(m_station, Lemonade), 48.0);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select Tarigi from Shekvetebi where Kerdzi_DAS = 'ხაჭაპური'"))
                     .toDateTime()
                     .date(),
                 QDate(2026, 5, 2));
        QVERIFY(m_main->floorPlan->picture(3)->property("busy").toBool());
        QVERIFY(!m_main->floorPlan->picture(4)->property("busy").toBool());

        // Reopened later: its lines, its waiter in a disabled box, the total.
        openTable(3, [this] {
            QVERIFY(!order()->ComboBox1->isEnabled());
            QCOMPARE(order()->ComboBox1->currentText(), Nino);
            QCOMPARE(order()->DBGrid2->model()->rowCount(), 2);
            // (31.25 + 6) x 1.1 = 40.975 -> 40.98
            QCOMPARE(order()->Label3->text(), QStringLiteral("სულ: 40.98"));
            QTest::mouseClick(order()->CheckBox2, Qt::LeftButton);
            QCOMPARE(order()->Label3->text(), QStringLiteral("სულ: 37.25"));
            QCOMPARE(order()->Label3->toolTip(), QStringLiteral("37.25"));
            QTest::mouseClick(order()->CheckBox2, Qt::LeftButton);
        });
    }

    void routingByTheNumberOfCooks_data()
    {
        QTest::addColumn<QString>("dish");
        QTest::addColumn<int>("flag");
        QTest::newRow("one cook") << Khachapuri << 1;
        QTest::newRow("two cooks") << Mtsvadi << 0;
        QTest::newRow("no cook") << Lemonade << 0;
    }
    void routingByTheNumberOfCooks()
    {
        QFETCH(QString, dish);
        QFETCH(int, flag);
        openTable(5, [&] { addDish(dish, QStringLiteral("1")); });
        const QList<Line> lines = linesOf(m_station, dish);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].povari, flag);
        QCOMPARE(lines[0].state, flag);
    }

    void aQuantityThatIsNoNumberWritesNothing_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::newRow("empty") << QString();
        QTest::newRow("lone separator") << QStringLiteral(".");
        QTest::newRow("two separators") << QStringLiteral("1.2.3");
        QTest::newRow("letters only") << QStringLiteral("abc");
    }
    void aQuantityThatIsNoNumberWritesNothing()
    {
        QFETCH(QString, keys);
        openTable(2, [&] {
            const int row = Screens::rowOf(order()->DBGrid1, 0, Khachapuri);
            whenModal([&] {
                quantity()->rao->clear();
                QTest::keyClicks(quantity()->rao, keys);
                QTest::mouseClick(quantity()->Button1, Qt::LeftButton);
                QVERIFY(quantity()->isVisible());  // the dialog stays open
                quantity()->reject();
            });
            Screens::clickCell(order()->DBGrid1, row, 0, true);
        });
        QCOMPARE(Messages::shown(), QStringList{OrderEntry::BadQuantityText});
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select inctb from Parametres")).toInt(), 41);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi")).toInt(), 0);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select Busy from busytable where TableNum = 2")).toInt(), 0);
        QCOMPARE(stockOf(m_station, Khachapuri), 10.0);
        QVERIFY(!m_main->floorPlan->picture(2)->property("busy").toBool());
    }

    // A quantity of nothing, or less, is no order: refused before anything is written.
    void aQuantityOfNothingWritesNothing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("zero") << QStringLiteral("0");
        QTest::newRow("rounds to zero") << QStringLiteral("0.00001");
        QTest::newRow("negative, pasted") << QStringLiteral("-1");
    }
    void aQuantityOfNothingWritesNothing()
    {
        QFETCH(QString, typed);
        openTable(2, [&] {
            const int row = Screens::rowOf(order()->DBGrid1, 0, Khachapuri);
            whenModal([&] {
                quantity()->rao->setText(typed);
                QTest::mouseClick(quantity()->Button1, Qt::LeftButton);
                QVERIFY(quantity()->isVisible());
                quantity()->reject();
            });
            Screens::clickCell(order()->DBGrid1, row, 0, true);
        });
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().constFirst().contains(QStringLiteral("ნულზე მეტი")),
                 qPrintable(Messages::shown().constFirst()));
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi")).toInt(), 0);
        QCOMPARE(stockOf(m_station, Khachapuri), 10.0);
    }

    void aDishNeedsAWaiterAndAMenuRow()
    {
        openTable(4, [this] {
            order()->ComboBox1->setEditText(QStringLiteral("ნ"));  // one letter is no waiter
            Screens::clickCell(order()->DBGrid1, 0, 0, true);
            QCOMPARE(Messages::shown(), QStringList{QStringLiteral("აირჩიეთ ოფიციანტი")});
            order()->ComboBox1->setCurrentIndex(0);
            order()->Edit1->setText(QStringLiteral("არაფერი"));
            QCOMPARE(order()->DBGrid1->model()->rowCount(), 0);
            QTest::mouseDClick(order()->DBGrid1->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
            QVERIFY(!quantity()->isVisible());
        });
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi")).toInt(), 0);
    }

    void theMenuFiltersByNameAndType()
    {
        openTable(1, [this] {
            order()->Edit1->setText(QStringLiteral("ხა"));
            // Names that begin with the letters, not those that contain them further on.
            QCOMPARE(order()->DBGrid1->model()->rowCount(), 2);
            order()->Edit1->clear();
            const int hot = [this] {
                for (int i = 0; i < order()->TabControl1->count(); ++i)
                    if (order()->TabControl1->tabText(i) == QStringLiteral("ცხელი"))
                        return i;
                return -1;
            }();
            order()->TabControl1->setCurrentIndex(hot);
            QCOMPARE(order()->DBGrid1->model()->rowCount(), 2);
            order()->Edit1->setText(QStringLiteral("ხა"));
            QCOMPARE(order()->DBGrid1->model()->rowCount(), 1);
        });
    }

    void anotherStationOpenedTheTableMeanwhile()
    {
        openTable(6, [this] {
            // Station B opens the same table first, with its own waiter and number 42.
            TestDb::exec(m_station, QStringLiteral("update Parametres set inctb = 42"));
            TestDb::exec(m_station, QStringLiteral(
                                        "update busytable set Busy = 1, USERNUM = 42, OFICIANT = 'ლევან ტაბიძე' "
                                        "where TableNum = 6"));
            addDish(Khachapuri, QStringLiteral("1"));
        });
        const QList<Line> lines = linesOf(m_station, Khachapuri);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].usernum, 42);
        QCOMPARE(lines[0].waiter, Levan);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select inctb from Parametres")).toInt(), 42);
    }
};

QTEST_MAIN(tst_ordertaking)
#include "tst_ordertaking.moc"
