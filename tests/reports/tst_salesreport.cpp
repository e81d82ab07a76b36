#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "data/clock.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "reports/salesreport.h"
#include "tests/reports/reportfixture.h"
#include "tests/support/orderwindow.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

// The sales report on a small fixed fixture, through its real controls: the
// grid's lines and the summary's texts for each filter that matters, the same on
// both engines.
class tst_salesreport : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;

    SalesReport* report() const { return m_main->sales; }
    QString label(const char* name) const
    {
        auto* l = report()->findChild<QLabel*>(QLatin1String(name));
        return l ? l->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
    }
    // The summary, first row then second row, as the owner reads it.
    QString summary() const
    {
        return QStringLiteral("%1 %2 | %3 %4 %5 %6 | %7 %8")
            .arg(label("SULRAODENOBA"), label("SULAFASI"), label("orderCountLabel"), label("SULGFASI"),
                 label("SULGF"), label("serviceLabel"), label("creditLabel"), label("cashLabel"));
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Formats::setDecimalSeparator(u'.');
        Clock::setFixed(QDateTime(QDate(2026, 5, 2), QTime(22, 0)));
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        ReportFixture::write(m_db->openStation(QStringLiteral("station_fill")));
        m_main = OrderWindow::showMainWindow();
        m_main->PageControl1->setCurrentIndex(2);
    }

    void cleanup()
    {
        m_main.reset();
        m_db.reset();
        TestSupport::resetGlobals();
    }

    void beforeTheFirstSearch()
    {
        QCOMPARE(summary(), QStringLiteral("  | მაგიდის რაოდენ:   0 |  "));
        QCOMPARE(report()->DateTimePicker1->date(), QDate(2026, 5, 2));
        QCOMPARE(report()->DateTimePicker2->date(), QDate(2026, 5, 2));
        // Every waiter, active or not, and every table are offered; none is chosen.
        QCOMPARE(report()->mycom->count(), 2);
        QCOMPARE(report()->mycom->currentText(), QString());
        QCOMPARE(report()->ComboBox2->count(), 12);
        QCOMPARE(report()->ComboBox2->currentText(), QString());
        QCOMPARE(report()->ComboBox6->count(), 0);
        QVERIFY(!report()->SpeedButton6->icon().isNull());
        QVERIFY(m_main->sales->findChild<QLabel*>(QStringLiteral("SULGF"))->toolTip().contains(QStringLiteral("მომსახურეობის გამოკლებით")));
    }

    void search_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("waiter");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("dish");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("summary");
        const QDate may1(2026, 5, 1), may2(2026, 5, 2), may3(2026, 5, 3), apr30(2026, 4, 30);

        // Order 44's table is still open: its line counts at its price, without
        // service, on both sides of the service figure. The summary's amounts
        // are the sums of the listed ones.
        QTest::newRow("blank filters: every line of both days")
            << ""
            << ""
            << ""
            << "" << may1 << may2
            << "42 | მწვადი | ნინო | 4 | 20 | 1.5 | 18.00 | 49.50 ₾ | 01.05.2026\n"
               "42 | ღვინო | ანა | 4 | 40 | 2 | 18.00 | 55.00 ₾ | 01.05.2026\n"
               "43 | მწვადი ღორის | ანა | 7 | 10 | 1 | 14.00 | 35.20 ₾ | 02.05.2026\n"
               "44 | ღვინო | ნინო | 7 | 40 | 3 | 27.00 | 75.00 ₾ | 02.05.2026"
            << "7.5 77.00 | მაგიდის რაოდენ:3 214.70 202.00 =12.70 | კონსიგნაცია:30.75 cash:183.95";
        // Only part of order 42 is listed, yet its whole debt counts.
        QTest::newRow("waiter: part of an order with its whole credit")
            << ""
            << "ნინო"
            << ""
            << "" << may1 << may2
            << "42 | მწვადი | ნინო | 4 | 20 | 1.5 | 18.00 | 49.50 ₾ | 01.05.2026\n"
               "44 | ღვინო | ნინო | 7 | 40 | 3 | 27.00 | 75.00 ₾ | 02.05.2026"
            << "4.5 45.00 | მაგიდის რაოდენ:2 124.50 120.00 =4.50 | კონსიგნაცია:20.50 cash:104.00";
        QTest::newRow("waiter with blanks matches nothing")
            << ""
            << " ნინო "
            << ""
            << "" << may1 << may2 << ""
            << "  | მაგიდის რაოდენ:0   =0.00 | კონსიგნაცია:0.00 cash:0.00";
        QTest::newRow("dish: the exact name, not the names beginning with it")
            << ""
            << ""
            << ""
            << "მწვადი" << may1 << may2
            << "42 | მწვადი | ნინო | 4 | 20 | 1.5 | 18.00 | 49.50 ₾ | 01.05.2026"
            << "1.5 18.00 | მაგიდის რაოდენ:1 49.50 45.00 =4.50 | კონსიგნაცია:20.50 cash:29.00";
        // The supplier's document 43 does not lower the cash.
        QTest::newRow("order: client credit only")
            << "43"
            << ""
            << ""
            << "" << may1 << may2
            << "43 | მწვადი ღორის | ანა | 7 | 10 | 1 | 14.00 | 35.20 ₾ | 02.05.2026"
            << "1 14.00 | მაგიდის რაოდენ:1 35.20 32.00 =3.20 | კონსიგნაცია:10.25 cash:24.95";
        QTest::newRow("order 42 counted once, its first credit row")
            << "42"
            << ""
            << ""
            << "" << may1 << may2
            << "42 | მწვადი | ნინო | 4 | 20 | 1.5 | 18.00 | 49.50 ₾ | 01.05.2026\n"
               "42 | ღვინო | ანა | 4 | 40 | 2 | 18.00 | 55.00 ₾ | 01.05.2026"
            << "3.5 36.00 | მაგიდის რაოდენ:1 104.50 95.00 =9.50 | კონსიგნაცია:20.50 cash:84.00";
        QTest::newRow("table")
            << ""
            << ""
            << "7"
            << "" << may1 << may2
            << "43 | მწვადი ღორის | ანა | 7 | 10 | 1 | 14.00 | 35.20 ₾ | 02.05.2026\n"
               "44 | ღვინო | ნინო | 7 | 40 | 3 | 27.00 | 75.00 ₾ | 02.05.2026"
            << "4 41.00 | მაგიდის რაოდენ:2 110.20 107.00 =3.20 | კონსიგნაცია:10.25 cash:99.95";
        QTest::newRow("end day included")
            << ""
            << ""
            << ""
            << "" << may3 << may3
            << "45 | მწვადი | ნინო | 9 | 20 | 2 | 24.00 | 66.00 ₾ | 03.05.2026"
            << "2 24.00 | მაგიდის რაოდენ:1 66.00 60.00 =6.00 | კონსიგნაცია:0.00 cash:66.00";
        QTest::newRow("start day included")
            << ""
            << ""
            << ""
            << "" << apr30 << apr30
            << "41 | მწვადი | ნინო | 4 | 20 | 1 | 12.00 | 33.00 ₾ | 30.04.2026"
            << "1 12.00 | მაგიდის რაოდენ:1 33.00 30.00 =3.00 | კონსიგნაცია:3.00 cash:30.00";
        QTest::newRow("empty period")
            << ""
            << ""
            << ""
            << "" << QDate(2026, 6, 1) << QDate(2026, 6, 1) << ""
            << "  | მაგიდის რაოდენ:0   =0.00 | კონსიგნაცია:0.00 cash:0.00";
    }

    void search()
    {
        QFETCH(QString, order);
        QFETCH(QString, waiter);
        QFETCH(QString, table);
        QFETCH(QString, dish);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, grid);
        QFETCH(QString, summary);
        report()->LabeledEdit1->setText(order);
        report()->mycom->setEditText(waiter);
        report()->ComboBox2->setEditText(table);
        report()->ComboBox6->setEditText(dish);
        report()->DateTimePicker1->setDate(from);
        report()->DateTimePicker2->setDate(to);
        QTest::mouseClick(report()->Button7, Qt::LeftButton);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
        QCOMPARE(ReportFixture::gridText(report()->DBGrid2, true), ReportFixture::sortedLines(grid));
        QCOMPARE(this->summary(), summary);

        // The summary adds up what the grid lists, cent by cent.
        const auto columnSum = [this](int column) {
            Money sum;
            QAbstractItemModel* grid = report()->DBGrid2->model();
            for (int r = 0; r < grid->rowCount(); ++r) {
                QString text = grid->index(r, column).data().toString();
                text.remove(QStringLiteral(" ₾")).remove(u',');
                sum += *Money::parse(text);
            }
            return sum;
        };
        if (report()->DBGrid2->model()->rowCount() > 0) {
            QCOMPARE(label("SULAFASI"), Formats::fixedTwo(columnSum(6)));
            QCOMPARE(label("SULGFASI"), Formats::fixedTwo(columnSum(7)));
        }

        // The sums taken from the listed lines are the ones the engine gives
        // (sul_his_shek), with service, open tables and credit in the fixture.
        const SalesSearch::Totals& t = report()->totals();
        NamedQuery* sums = forms().DM->sul_his_shek;
        QVERIFY(!sums->isOpen());
        sums->open();
        const std::pair<const char*, QVariant> derived[] = {
            {"SULRAODENOBA", t.quantity}, {"SULAFASI", t.cost}, {"SULGFASI", t.withService}, {"SULGF", t.takings}};
        for (const auto& [field, value] : derived) {
            const QVariant engine = sums->value(QLatin1String(field));
            QVERIFY2(engine.isNull() == value.isNull(), field);
            QVERIFY2(Money::fromDoubleHalfEven(engine.toDouble()) == Money::fromDoubleHalfEven(value.toDouble()), field);
            QCOMPARE(engine.toDouble(), value.toDouble());
        }
        forms().DM->magidebis_raod->open();
        QCOMPARE(forms().DM->magidebis_raod->rowCount(), t.orders);
    }

    void theResultStaysUntilTheNextSearch()
    {
        report()->DateTimePicker1->setDate(QDate(2026, 5, 1));
        QTest::mouseClick(report()->Button7, Qt::LeftButton);
        const QString before = summary();
        report()->DateTimePicker1->setDate(QDate(2026, 6, 1));
        report()->mycom->setEditText(QStringLiteral("ანა"));
        m_main->PageControl2->setCurrentIndex(2);
        m_main->PageControl2->setCurrentIndex(0);
        QCOMPARE(summary(), before);
        QCOMPARE(report()->DBGrid2->model()->rowCount(), 4);
    }

    void dishCompletionAddsANameOnce()
    {
        QComboBox* dish = report()->ComboBox6;
        dish->setFocus();
        // Typed letter by letter, as at the keyboard (Georgian letters have no key codes).
        for (QChar c : QStringLiteral("მწვ"))
            QTest::sendKeyEvent(QTest::Click, dish->lineEdit(), Qt::Key_unknown, QString(c), Qt::NoModifier);
        QCOMPARE(dish->currentText().left(3), QStringLiteral("მწვ"));
        QCOMPARE(dish->count(), 1);
        QCOMPARE(dish->itemText(0), QStringLiteral("მწვადი"));
        // A name that matches nothing adds nothing.
        dish->setEditText(QStringLiteral("ხაჭაპური"));
        QCOMPARE(dish->count(), 1);
    }
};

QTEST_MAIN(tst_salesreport)
#include "tst_salesreport.moc"
