#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "data/clock.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "floorplan/floorplan.h"
#include "orders/corrections.h"
#include "orders/eraodenoba.h"
#include "orders/magidis_shecvla.h"
#include "orders/shekveta.h"
#include "tests/support/fiscalsim.h"
#include "tests/support/orderwindow.h"
#include "tests/support/screens.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using Screens::whenModal;

namespace {

const QDateTime Now(QDate(2026, 5, 2), QTime(21, 5, 0));

struct LogRow
{
    qint64 item;
    QString name;
    double quantity;
    int table;
    qint64 order;
    QString what;
    QDateTime when;
};

}  // namespace

Q_DECLARE_METATYPE(LogRow)

namespace {

QList<LogRow> logRows(QSqlDatabase db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("select KERid, das, RAODENOBA, MAGIDA, SHEKVETISN, RAQNA, TARIGI from DELS order by ID"));
    QList<LogRow> out;
    while (q.next()) {
        QDateTime when = q.value(6).toDateTime();
        if (!when.isValid())
            when = QDateTime::fromString(q.value(6).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        out << LogRow{q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toDouble(), q.value(3).toInt(),
                      q.value(4).toLongLong(), q.value(5).toString(), when};
    }
    return out;
}

double stock(QSqlDatabase db, int item)
{
    return TestDb::scalar(db, QStringLiteral("select raodenoba from kerdzebi where ID = %1").arg(item)).toDouble();
}

}  // namespace

