#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "billing/billprintout.h"
#include "data/billtotal.h"
#include "data/clock.h"
#include "data/datamodule.h"
#include "data/formats.h"
#include "office/spreadsheet.h"
#include "orders/konsignaciapas.h"
#include "orders/shekveta.h"
#include "reports/salesreport.h"
#include "tests/office/officetesting.h"
#include "tests/support/fiscalsim.h"
#include "tests/support/orderwindow.h"
#include "tests/support/screens.h"
#include "tests/support/testdb.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using Screens::whenModal;

// One bill, one total: the amount a table pays followed from the order window
// through the bill and the fiscal driver to the client's credit row and the sales
// report, on both engines, with the real office and the driver simulator.
class tst_billtrail : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    QSqlDatabase m_station;
    QTemporaryDir m_fiscal;

    Tshekvetebi* order() const { return forms().shekvetebi; }
    QString fiscalFile(const char* name) const { return m_fiscal.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Formats::setDecimalSeparator(u'.');
        Clock::setFixed(QDateTime(QDate(2026, 5, 2), QTime(21, 15)));
        for (const char* name : {"command.txt", "answer.txt", "journal.txt"})
            QFile::remove(fiscalFile(name));
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station_trail"));
        TestDb::exec(m_station, QStringLiteral("update Parametres set momsaxureoba = 12.5, COMMAND = '%1', ANSWER = '%2'")
                                    .arg(fiscalFile("command.txt"), fiscalFile("answer.txt")));
        TestDb::exec(m_station, QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values ('ნინო', 'აქტიური')"));
    }

    void cleanup()
    {
        m_station = QSqlDatabase();
        m_db.reset();
        Messages::stopIntercepting();
        Formats::setDecimalSeparator(QChar());
        Clock::setFixed(QDateTime());
    }

    // The rule alone: rounded once, halves away from zero, after the service.
    void payable_data()
    {
        QTest::addColumn<double>("sum");
        QTest::addColumn<double>("percent");
        QTest::addColumn<bool>("withService");
        QTest::addColumn<QString>("payable");
        QTest::addColumn<QString>("service");  // as the bill shows it
        QTest::addColumn<QString>("prepaid");
        QTest::addColumn<QString>("due");
        QTest::newRow("161 at 12.5 %: 181.125") << 161.0 << 12.5 << true << "181.13"
                                                << "20.13"
                                                << "50.5"
                                                << "130.63";
        QTest::newRow("161 without service") << 161.0 << 12.5 << false << "161.00"
                                             << "0.00"
                                             << "50.5"
                                             << "110.50";
        QTest::newRow("a half cent") << 0.005 << 0.0 << false << "0.01"
                                     << "0.00"
                                     << "0"
                                     << "0.01";
        QTest::newRow("45.375") << 45.375 << 10.0 << false << "45.38"
                                << "0.00"
                                << "20.5"
                                << "24.88";
        // The sum shown is 45.38: the service shown is what makes up the total.
        QTest::newRow("45.375 at 10 %: 49.9125") << 45.375 << 10.0 << true << "49.91"
                                                 << "4.53"
                                                 << "0"
                                                 << "49.91";
        QTest::newRow("0.125 rounds up") << 0.125 << 0.0 << false << "0.13"
                                         << "0.00"
                                         << "0"
                                         << "0.13";
        QTest::newRow("-0.125 away from zero") << -0.125 << 0.0 << false << "-0.13"
                                               << "0.00"
                                               << "0"
                                               << "0.00";
        QTest::newRow("prepaid more than the bill") << 10.0 << 0.0 << false << "10.00"
                                                    << "0.00"
                                                    << "20.5"
                                                    << "0.00";
        QTest::newRow("nothing ordered") << 0.0 << 12.5 << true << "0.00"
                                         << "0.00"
                                         << "0"
                                         << "0.00";
    }
    void payable()
    {
        QFETCH(double, sum);
        QFETCH(double, percent);
        QFETCH(bool, withService);
        QFETCH(QString, payable);
        QFETCH(QString, service);
        QFETCH(QString, prepaid);
        QFETCH(QString, due);
        const Money total = BillTotal::payable(sum, percent, withService);
        QCOMPARE(Formats::fixedTwo(total), payable);
        QCOMPARE(Tshekvetebi::totalAmount(sum, percent, withService), total);
        QCOMPARE(Formats::fixedTwo(BillTotal::serviceShown(sum, total)), service);
        QCOMPARE(Formats::fixedTwo(BillTotal::due(total, *Money::parse(prepaid))), due);
    }

    // Table 1 settled on client credit through the real windows: the total line,
    // the credit dialog, the fiscal command, the credit row and the sales
    // report's figures for the order.
    void oneAmountEverywhere_data()
    {
        QTest::addColumn<QStringList>("lines");   // "quantity*price", in the order's order
        QTest::addColumn<bool>("service");        // the order window's service box
        QTest::addColumn<bool>("creditService");  // the credit dialog's service box
        QTest::addColumn<QString>("prepaid");
        QTest::addColumn<int>("deleted");  // the line (counted from 1) deleted in the window first, or 0
        QTest::addColumn<QString>("total");
        QTest::addColumn<QStringList>("registered");  // the fiscal commands' amounts
        QTest::addColumn<QString>("credit");
        QTest::addColumn<QString>("cash");

        QTest::newRow("181.125 with service")
            << QStringList{"1*136", "1*25"} << true << true << "0" << 0 << "181.13" << QStringList{"181.13"}
            << "181.13"
            << "0.00";
        QTest::newRow("181.125 with service, 50.50 prepaid")
            << QStringList{"1*136", "1*25"} << true << true << "50.5" << 0 << "181.13" << QStringList{"181.13"}
            << "130.63"
            << "50.50";
        QTest::newRow("the credit without service, 50.50 prepaid")
            << QStringList{"1*136", "1*25"} << true << false << "50.5" << 0 << "181.13" << QStringList{"181.13"}
            << "110.50"
            << "70.63";
        QTest::newRow("a half cent, no service")
            << QStringList{"0.001*5"} << false << false << "0" << 0 << "0.01" << QStringList{"0.01"} << "0.01"
            << "0.00";
        QTest::newRow("45.375 without service, 20.50 prepaid")
            << QStringList{"1.5*30.25"} << false << false << "20.5" << 0 << "45.38" << QStringList{"45.38"}
            << "24.88"
            << "20.50";
        // The deletion registers the prepayment first; the bill then registers
        // only the rest of its total.
        QTest::newRow("a line deleted, 50.50 prepaid")
            << QStringList{"1*136", "2*7", "1*25"} << true << true << "50.5" << 2 << "181.13"
            << QStringList{"50.50", "130.63"} << "130.63"
            << "50.50";
    }
    void oneAmountEverywhere()
    {
        QFETCH(QStringList, lines);
        QFETCH(bool, service);
        QFETCH(bool, creditService);
        QFETCH(QString, prepaid);
        QFETCH(int, deleted);
        QFETCH(QString, total);
        QFETCH(QStringList, registered);
        QFETCH(QString, credit);
        QFETCH(QString, cash);

        TestDb::exec(m_station, QStringLiteral("insert into busytable (TableNum, Busy, USERNUM, OFICIANT, GadaxdiliTanxa) "
                                               "values (1, 1, 50, 'ნინო', '%1')")
                                    .arg(prepaid));
        for (int i = 0; i < lines.size(); ++i) {
            const QStringList qp = lines[i].split(u'*');
            TestDb::exec(m_station, QStringLiteral("insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, GFASI, AFASI, Raodenoba, "
                                                   "OFFICIANT, TableNum, USERNUM, STATUSI, povari, Tarigi) values "
                                                   "(%1, 'კერძი %1', %2, 1, %3, 'ნინო', 1, 50, 0, 0, '2026-05-02')")
                                        .arg(QString::number(i + 1), qp[1], qp[0]));
        }
        const auto driver = std::make_unique<FiscalSim>(fiscalFile("command.txt"), fiscalFile("answer.txt"),
                                                        fiscalFile("journal.txt"));
        QVERIFY(driver->isWatching());
        // The bill is closed unsaved; the recording office shows it instead, to read back.
        OfficeTesting::TestOffice office;
        OfficeTesting::RecordingOffice recording(office.office());
        setSpreadsheetApplication(&recording);
        setTemplateFolder(QFileInfo(OfficeTesting::shippedTemplate(BillPrintout::TemplateName)).absolutePath());
        const auto restore = qScopeGuard([] {
            setSpreadsheetApplication(nullptr);
            setTemplateFolder(QString());
        });

        std::unique_ptr<TKelvora> main = OrderWindow::showMainWindow();
        QString shownTotal, dialogTotal, dialogPrepaid, dialogDue;
        OrderWindow::openTable(main.get(), 1, [&] {
            if (order()->CheckBox2->isChecked() != service)
                QTest::mouseClick(order()->CheckBox2, Qt::LeftButton, {}, QPoint(6, order()->CheckBox2->height() / 2));
            QCOMPARE(order()->CheckBox2->isChecked(), service);
            if (deleted > 0) {
                const int row = Screens::rowOf(order()->DBGrid2, 0, QStringLiteral("კერძი %1").arg(deleted));
                QVERIFY(row >= 0);
                Screens::clickCell(order()->DBGrid2, row, 3);
                QCOMPARE(order()->DBGrid2->model()->rowCount(), int(lines.size()) - 1);
            }
            shownTotal = order()->Label3->text();
            order()->CheckBox1->setChecked(true);
            whenModal([&] {
                Tkonsignacia* d = forms().konsignacia;
                dialogTotal = d->Label7->text();
                dialogPrepaid = d->Label8->text();
                d->CheckBox1->setChecked(creditService);
                dialogDue = d->Label9->text();
                d->Edit1->setText(QStringLiteral("გიორგი"));
                QTest::mouseClick(d->Button1, Qt::LeftButton);
            });
            QTest::mouseClick(order()->Button1, Qt::LeftButton);
            QVERIFY(!order()->isVisible());
        });
        QVERIFY2(Messages::shown().filter(QStringLiteral("ფისკალურ")).isEmpty(), qPrintable(Messages::shown().join(u'\n')));

        QCOMPARE(shownTotal, QStringLiteral("სულ: ") + total);
        if (service)
            QCOMPARE(dialogTotal, total);
        QCOMPARE(dialogPrepaid, Formats::fixedTwo(*Money::parse(prepaid)));
        QCOMPARE(dialogDue, credit);
        QCOMPARE(driver->amounts(), registered);
        // The bill's total is the same amount, with what is due under it after a prepayment.
        const OfficeTesting::Sheet bill(office.shown().constLast());
        const int R = int(lines.size()) - (deleted > 0 ? 1 : 0) + 8;
        QCOMPARE(bill.text(QStringLiteral("E%1").arg(R + 2)), total);
        if (*Money::parse(prepaid) > Money())
            QCOMPARE(bill.text(QStringLiteral("E%1").arg(R + 4)),
                     Formats::fixedTwo(BillTotal::due(*Money::parse(total), *Money::parse(prepaid))));

        QSqlQuery row(m_station);
        QVERIFY(row.exec(QStringLiteral("select nisia from nisiebi where USERNUM = '50'")));
        QVERIFY(row.next());
        QCOMPARE(Money::fromDoubleHalfEven(row.value(0).toDouble()), *Money::parse(credit));

        // The sales report of the order: its takings are the bill total, the
        // credit what was due and the cash the prepayment.
        main->PageControl1->setCurrentIndex(2);
        SalesReport* sales = main->sales;
        sales->LabeledEdit1->setText(QStringLiteral("50"));
        sales->DateTimePicker1->setDate(QDate(2026, 5, 2));
        sales->DateTimePicker2->setDate(QDate(2026, 5, 2));
        QTest::mouseClick(sales->Button7, Qt::LeftButton);
        const auto label = [sales](const char* name) { return sales->findChild<QLabel*>(QLatin1String(name))->text(); };
        QCOMPARE(label("SULGFASI"), total);
        QCOMPARE(label("creditLabel"), QStringLiteral("კონსიგნაცია:") + credit);
        QCOMPARE(label("cashLabel"), QStringLiteral("cash:") + cash);
    }
};

QTEST_MAIN(tst_billtrail)
#include "tst_billtrail.moc"
