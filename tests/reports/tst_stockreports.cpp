#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "data/clock.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "reports/period.h"
#include "reports/deletionsreport.h"
#include "reports/receivingreport.h"
#include "reports/warehousereport.h"
#include "tests/reports/reportfixture.h"
#include "tests/support/orderwindow.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QSqlQuery>
#include <QTest>
#include <QToolButton>

// The receiving, warehouse and deletions reports on a small fixed fixture,
// through their real controls, the same on both engines.
class tst_stockreports : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;

    ReceivingReport* receivingTab() const { return m_main->receivingReport; }
    WarehouseReport* warehouseTab() const { return m_main->warehouseReport; }
    DeletionsReport* deletionsTab() const { return m_main->deletionsReport; }
    void showReport(int index)
    {
        m_main->PageControl1->setCurrentIndex(2);
        m_main->PageControl2->setCurrentIndex(index);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
    }
    QString receivingTotals() const
    {
        return receivingTab()->findChild<QLabel*>(QStringLiteral("sulasagebi"))->text() + u' '
               + receivingTab()->findChild<QLabel*>(QStringLiteral("sulgasayidi"))->text();
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
    }

    void cleanup()
    {
        m_main.reset();
        m_db.reset();
        TestSupport::resetGlobals();
    }

    void receivingPreparationDoesNotSearch()
    {
        showReport(1);
        QVERIFY(!forms().DM->migeba_new->isOpen());
        QCOMPARE(receivingTab()->DBGrid6->model()->rowCount(), 0);
        QCOMPARE(receivingTab()->ComboBox5->count(), 2);
        QCOMPARE(receivingTab()->ComboBox5->currentText(), QString());
        QCOMPARE(receivingTab()->DateTimePicker4->date(), QDate(2026, 5, 2));
        QCOMPARE(receivingTab()->DateTimePicker5->date(), QDate(2026, 5, 2));
        QVERIFY(!receivingTab()->SpeedButton7->icon().isNull());
        QVERIFY(receivingTab()->Button11->isHidden());
    }

    void receiving_data()
    {
        QTest::addColumn<QString>("sn");
        QTest::addColumn<QString>("supplier");
        QTest::addColumn<QString>("document");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("totals");
        const QDate may1(2026, 5, 1), may2(2026, 5, 2);
        const QString a2 = "მწვადი | 4 | 12.50 | 30.00 | 50.00 ₾ | 120.00 ₾ | აგრო | A-2 | 02.05.2026";
        const QString b7 = "ღვინო | 12 | 9.00 | 25.00 | 108.00 ₾ | 300.00 ₾ | ვაზი | B-7 | 01.05.2026";
        const QString a1 = "მწვადი | 10 | 12.00 | 30.00 | 120.00 ₾ | 300.00 ₾ | აგრო | A-1 | 01.05.2026";
        QTest::newRow("blank: every line of the period, newest first")
            << ""
            << ""
            << "" << may1 << may2 << a2 + u'\n' + b7 + u'\n' + a1 << "278.00 720.00";
        QTest::newRow("supplier typed with blanks is trimmed")
            << ""
            << " აგრო "
            << "" << may1 << may2 << a2 + u'\n' + a1 << "170.00 420.00";
        QTest::newRow("supplier's number") << "305"
                                           << ""
                                           << "" << may1 << may2 << b7 << "108.00 300.00";
        QTest::newRow("document: exact") << ""
                                         << ""
                                         << "A-1" << may1 << may2 << a1 << "120.00 300.00";
        QTest::newRow("document: a part matches nothing") << ""
                                                          << ""
                                                          << "A" << may1 << may2 << ""
                                                          << " ";
        QTest::newRow("document: no pattern") << ""
                                              << ""
                                              << "A_1" << may1 << may2 << ""
                                              << " ";
        QTest::newRow("end day included")
            << ""
            << ""
            << "" << QDate(2026, 5, 3) << QDate(2026, 5, 3)
            << "ღვინო | 6 | 9.00 | 25.00 | 54.00 ₾ | 150.00 ₾ | ვაზი | B-8 | 03.05.2026"
            << "54.00 150.00";
        QTest::newRow("start day included")
            << ""
            << ""
            << "" << QDate(2026, 4, 30) << QDate(2026, 4, 30)
            << "მწვადი | 5 | 11.00 | 30.00 | 55.00 ₾ | 150.00 ₾ | აგრო | A-0 | 30.04.2026"
            << "55.00 150.00";
        QTest::newRow("empty period") << ""
                                      << ""
                                      << "" << QDate(2026, 6, 1) << QDate(2026, 6, 1) << ""
                                      << " ";
    }

    void receiving()
    {
        QFETCH(QString, sn);
        QFETCH(QString, supplier);
        QFETCH(QString, document);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, grid);
        QFETCH(QString, totals);
        showReport(1);
        receivingTab()->LabeledEdit2->setText(sn);
        receivingTab()->ComboBox5->setEditText(supplier);
        receivingTab()->Edit11->setText(document);
        receivingTab()->DateTimePicker4->setDate(from);
        receivingTab()->DateTimePicker5->setDate(to);
        QTest::mouseClick(receivingTab()->Button10, Qt::LeftButton);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
        QCOMPARE(ReportFixture::gridText(receivingTab()->DBGrid6, false), grid);
        QCOMPARE(receivingTotals(), totals);
    }

    void warehouseListsEverythingWhenPrepared()
    {
        showReport(2);
        QCOMPARE(warehouseTab()->LabeledEdit3->text(), QString());
        QCOMPARE(warehouseTab()->ComboBox1->currentText(), QString());
        QCOMPARE(warehouseTab()->ComboBox7->currentText(), QString());
        QCOMPARE(warehouseTab()->ComboBox1->count(), 2);
        QCOMPARE(warehouseTab()->ComboBox7->count(), 3);  // the empty entry and two types
        QCOMPARE(warehouseTab()->ComboBox7->itemText(0), QString());
        QCOMPARE(warehouseTab()->DBGrid7->model()->rowCount(), 3);
        // Filters left from an earlier visit are emptied before the list is read.
        warehouseTab()->ComboBox7->setEditText(QStringLiteral("სასმელი"));
        warehouseTab()->LabeledEdit3->setText(QStringLiteral("ღ"));
        QCOMPARE(warehouseTab()->DBGrid7->model()->rowCount(), 1);
        showReport(0);
        showReport(2);
        QCOMPARE(warehouseTab()->ComboBox7->currentText(), QString());
        QCOMPARE(warehouseTab()->LabeledEdit3->text(), QString());
        QCOMPARE(warehouseTab()->DBGrid7->model()->rowCount(), 3);
    }

    void warehouse_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("supplier");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("grid");
        const QString mtsvadi = "მწვადი | 12.00 | 30.00 | მწვადები | 20 | აგრო | 600.00 ₾ | 240.00 ₾";
        const QString goris = "მწვადი ღორის | 14.00 | 32.00 | მწვადები | 10 | აგრო | 320.00 ₾ | 140.00 ₾";
        const QString ghvino = "ღვინო | 9.00 | 25.00 | სასმელი | 40 | ვაზი | 1,000.00 ₾ | 360.00 ₾";
        QTest::newRow("blank") << ""
                               << ""
                               << "" << mtsvadi + u'\n' + goris + u'\n' + ghvino;
        QTest::newRow("name: the names beginning with it") << "მწ"
                                                           << ""
                                                           << "" << mtsvadi + u'\n' + goris;
        QTest::newRow("supplier: exact") << ""
                                         << "ვაზი"
                                         << "" << ghvino;
        QTest::newRow("supplier: a part matches nothing") << ""
                                                          << "ვა"
                                                          << ""
                                                          << "";
        QTest::newRow("type") << ""
                              << ""
                              << "მწვადები" << mtsvadi + u'\n' + goris;
        QTest::newRow("name and type") << "მწვადი ღ"
                                       << ""
                                       << "მწვადები" << goris;
    }

    void warehouse()
    {
        QFETCH(QString, name);
        QFETCH(QString, supplier);
        QFETCH(QString, type);
        QFETCH(QString, grid);
        showReport(2);
        // Each box narrows the list as it changes; the search button is not needed.
        warehouseTab()->ComboBox1->setEditText(supplier);
        warehouseTab()->ComboBox7->setEditText(type);
        warehouseTab()->LabeledEdit3->setText(name);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
        QCOMPARE(ReportFixture::gridText(warehouseTab()->DBGrid7, true), ReportFixture::sortedLines(grid));
        QTest::mouseClick(warehouseTab()->Button12, Qt::LeftButton);
        QCOMPARE(ReportFixture::gridText(warehouseTab()->DBGrid7, true), ReportFixture::sortedLines(grid));
    }

    void warehousePostsAPendingEdit_data()
    {
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("Enter in the grid") << true;
        QTest::newRow("leaving the grid") << false;
    }

    // An item row being edited elsewhere (the receiving tab shares the query) is
    // written when the warehouse grid loses the focus or takes an Enter.
    void warehousePostsAPendingEdit()
    {
        QFETCH(bool, byEnter);
        showReport(2);
        NamedQuery* items = forms().DM->kerdzebi2;
        items->first();
        const QString name = items->asString(QStringLiteral("Dasaxeleba"));
        items->edit();
        items->setField(QStringLiteral("raodenoba"), 77.0);
        warehouseTab()->DBGrid7->setFocus();
        if (byEnter)
            QTest::keyClick(warehouseTab()->DBGrid7, Qt::Key_Return);
        else
            warehouseTab()->DBGrid7Exit();
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
        QCOMPARE(items->state(), NamedQuery::State::Browse);
        QSqlDatabase station = m_db->openStation(QStringLiteral("station_check"));
        QSqlQuery q(station);
        q.prepare(QStringLiteral("select raodenoba from kerdzebi where Dasaxeleba = ?"));
        q.addBindValue(name);
        QVERIFY(q.exec() && q.next());
        QCOMPARE(q.value(0).toDouble(), 77.0);
    }

    void deletionsPreparation()
    {
        showReport(4);
        QCOMPARE(deletionsTab()->ComboBox9->count(), 12);
        QCOMPARE(deletionsTab()->ComboBox9->itemText(0), QStringLiteral("1"));
        QCOMPARE(deletionsTab()->ComboBox9->itemText(11), QStringLiteral("12"));
        QCOMPARE(deletionsTab()->ComboBox9->currentText(), QString());
        QCOMPARE(deletionsTab()->DateTimePicker6->date(), QDate(2026, 5, 1));
        QCOMPARE(deletionsTab()->DateTimePicker7->date(), QDate(2026, 5, 3));
        QVERIFY(!forms().DM->dELS->isOpen());
        // Shown again, the tab resets its filters but keeps the last result.
        QTest::mouseClick(deletionsTab()->Button16, Qt::LeftButton);
        QCOMPARE(deletionsTab()->DBGrid9->model()->rowCount(), 4);
        deletionsTab()->LabeledEdit6->setText(QStringLiteral("42"));
        showReport(0);
        showReport(4);
        QCOMPARE(deletionsTab()->LabeledEdit6->text(), QString());
        QCOMPARE(deletionsTab()->DBGrid9->model()->rowCount(), 4);
    }

    void deletions_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("grid");
        const QDate may1(2026, 5, 1), may2(2026, 5, 2), may3(2026, 5, 3);
        const QString d41 = "მწვადი | 1 | წაშლა | 4 | 41 | 30.04.2026 23:59";
        const QString d42a = "მწვადი | 1 | წაშლა | 4 | 42 | 01.05.2026 12:30";
        const QString d42b = "ღვინო | 2 | შეცვლა 3 -> 1 | 4 | 42 | 02.05.2026 21:15";
        const QString d43 = "ღვინო | 1 | წაშლა | 7 | 43 | 02.05.2026 09:00";
        const QString d45 = "მწვადი | 1 | წაშლა | 9 | 45 | 03.05.2026 00:00";
        QTest::newRow("defaults: yesterday to tomorrow, in full") << ""
                                                                  << "" << QDate() << QDate()
                                                                  << d42a + u'\n' + d45 + u'\n' + d42b + u'\n' + d43;
        QTest::newRow("the end day's evening is listed") << ""
                                                         << "" << may1 << may2
                                                         << d42a + u'\n' + d42b + u'\n' + d43;
        QTest::newRow("order: every entry of it") << "42"
                                                  << "" << may1 << may3 << d42a + u'\n' + d42b;
        QTest::newRow("order with a blank is not trimmed") << " 42"
                                                           << "" << may1 << may3 << "";
        QTest::newRow("table") << ""
                               << "7" << may1 << may3 << d43;
        QTest::newRow("one day to its last minute") << ""
                                                    << "" << QDate(2026, 4, 30) << QDate(2026, 4, 30) << d41;
        QTest::newRow("a midnight on the start day") << ""
                                                     << "" << may3 << may3 << d45;
        QTest::newRow("empty period") << ""
                                      << "" << QDate(2026, 6, 1) << QDate(2026, 6, 1) << "";
    }

    void deletions()
    {
        QFETCH(QString, order);
        QFETCH(QString, table);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, grid);
        showReport(4);
        deletionsTab()->LabeledEdit6->setText(order);
        deletionsTab()->ComboBox9->setEditText(table);
        if (from.isValid()) {
            deletionsTab()->DateTimePicker6->setDate(from);
            deletionsTab()->DateTimePicker7->setDate(to);
        }
        QTest::mouseClick(deletionsTab()->Button16, Qt::LeftButton);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
        QCOMPARE(ReportFixture::gridText(deletionsTab()->DBGrid9, true), ReportFixture::sortedLines(grid));
    }

    // A period that ends before it starts lists nothing, and says why.
    void aReversedPeriodIsTold_data()
    {
        QTest::addColumn<bool>("receiving");
        QTest::newRow("receiving") << true;
        QTest::newRow("deletions") << false;
    }
    void aReversedPeriodIsTold()
    {
        QFETCH(bool, receiving);
        const QDate may1(2026, 5, 1), may3(2026, 5, 3);
        DBGrid* grid = nullptr;
        if (receiving) {
            showReport(1);
            receivingTab()->DateTimePicker4->setDate(may3);
            receivingTab()->DateTimePicker5->setDate(may1);
            QTest::mouseClick(receivingTab()->Button10, Qt::LeftButton);
            grid = receivingTab()->DBGrid6;
        } else {
            showReport(4);
            deletionsTab()->DateTimePicker6->setDate(may3);
            deletionsTab()->DateTimePicker7->setDate(may1);
            QTest::mouseClick(deletionsTab()->Button16, Qt::LeftButton);
            grid = deletionsTab()->DBGrid9;
        }
        QCOMPARE(grid->model()->rowCount(), 0);
        QCOMPARE(Messages::shown(), QStringList{Period::EndsBeforeItStarts});
        // The same period the right way round lists its lines, without a word.
        Messages::clearShown();
        if (receiving) {
            receivingTab()->DateTimePicker4->setDate(may1);
            receivingTab()->DateTimePicker5->setDate(may3);
            QTest::mouseClick(receivingTab()->Button10, Qt::LeftButton);
        } else {
            deletionsTab()->DateTimePicker6->setDate(may1);
            deletionsTab()->DateTimePicker7->setDate(may3);
            QTest::mouseClick(deletionsTab()->Button16, Qt::LeftButton);
        }
        QVERIFY(grid->model()->rowCount() > 0);
        QVERIFY(Messages::shown().isEmpty());
    }
};

QTEST_MAIN(tst_stockreports)
#include "tst_stockreports.moc"