class tst_corrections : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;
    QSqlDatabase m_station;
    QTemporaryDir m_fiscal;  // the fiscal driver's command and answer files

    Tshekvetebi* order() const { return forms().shekvetebi; }

    // Table 3 holds order 42 of Nino: khachapuri 2 and lobiani 1.5, 50 prepaid.
    void fill()
    {
        TestDb::exec(m_station, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values ('ნინო', 'აქტიური')"));
        TestDb::exec(m_station, QStringLiteral("insert into kerdzebi (ID, Dasaxeleba, tipi, gasayidi, raodenoba) values "
                                               "(1, 'ხაჭაპური', 'ცომეული', 12, 10), (2, 'ლობიანი', 'ცომეული', 8, 10)"));
        TestDb::exec(m_station, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM, OFICIANT, GadaxdiliTanxa) "
                                               "values (3, 1, 42, 'ნინო', '50.0000')"));
        TestDb::exec(m_station, QStringLiteral(
                                    "insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, GFASI, Raodenoba, OFFICIANT, TableNum, "
                                    "USERNUM, STATUSI, povari, Tarigi) values "
                                    "(1, 'ხაჭაპური', 12, 2, 'ნინო', 3, 42, 4, 1, '2026-05-02'), "
                                    "(2, 'ლობიანი', 8, 1.5, 'ნინო', 3, 42, 1, 1, '2026-05-02')"));
        // Tables 1 to 12 exist; 7 is busy with another order.
        TestDb::exec(m_station, QStringLiteral("update Parametres set inctb = 42, COMMAND = '%1', ANSWER = '%2'")
                                    .arg(m_fiscal.filePath(QStringLiteral("command.txt")),
                                         m_fiscal.filePath(QStringLiteral("answer.txt"))));
        for (int t : {1, 2, 4, 5, 6, 8, 9, 10, 11, 12})
            TestDb::exec(m_station, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM) values (%1, 0, 0)").arg(t));
        TestDb::exec(m_station, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM, OFICIANT) "
                                               "values (7, 1, 40, 'ნინო')"));
    }

    void openTable(int table, const std::function<void()>& inside) { OrderWindow::openTable(m_main.get(), table, inside); }

    std::unique_ptr<FiscalSim> startDriver()
    {
        QFile::remove(m_fiscal.filePath(QStringLiteral("journal.txt")));
        auto sim = std::make_unique<FiscalSim>(m_fiscal.filePath(QStringLiteral("command.txt")),
                                               m_fiscal.filePath(QStringLiteral("answer.txt")),
                                               m_fiscal.filePath(QStringLiteral("journal.txt")));
        return sim->isWatching() ? std::move(sim) : nullptr;
    }

    void changeQuantity(int row, const QString& keys)
    {
        whenModal([keys] {
            TEditRaoden* d = forms().EditRaoden;
            QTest::keyClicks(d->Edit1, keys);  // the whole text is selected: typing replaces it
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            if (d->isVisible())
                d->reject();
        });
        Screens::clickCell(order()->DBGrid2, row, 1);
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Formats::setDecimalSeparator(u'.');
        Clock::setFixed(Now);
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station_check"));
        fill();
        m_main = OrderWindow::showMainWindow();
        QVERIFY(m_main->isVisible());
    }

    void cleanup()
    {
        TestSupport::closeStation(m_main, m_station, m_db);
    }

    void changingAQuantity_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("logged");
        QTest::addColumn<QString>("what");
        QTest::addColumn<double>("line");
        QTest::addColumn<double>("stockAfter");
        QTest::newRow("2 to 5") << QStringLiteral("5") << 3.0 << Corrections::RaqnaIncreased << 5.0 << 7.0;
        QTest::newRow("2 to 0.5") << QStringLiteral("0,5") << 1.5 << Corrections::RaqnaDecreased << 0.5 << 11.5;
        QTest::newRow("2 to 2 still logs") << QStringLiteral("2") << 0.0 << Corrections::RaqnaDecreased << 2.0 << 10.0;
    }
    void changingAQuantity()
    {
        QFETCH(QString, typed);
        QFETCH(double, logged);
        QFETCH(QString, what);
        QFETCH(double, line);
        QFETCH(double, stockAfter);
        openTable(3, [&] {
            const int row = Screens::rowOf(order()->DBGrid2, 0, QStringLiteral("ხაჭაპური"));
            QCOMPARE(forms().EditRaoden->Edit1->text(), QString());
            changeQuantity(row, typed);
            QCOMPARE(order()->DBGrid2->model()->index(row, 1).data().toString(), Formats::general(line));
            // (line x 12 + 1.5 x 8) with 10 % service
            const Money total = Tshekvetebi::totalAmount(line * 12 + 12, 10, true);
            QCOMPARE(order()->Label3->text(), QStringLiteral("სულ: ") + Formats::fixedTwo(total));
        });
        const QList<LogRow> log = logRows(m_station);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].item, 1);
        QCOMPARE(log[0].name, QStringLiteral("ხაჭაპური"));
        QCOMPARE(log[0].quantity, logged);
        QCOMPARE(log[0].what, what);
        QCOMPARE(log[0].table, 3);
        QCOMPARE(log[0].order, 42);
        QCOMPARE(log[0].when, Now);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select Raodenoba from Shekvetebi where Kerdzi_N = 1")).toDouble(),
                 line);
        // The line keeps its state: a finished dish is not sent back to the kitchen.
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select STATUSI from Shekvetebi where Kerdzi_N = 1")).toInt(), 4);
        QCOMPARE(stock(m_station, 1), stockAfter);
    }

    void aQuantityThatIsNoNumberIsRefused()
    {
        openTable(3, [&] {
            whenModal([] {
                TEditRaoden* d = forms().EditRaoden;
                QTest::keyClicks(d->Edit1, QStringLiteral("."));
                QTest::mouseClick(d->Button1, Qt::LeftButton);
                QVERIFY(d->isVisible());
                d->reject();
            });
            Screens::clickCell(order()->DBGrid2, 0, 1);
        });
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(logRows(m_station).size(), 0);
        QCOMPARE(stock(m_station, 1), 10.0);
    }

    // A deletion first registers the table's prepaid amount with the fiscal
    // driver, once for the order (a later deletion finds it registered), then
    // logs the line, gives its quantity back to the stock and deletes it; the
    // order's last line frees the table but keeps its number.
    void deletingLines_data()
    {
        QTest::addColumn<QList<int>>("rows");  // grid rows clicked one after the other
        QTest::addColumn<bool>("itemGone");    // the dish was taken off the menu first
        QTest::addColumn<QList<LogRow>>("log");
        QTest::addColumn<double>("stock1");
        QTest::addColumn<double>("stock2");
        QTest::addColumn<int>("busy");
        const LogRow lobiani{2, QStringLiteral("ლობიანი"), 1.5, 3, 42, QStringLiteral("წაშლა"), Now};
        const LogRow khachapuri{1, QStringLiteral("ხაჭაპური"), 2, 3, 42, QStringLiteral("წაშლა"), Now};
        QTest::newRow("a line of 1.5") << QList<int>{1} << false << QList<LogRow>{lobiani} << 10.0 << 11.5 << 1;
        QTest::newRow("both lines, the last frees the table")
            << QList<int>{1, 0} << false << QList<LogRow>{lobiani, khachapuri} << 12.0 << 11.5 << 0;
        QTest::newRow("a dish no longer on the menu") << QList<int>{1} << true << QList<LogRow>{lobiani} << 10.0
                                                      << -1.0 << 1;
    }
    void deletingLines()
    {
        QFETCH(QList<int>, rows);
        QFETCH(bool, itemGone);
        QFETCH(QList<LogRow>, log);
        QFETCH(double, stock1);
        QFETCH(double, stock2);
        QFETCH(int, busy);
        if (itemGone)
            TestDb::exec(m_station, QStringLiteral("delete from kerdzebi where ID = 2"));
        const auto driver = startDriver();
        QVERIFY(driver);
        openTable(3, [&] {
            for (int row : rows)
                Screens::clickCell(order()->DBGrid2, row, 3);
            QVERIFY(order()->isVisible());  // the window stays open, even when empty
            QCOMPARE(order()->DBGrid2->model()->rowCount(), 2 - rows.size());
            if (busy == 0)
                QCOMPARE(order()->Label3->text(), QStringLiteral("სულ: 0.00"));
        });
        QCOMPARE(Messages::shown(), QStringList(rows.size(), QStringLiteral("ნამდვილად გსურთ ამ ჩანაწერის წაშლა?")));
        QCOMPARE(driver->amounts(), QStringList{QStringLiteral("50.00")});
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select FiskaluriTanxa from busytable where TableNum = 3"))
                     .toDouble(),
                 50.0);
        const QList<LogRow> written = logRows(m_station);
        QCOMPARE(written.size(), log.size());
        for (qsizetype i = 0; i < log.size(); ++i) {
            QCOMPARE(written[i].item, log[i].item);
            QCOMPARE(written[i].name, log[i].name);
            QCOMPARE(written[i].quantity, log[i].quantity);
            QCOMPARE(written[i].table, log[i].table);
            QCOMPARE(written[i].order, log[i].order);
            QCOMPARE(written[i].what, log[i].what);
            QCOMPARE(written[i].when, log[i].when);
        }
        QCOMPARE(stock(m_station, 1), stock1);
        if (itemGone)
            QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from kerdzebi where ID = 2")).toInt(), 0);
        else
            QCOMPARE(stock(m_station, 2), stock2);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi where USERNUM = 42")).toInt(),
                 2 - rows.size());
        QSqlQuery table(m_station);
        table.exec(QStringLiteral("select Busy, USERNUM, GadaxdiliTanxa from busytable where TableNum = 3"));
        QVERIFY(table.next());
        QCOMPARE(table.value(0).toInt(), busy);
        QCOMPARE(table.value(1).toInt(), 42);  // the order number stays
        QCOMPARE(table.value(2).toDouble(), 50.0);
        QCOMPARE(m_main->floorPlan->picture(3)->property("busy").toBool(), busy == 1);
    }

    // Another station changed the order while this window held it: the deletion
    // works on what the database holds, or is refused when the order is no
    // longer open on this table.
    void deletingALineChangedElsewhere_data()
    {
        QTest::addColumn<QStringList>("meanwhile");  // the other station's SQL
        QTest::addColumn<int>("logged");             // DELS rows written
        QTest::addColumn<double>("stock2");
        QTest::addColumn<int>("linesLeft");
        QTest::newRow("quantity lowered to 1: 1 goes back")
            << QStringList{QStringLiteral("update Shekvetebi set Raodenoba = 1 where Kerdzi_N = 2")} << 1 << 11.0 << 1;
        QTest::newRow("order settled: refused")
            << QStringList{QStringLiteral("update Shekvetebi set STATUSI = 100 where USERNUM = 42"),
                           QStringLiteral("update busytable set Busy = 0, USERNUM = -1 where TableNum = 3")}
            << 0 << 10.0 << 2;
        QTest::newRow("order moved to table 9: refused")
            << QStringList{QStringLiteral("update Shekvetebi set TableNum = 9 where USERNUM = 42"),
                           QStringLiteral("update busytable set Busy = 1, USERNUM = 42 where TableNum = 9"),
                           QStringLiteral("update busytable set Busy = 0, USERNUM = 0 where TableNum = 3")}
            << 0 << 10.0 << 2;
    }
    void deletingALineChangedElsewhere()
    {
        QFETCH(QStringList, meanwhile);
        QFETCH(int, logged);
        QFETCH(double, stock2);
        QFETCH(int, linesLeft);
        const auto driver = startDriver();
        QVERIFY(driver);
        openTable(3, [&] {
            for (const QString& sql : meanwhile)
                TestDb::exec(m_station, sql);
            Screens::clickCell(order()->DBGrid2, 1, 3);
        });
        const QList<LogRow> written = logRows(m_station);
        QCOMPARE(written.size(), logged);
        if (logged == 1)
            QCOMPARE(written[0].quantity, 1.0);
        else
            QCOMPARE(Messages::shown().last(), Corrections::OrderGoneText.arg(42).arg(3));
        QCOMPARE(stock(m_station, 2), stock2);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi where USERNUM = 42")).toInt(),
                 linesLeft);
    }

    void movingAnOrderClearedElsewhereMovesNothing()
    {
        openTable(3, [&] {
            whenModal([this] {
                TestDb::exec(m_station, QStringLiteral("update Shekvetebi set STATUSI = 100 where USERNUM = 42"));
                TestDb::exec(m_station, QStringLiteral("update busytable set Busy = 0, USERNUM = -1 where TableNum = 3"));
                Tmagidisshecvla* d = forms().magidisshecvla;
                d->ComboBox1->setCurrentText(QStringLiteral("9"));
                QTest::mouseClick(d->Button1, Qt::LeftButton);
            });
            QTest::mouseDClick(order()->Label1, Qt::LeftButton);
        });
        QCOMPARE(Messages::shown(), QStringList{Corrections::OrderGoneText.arg(42).arg(3)});
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi where TableNum = 3")).toInt(), 2);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select Busy from busytable where TableNum = 9")).toInt(), 0);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select Busy from busytable where TableNum = 3")).toInt(), 0);
    }

    void answeringNoDeletesNothing()
    {
        Messages::intercept([](const QString&) { return false; });
        openTable(3, [&] { Screens::clickCell(order()->DBGrid2, 1, 3); });
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(logRows(m_station).size(), 0);
        QCOMPARE(stock(m_station, 2), 10.0);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi where USERNUM = 42")).toInt(), 2);
        QVERIFY(!QFile::exists(m_fiscal.filePath(QStringLiteral("command.txt"))));  // nothing sent to the driver
    }

    void theTransferListHoldsTheTablesNotBusy()
    {
        openTable(3, [&] {
            whenModal([] {
                Tmagidisshecvla* d = forms().magidisshecvla;
                QStringList items;
                for (int i = 0; i < d->ComboBox1->count(); ++i)
                    items << d->ComboBox1->itemText(i);
                QCOMPARE(items, (QStringList{"1", "2", "4", "5", "6", "8", "9", "10", "11", "12"}));
                QCOMPARE(d->Label4->text(), QStringLiteral("3"));
                QCOMPARE(d->Label5->text(), QStringLiteral("42"));
                d->reject();
            });
            QTest::mouseDClick(order()->Label1, Qt::LeftButton);
        });
    }

    void movingTheOrder()
    {
        TestDb::exec(m_station, QStringLiteral("update busytable set FiskaluriTanxa = '30' where TableNum = 3"));
        openTable(3, [&] {
            whenModal([] {
                Tmagidisshecvla* d = forms().magidisshecvla;
                d->ComboBox1->setCurrentText(QStringLiteral("9"));
                QTest::mouseClick(d->Button1, Qt::LeftButton);
            });
            QTest::mouseDClick(order()->Label1, Qt::LeftButton);
            QVERIFY(!forms().magidisshecvla->isVisible());
            QVERIFY(!order()->isVisible());  // both windows closed
        });
        QSqlQuery q(m_station);
        q.exec(QStringLiteral("select TableNum, Busy, USERNUM, OFICIANT, GadaxdiliTanxa, FiskaluriTanxa from busytable "
                              "where TableNum in (3, 9) order by TableNum"));
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toInt(), 0);
        QCOMPARE(q.value(2).toInt(), 0);
        QCOMPARE(q.value(4).toDouble(), 0.0);
        QCOMPARE(q.value(5).toDouble(), 0.0);
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toInt(), 1);
        QCOMPARE(q.value(2).toInt(), 42);
        QCOMPARE(q.value(3).toString(), QStringLiteral("ნინო"));
        QCOMPARE(q.value(4).toDouble(), 50.0);  // the prepayment travels with the order
        QCOMPARE(q.value(5).toDouble(), 30.0);  // and so does what the fiscal printer registered
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi where TableNum = 9")).toInt(), 2);
        QCOMPARE(logRows(m_station).size(), 0);
        QVERIFY(m_main->floorPlan->picture(9)->property("busy").toBool());
        QVERIFY(!m_main->floorPlan->picture(3)->property("busy").toBool());
    }

    void noTableChosenMovesNothing()
    {
        openTable(3, [&] {
            whenModal([] { QTest::mouseClick(forms().magidisshecvla->Button1, Qt::LeftButton); });
            QTest::mouseDClick(order()->Label1, Qt::LeftButton);
            QVERIFY(!order()->isVisible());
        });
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi where TableNum = 3")).toInt(), 2);
    }

    void aTargetTakenMeanwhileMovesNothing()
    {
        openTable(3, [&] {
            whenModal([this] {
                TestDb::exec(m_station, QStringLiteral("update busytable set Busy = 1, USERNUM = 43 where TableNum = 9"));
                Tmagidisshecvla* d = forms().magidisshecvla;
                d->ComboBox1->setCurrentText(QStringLiteral("9"));
                QTest::mouseClick(d->Button1, Qt::LeftButton);
            });
            QTest::mouseDClick(order()->Label1, Qt::LeftButton);
        });
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(Messages::shown().first().contains(QStringLiteral("9")));
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi where TableNum = 3")).toInt(), 2);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select USERNUM from busytable where TableNum = 3")).toInt(), 42);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select USERNUM from busytable where TableNum = 9")).toInt(), 43);
    }

    void aMoveThatFailsHalfwayLeavesEverythingAsItWas()
    {
        // The database refuses to free the old table: the lines already moved must come back.
        if (m_db->engine() == Engine::SQLite) {
            TestDb::exec(m_station, QStringLiteral("create trigger refuse_free before update on busytable "
                                                   "when new.Busy = 0 begin select raise(abort, 'refused'); end"));
        } else {
            TestDb::exec(m_station, QStringLiteral("create function refuse_free() returns trigger as $$ begin "
                                                   "raise exception 'refused'; end $$ language plpgsql"));
            TestDb::exec(m_station, QStringLiteral("create trigger refuse_free before update on busytable for each row "
                                                   "when (new.Busy = 0) execute function refuse_free()"));
        }
        openTable(3, [&] {
            whenModal([] {
                Tmagidisshecvla* d = forms().magidisshecvla;
                d->ComboBox1->setCurrentText(QStringLiteral("9"));
                QTest::mouseClick(d->Button1, Qt::LeftButton);
            });
            QTest::mouseDClick(order()->Label1, Qt::LeftButton);
        });
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(Messages::shown().first().contains(QStringLiteral("refused")));
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select count(*) from Shekvetebi where TableNum = 3")).toInt(), 2);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select Busy from busytable where TableNum = 9")).toInt(), 0);
        QCOMPARE(TestDb::scalar(m_station, QStringLiteral("select Busy from busytable where TableNum = 3")).toInt(), 1);
    }
};

QTEST_MAIN(tst_corrections)
#include "tst_corrections.moc"
