#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/inputerror.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "data/clock.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "stock/receiving.h"
#include "stock/receivingtab.h"
#include "reports/warehousereport.h"
#include "tests/support/screens.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace {

const QDateTime Now(QDate(2026, 5, 2), QTime(10, 30));
const QString Alpha = QStringLiteral("შპს ალფა");
const QString Cheese = QStringLiteral("ყველი");
const QString Butter = QStringLiteral("კარაქი");
const QString Lemonade = QStringLiteral("ლიმონათი");

// Three stock items, as the menu catalogue leaves them; one line of another
// supplier received earlier the same day.
void fillStock(QSqlDatabase db)
{
    TestDb::exec(db, QStringLiteral(
                         "insert into kerdzebi (ID, Dasaxeleba, tipi, asagebi, gasayidi, raodenoba, momwodebeli) values "
                         "(1, 'ყველი', 'რძის', 6, 10, 5, 'მომწოდებლის გარეშე'), "
                         "(2, 'კარაქი', 'რძის', 4, 7, 0, 'მომწოდებლის გარეშე'), "
                         "(3, 'ლიმონათი', 'სასმელები', 1, 3, 12, 'შპს ბეტა')"));
    TestDb::exec(db, QStringLiteral(
                         "insert into migeba (ID_DAS, Dasaxeleba, tipi, asagebi, gasayidi, raodenoba, momwSN, momwFN, "
                         "sab_n, tarigi) values (3, 'ლიმონათი', 'სასმელები', 1, 3, 12, '999', 'შპს ბეტა', 'B-1', "
                         "'2026-05-02')"));
}

using Screens::column;

}  // namespace

// The receiving tab through its widgets: deliveries recorded line by line into
// stock, the consignment debt they leave, and lines deleted again.
class tst_receiving : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;
    QSqlDatabase m_station;
    ReceivingTab* tab() const { return m_main->receiving; }

    QVariant scalar(const QString& sql) const { return TestDb::scalar(m_station, sql); }
    double stock(int id) const
    {
        return scalar(QStringLiteral("select raodenoba from kerdzebi where ID = %1").arg(id)).toDouble();
    }
    int count(const QString& table) const
    {
        return scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt();
    }

    void header(const QString& number, const QString& supplier, const QString& document)
    {
        tab()->Edit7->setText(number);
        tab()->ComboBox3->setEditText(supplier);
        tab()->Edit8->setText(document);
    }
    void pick(const QString& name)
    {
        const int row = Screens::rowOf(tab()->DBGrid4, 0, name);
        QVERIFY2(row >= 0, qPrintable(name));
        Screens::clickCell(tab()->DBGrid4, row, 0);
        QCOMPARE(tab()->itemName(), name);
    }
    // Types the three numbers as a clerk would (keys through the key filter) and records.
    void record(const QString& quantity, const QString& purchase, const QString& sale)
    {
        QVERIFY(tab()->GroupBox6->isEnabled());
        for (auto [box, text] : {std::pair{tab()->Edit4, quantity}, {tab()->Edit5, purchase}, {tab()->Edit6, sale}}) {
            box->clear();
            QTest::keyClicks(box, text);
        }
        QTest::mouseClick(tab()->SpeedButton4, Qt::LeftButton);
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Clock::setFixed(Now);
        Formats::setDecimalSeparator(u',');
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station_other"));
        fillStock(m_station);
        m_main.reset(TKelvora::createWindows());
        m_main->resize(1366, 768);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        m_main->Timer1->stop();
        m_main->PageControl1->setCurrentIndex(1);
        Messages::clearShown();
    }

    void cleanup()
    {
        TestSupport::closeStation(m_main, m_station, m_db);
    }

    void controlsCarryTheirNames_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* n : {"Edit7", "ComboBox3", "Edit8", "CheckBox2", "DateTimePicker3", "TabControl1", "Edit3",
                              "CheckBox1", "DBGrid4", "GroupBox6", "Edit4", "Edit5", "Edit6", "SpeedButton4",
                              "DBGrid5", "Button8"})
            QTest::newRow(n) << QString::fromLatin1(n);
    }
    void controlsCarryTheirNames()
    {
        QFETCH(QString, name);
        const QHash<QString, QObject*> members = {
            {"Edit7", tab()->Edit7}, {"ComboBox3", tab()->ComboBox3}, {"Edit8", tab()->Edit8}, {"CheckBox2", tab()->CheckBox2}, {"DateTimePicker3", tab()->DateTimePicker3}, {"TabControl1", tab()->TabControl1}, {"Edit3", tab()->Edit3}, {"CheckBox1", tab()->CheckBox1}, {"DBGrid4", tab()->DBGrid4}, {"GroupBox6", tab()->GroupBox6}, {"Edit4", tab()->Edit4}, {"Edit5", tab()->Edit5}, {"Edit6", tab()->Edit6}, {"SpeedButton4", tab()->SpeedButton4}, {"DBGrid5", tab()->DBGrid5}, {"Button8", tab()->Button8}};
        QVERIFY(members.contains(name));
        QCOMPARE(members.value(name)->objectName(), name);
        QCOMPARE(tab()->findChild<QObject*>(name), members.value(name));
    }

    void theResetListsTodaysLinesTypesAndSuppliers()
    {
        QVERIFY(!tab()->GroupBox6->isEnabled());
        QVERIFY(!tab()->CheckBox2->isEnabled());
        QCOMPARE(tab()->DateTimePicker3->date(), Now.date());
        QCOMPARE(tab()->TabControl1->tabText(0), QStringLiteral("ყველა"));
        QCOMPARE(tab()->TabControl1->count(), 3);
        QCOMPARE(tab()->DBGrid4->model()->rowCount(), 3);
        QCOMPARE(column(tab()->DBGrid5, 0), QStringList{Lemonade});
        QCOMPARE(tab()->purchaseTotal(), QStringLiteral("12,00"));
        QStringList suppliers;
        for (int i = 0; i < tab()->ComboBox3->count(); ++i)
            suppliers << tab()->ComboBox3->itemText(i);
        suppliers.sort();
        QCOMPARE(suppliers, (QStringList{QStringLiteral("მომწოდებლის გარეშე"), QStringLiteral("შპს ბეტა")}));
        QCOMPARE(tab()->DBGrid5->model()->columnCount(), 8);
        QCOMPARE(tab()->DBGrid5->columnWidth(7), 30);
    }

    void aDeliveryOfThreeLines()
    {
        header(QStringLiteral("205"), Alpha, QStringLiteral("D-17"));
        QVERIFY(tab()->CheckBox2->isEnabled());
        QCOMPARE(tab()->CheckBox1->text(), Alpha);
        QCOMPARE(tab()->DBGrid5->model()->rowCount(), 0);  // the document has no line yet

        pick(Cheese);
        QCOMPARE(tab()->Edit5->text(), QStringLiteral("6"));  // the item's prices offered
        QCOMPARE(tab()->Edit6->text(), QStringLiteral("10"));
        record(QStringLiteral("2.5"), QStringLiteral("6,5"), QStringLiteral("11"));
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(tab()->Edit4->text(), QString());
        QCOMPARE(tab()->Edit5->text(), QString());
        QVERIFY(tab()->GroupBox6->isEnabled());
        QCOMPARE(tab()->itemName(), Cheese);  // the same item stays picked

        pick(Butter);
        record(QStringLiteral("4"), QStringLiteral("4,25"), QStringLiteral("7"));
        pick(Cheese);
        // The prices just recorded are offered, in the system's number format.
        QCOMPARE(tab()->Edit5->text(), QStringLiteral("6,5"));
        record(QStringLiteral("1"), QStringLiteral("6"), QStringLiteral("10"));

        QCOMPARE(stock(1), 8.5);  // 5 + 2.5 + 1
        QCOMPARE(stock(2), 4.0);
        QCOMPARE(scalar(QStringLiteral("select asagebi from kerdzebi where ID = 1")).toDouble(), 6.0);
        QCOMPARE(scalar(QStringLiteral("select gasayidi from kerdzebi where ID = 2")).toDouble(), 7.0);
        QCOMPARE(scalar(QStringLiteral("select momwodebeli from kerdzebi where ID = 2")).toString(), Alpha);
        QCOMPARE(scalar(QStringLiteral("select count(*) from migeba where momwSN = '205' and momwFN = 'შპს ალფა' "
                                       "and sab_n = 'D-17'"))
                     .toInt(),
                 3);
        // Newest first, with the line totals.
        QCOMPARE(column(tab()->DBGrid5, 0), (QStringList{Cheese, Butter, Cheese}));
        QCOMPARE(column(tab()->DBGrid5, 6), (QStringList(3, QStringLiteral("02.05.2026"))));
        // 2.5 × 6.5 + 4 × 4.25 + 1 × 6 = 39.25; 2.5 × 11 + 4 × 7 + 10 = 65.5
        QCOMPARE(tab()->purchaseTotal(), QStringLiteral("39,25"));
        QCOMPARE(tab()->saleTotal(), QStringLiteral("65,50"));
        QCOMPARE(count(QStringLiteral("nisiebi")), 0);  // not on consignment
        // The item grid shows the new stock at once.
        QCOMPARE(column(tab()->DBGrid4, 2).at(Screens::rowOf(tab()->DBGrid4, 0, Cheese)), QStringLiteral("8,5"));

        // The supplier joins the supplier box at the next visit.
        tab()->Button8Click();
        QVERIFY(tab()->ComboBox3->findText(Alpha) >= 0);
        QCOMPARE(tab()->ComboBox3->currentText(), QString());
    }

    // The road of a delivery through the screens: received on the receiving
    // tab, then found in the warehouse report with its new stock, its prices
    // and its supplier, who joins the report's supplier list.
    void aDeliveryShowsInTheWarehouseReport()
    {
        header(QStringLiteral("205"), Alpha, QStringLiteral("D-18"));
        pick(Butter);
        record(QStringLiteral("4"), QStringLiteral("4,25"), QStringLiteral("7,5"));
        pick(Cheese);
        record(QStringLiteral("1,5"), QStringLiteral("6"), QStringLiteral("10"));
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));

        m_main->PageControl1->setCurrentWidget(m_main->tabsheet2);
        m_main->PageControl2->setCurrentWidget(m_main->TabSheet7);
        WarehouseReport* report = m_main->warehouseReport;
        QVERIFY(report->isVisible());
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QVERIFY(report->ComboBox1->findText(Alpha) >= 0);
        QStringList names = column(report->DBGrid7, 0);
        names.sort();
        QCOMPARE(names, (QStringList{Butter, Lemonade, Cheese}));

        report->ComboBox1->setEditText(Alpha);  // the supplier the delivery named
        const int butter = Screens::rowOf(report->DBGrid7, 0, Butter);
        const int cheese = Screens::rowOf(report->DBGrid7, 0, Cheese);
        QCOMPARE(report->DBGrid7->model()->rowCount(), 2);
        QVERIFY(butter >= 0 && cheese >= 0);
        // Columns: name, purchase and sale price, type, stock, supplier.
        QCOMPARE(column(report->DBGrid7, 1).at(butter), QStringLiteral("4,25"));
        QCOMPARE(column(report->DBGrid7, 2).at(butter), QStringLiteral("7,50"));
        QCOMPARE(column(report->DBGrid7, 4).at(butter), QStringLiteral("4"));    // 0 + 4
        QCOMPARE(column(report->DBGrid7, 4).at(cheese), QStringLiteral("6,5"));  // 5 + 1.5
        QCOMPARE(column(report->DBGrid7, 5), (QStringList{Alpha, Alpha}));
    }

    void anEmptyHeaderStoresThePlaceholders()
    {
        pick(Butter);
        record(QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("7"));
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(scalar(QStringLiteral("select momwSN from migeba where ID_DAS = 2")).toString(), QStringLiteral("12345678"));
        QCOMPARE(scalar(QStringLiteral("select momwFN from migeba where ID_DAS = 2")).toString(),
                 QStringLiteral("მომწოდებლის გარეშე"));
        QCOMPARE(scalar(QStringLiteral("select sab_n from migeba where ID_DAS = 2")).toString(), QStringLiteral("0"));
        QCOMPARE(scalar(QStringLiteral("select momwodebeli from kerdzebi where ID = 2")).toString(),
                 QStringLiteral("მომწოდებლის გარეშე"));
        // Every line of the day, of every supplier and document.
        QCOMPARE(column(tab()->DBGrid5, 0), (QStringList{Butter, Lemonade}));
        QCOMPARE(tab()->purchaseTotal(), QStringLiteral("24,00"));
    }

    void emptyFieldsRecordNothing()
    {
        pick(Butter);
        tab()->Edit6->clear();
        QTest::keyClicks(tab()->Edit4, QStringLiteral("3"));
        QTest::mouseClick(tab()->SpeedButton4, Qt::LeftButton);
        // The first box that is wrong is named by its caption.
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(Messages::shown().constFirst().startsWith(QStringLiteral("შეამოწმეთ ყველა ველი!!!")));
        QVERIFY2(Messages::shown().constFirst().contains(QStringLiteral("„გას. ფასი“")),
                 qPrintable(Messages::shown().constFirst()));
        QCOMPARE(count(QStringLiteral("migeba")), 1);
        QCOMPARE(tab()->Edit4->text(), QStringLiteral("3"));
        QCOMPARE(tab()->Edit5->text(), QStringLiteral("4"));
    }

    void theQuantityBoxTakesOnlyNumbers()
    {
        pick(Butter);
        QTest::keyClicks(tab()->Edit4, QStringLiteral("1a.5b"));
        QCOMPARE(tab()->Edit4->text(), QStringLiteral("1,5"));
        QTest::keyClicks(tab()->Edit5, QStringLiteral("x4.2"));
        QCOMPARE(tab()->Edit5->text(), QStringLiteral("44,2"));  // after the offered 4
    }

    void consignmentNeedsASupplierAndADocument_data()
    {
        QTest::addColumn<QString>("supplier");
        QTest::addColumn<QString>("document");
        QTest::addColumn<bool>("refused");
        QTest::newRow("without supplier") << QStringLiteral("მომწოდებლის გარეშე") << QStringLiteral("5") << true;
        QTest::newRow("blank supplier") << QStringLiteral("  \t") << QStringLiteral("5") << true;
        QTest::newRow("blank document") << Alpha << QStringLiteral("   ") << true;
        QTest::newRow("placeholder with spaces is a name") << QStringLiteral(" მომწოდებლის გარეშე") << QStringLiteral("5")
                                                           << false;
        QTest::newRow("named") << Alpha << QStringLiteral("5") << false;
    }
    void consignmentNeedsASupplierAndADocument()
    {
        QFETCH(QString, supplier);
        QFETCH(QString, document);
        QFETCH(bool, refused);
        header(QString(), supplier, document);
        QVERIFY(tab()->CheckBox2->isEnabled());
        tab()->CheckBox2->setChecked(true);
        pick(Butter);
        record(QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("7"));
        if (refused) {
            QCOMPARE(Messages::shown(), QStringList{Receiving::ConsignmentRefused});
            QCOMPARE(count(QStringLiteral("migeba")), 1);
            QCOMPARE(count(QStringLiteral("nisiebi")), 0);
            QCOMPARE(stock(2), 0.0);
            QCOMPARE(tab()->Edit4->text(), QStringLiteral("2"));
        } else {
            QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
            QCOMPARE(count(QStringLiteral("nisiebi")), 1);
            QCOMPARE(stock(2), 2.0);
        }
        // The same document without consignment is recorded either way.
        Messages::clearShown();
        tab()->CheckBox2->setChecked(false);
        record(QStringLiteral("1"), QStringLiteral("4"), QStringLiteral("7"));
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(stock(2), refused ? 1.0 : 3.0);
    }

    void theHeaderGovernsTheConsignmentBox()
    {
        header(QString(), Alpha, QStringLiteral("D-1"));
        tab()->CheckBox2->setChecked(true);
        tab()->Edit7->setText(QStringLiteral("7"));  // still named: stays checked
        QVERIFY(tab()->CheckBox2->isChecked());
        tab()->Edit8->clear();
        QVERIFY(!tab()->CheckBox2->isEnabled());
        QVERIFY(!tab()->CheckBox2->isChecked());
    }

    void theConsignmentDebtFollowsTheDocument()
    {
        header(QStringLiteral("205"), Alpha, QStringLiteral("D-17"));
        tab()->CheckBox2->setChecked(true);
        const QString debt = QStringLiteral("select nisia from nisiebi where FN = 'შპს ალფა' and USERNUM = 'D-17'");

        // The first line creates the supplier's ledger row.
        pick(Cheese);
        record(QStringLiteral("2"), QStringLiteral("6"), QStringLiteral("10"));
        QCOMPARE(count(QStringLiteral("nisiebi")), 1);
        QCOMPARE(scalar(debt).toDouble(), 12.0);
        QCOMPARE(scalar(QStringLiteral("select whois from nisiebi")).toString(), QStringLiteral("მომწოდებელი"));
        QCOMPARE(scalar(QStringLiteral("select tarigi from nisiebi")).toDate(), Now.date());
        // The next re-totals it.
        pick(Butter);
        record(QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("7"));
        QCOMPARE(count(QStringLiteral("nisiebi")), 1);
        QCOMPARE(scalar(debt).toDouble(), 24.0);

        // Deleting the cheese line: stock back, debt re-totalled, the information first.
        const int cheeseRow = Screens::rowOf(tab()->DBGrid5, 0, Cheese);
        Screens::clickCell(tab()->DBGrid5, cheeseRow, 7);
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().constFirst(),
                 QStringLiteral("წაიშალა: ყველი, 2 ერთ. — შპს ალფა, საბუთი №D-17\n1 - შპს ალფა - D-17"));
        QCOMPARE(stock(1), 5.0);
        QCOMPARE(scalar(debt).toDouble(), 12.0);
        QCOMPARE(column(tab()->DBGrid5, 0), QStringList{Butter});
        QCOMPARE(tab()->purchaseTotal(), QStringLiteral("12,00"));
        QCOMPARE(column(tab()->DBGrid4, 2).at(Screens::rowOf(tab()->DBGrid4, 0, Cheese)), QStringLiteral("5"));

        // A click beside the delete mark deletes nothing.
        Screens::clickCell(tab()->DBGrid5, 0, 3);
        QCOMPARE(count(QStringLiteral("migeba")), 2);

        // The document's last line: the debt goes to 0.
        Screens::clickCell(tab()->DBGrid5, 0, 7);
        QCOMPARE(stock(2), 0.0);
        QCOMPARE(scalar(debt).toDouble(), 0.0);
        QCOMPARE(tab()->DBGrid5->model()->rowCount(), 0);
        QCOMPARE(tab()->purchaseTotal(), QString());
    }

    void aDeletionWithSeveralLedgerRowsLeavesThemAlone()
    {
        header(QString(), Alpha, QStringLiteral("D-2"));
        tab()->CheckBox2->setChecked(true);
        pick(Cheese);
        record(QStringLiteral("1"), QStringLiteral("6"), QStringLiteral("10"));
        TestDb::exec(m_station, QStringLiteral("insert into nisiebi (FN, whois, nisia, USERNUM, tarigi) values "
                                               "('შპს ალფა', 'მომწოდებელი', 99, 'D-2', '2026-05-02')"));
        Screens::clickCell(tab()->DBGrid5, 0, 7);
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(Messages::shown().constFirst().endsWith(QStringLiteral("\n2 - შპს ალფა - D-2")));
        QCOMPARE(scalar(QStringLiteral("select sum(nisia) from nisiebi")).toDouble(), 6.0 + 99.0);
        QCOMPARE(stock(1), 5.0);
    }

    void theRecordButtonRecordsTheItemShownInRed()
    {
        pick(Cheese);
        // The warehouse report searches the shared item list meanwhile.
        forms().DM->kerdzebi2->reopen({{QStringLiteral("das"), Lemonade}, {QStringLiteral("tp"), QStringLiteral("%")}, {QStringLiteral("mom"), QStringLiteral("%")}});
        record(QStringLiteral("2"), QStringLiteral("6"), QStringLiteral("10"));
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(stock(1), 7.0);
        QCOMPARE(stock(3), 12.0);
        QCOMPARE(scalar(QStringLiteral("select Dasaxeleba from migeba where ID_DAS = 1")).toString(), Cheese);
    }

    void aRefusedRecordingWritesNothing_data()
    {
        QTest::addColumn<QString>("price");
        QTest::addColumn<bool>("deleteItem");
        QTest::addColumn<QString>("message");
        QTest::newRow("price not a number") << QStringLiteral("6,5,1") << false << Receiving::NotANumber;
        QTest::newRow("item deleted from the catalogue") << QStringLiteral("6") << true << Receiving::ItemGone;
    }
    void aRefusedRecordingWritesNothing()
    {
        QFETCH(QString, price);
        QFETCH(bool, deleteItem);
        QFETCH(QString, message);
        header(QString(), Alpha, QStringLiteral("D-3"));
        tab()->CheckBox2->setChecked(true);
        pick(Cheese);
        if (deleteItem)
            TestDb::exec(m_station, QStringLiteral("delete from kerdzebi where ID = 1"));
        tab()->Edit4->setText(QStringLiteral("2"));
        tab()->Edit5->setText(price);  // pasted past the key filter
        tab()->Edit6->setText(QStringLiteral("10"));
        QTest::mouseClick(tab()->SpeedButton4, Qt::LeftButton);
        QCOMPARE(Messages::shown(), QStringList{message});
        QCOMPARE(count(QStringLiteral("migeba")), 1);
        QCOMPARE(count(QStringLiteral("nisiebi")), 0);
        QCOMPARE(tab()->Edit5->text(), price);
        QCOMPARE(tab()->DBGrid5->model()->rowCount(), 0);
    }

    void aFailedWriteRollsTheWholeLineBack()
    {
        // A supplier name longer than the ledger allows on PostgreSQL, or a
        // failing trigger on SQLite: the write is refused after the line and
        // the stock were written.
        header(QString(), Alpha, QStringLiteral("D-4"));
        tab()->CheckBox2->setChecked(true);
        if (m_db->engine() == Engine::SQLite)
            TestDb::exec(m_station, QStringLiteral("create trigger refuse before insert on nisiebi "
                                                   "begin select raise(abort, 'ledger refused'); end"));
        else
            TestDb::exec(m_station, QStringLiteral("alter table nisiebi add constraint refuse check (nisia < 0)"));
        pick(Cheese);
        record(QStringLiteral("2"), QStringLiteral("6"), QStringLiteral("10"));
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().constFirst().startsWith(Receiving::NotRecorded), qPrintable(Messages::shown().constFirst()));
        QCOMPARE(count(QStringLiteral("migeba")), 1);
        QCOMPARE(stock(1), 5.0);
        QCOMPARE(scalar(QStringLiteral("select momwodebeli from kerdzebi where ID = 1")).toString(),
                 QStringLiteral("მომწოდებლის გარეშე"));
        QCOMPARE(tab()->DBGrid5->model()->rowCount(), 0);
        QCOMPARE(tab()->Edit4->text(), QStringLiteral("2"));
    }

    // Each bad entry through the boxes: refused with its words, nothing written
    // (no line, no stock, no prices, no debt).
    void badEntriesWriteNothing_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("purchase");
        QTest::addColumn<QString>("sale");
        QTest::addColumn<QString>("supplier");
        QTest::addColumn<QString>("words");
        const QString alpha = Alpha;
        QTest::newRow("quantity 0") << "0"
                                    << "6"
                                    << "10" << alpha << Receiving::QuantityNotPositive;
        QTest::newRow("quantity that rounds to 0") << "0,00001"
                                                   << "6"
                                                   << "10" << alpha << Receiving::QuantityNotPositive;
        QTest::newRow("negative quantity") << "-5"
                                           << "6"
                                           << "10" << alpha << Receiving::QuantityNotPositive;
        QTest::newRow("negative purchase price") << "2"
                                                 << "-6"
                                                 << "10" << alpha << Receiving::PriceNegative;
        QTest::newRow("negative sale price") << "2"
                                             << "6"
                                             << "-1" << alpha << Receiving::PriceNegative;
        QTest::newRow("quantity too large") << "1234567890123456"
                                            << "6"
                                            << "10" << alpha
                                            << QStringLiteral("ძალიან დიდია");
        QTest::newRow("empty quantity") << ""
                                        << "6"
                                        << "10" << alpha << QStringLiteral("„რაოდენობა“");
        QTest::newRow("blank purchase price") << "2"
                                              << "  "
                                              << "10" << alpha << QStringLiteral("„შეს. ფასი“");
        QTest::newRow("supplier longer than its column")
            << "2"
            << "6"
            << "10" << QString(51, QChar(u'ა')) << QStringLiteral("„მომწოდებლი“ 50 სიმბოლოზე");
    }
    void badEntriesWriteNothing()
    {
        QFETCH(QString, quantity);
        QFETCH(QString, purchase);
        QFETCH(QString, sale);
        QFETCH(QString, supplier);
        QFETCH(QString, words);
        header(QStringLiteral("205"), supplier, QStringLiteral("D-9"));
        tab()->CheckBox2->setChecked(true);
        pick(Cheese);
        // Pasted past the key filter, as a rule caller would hand them.
        tab()->Edit4->setText(quantity);
        tab()->Edit5->setText(purchase);
        tab()->Edit6->setText(sale);
        QTest::mouseClick(tab()->SpeedButton4, Qt::LeftButton);
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().constFirst().contains(words), qPrintable(Messages::shown().constFirst()));
        QVERIFY2(!Messages::shown().constFirst().contains(QStringLiteral("momwFN")),
                 qPrintable(Messages::shown().constFirst()));
        QCOMPARE(count(QStringLiteral("migeba")), 1);
        QCOMPARE(count(QStringLiteral("nisiebi")), 0);
        QCOMPARE(stock(1), 5.0);
        QCOMPARE(scalar(QStringLiteral("select asagebi from kerdzebi where ID = 1")).toDouble(), 6.0);
        QCOMPARE(scalar(QStringLiteral("select momwodebeli from kerdzebi where ID = 1")).toString(),
                 QStringLiteral("მომწოდებლის გარეშე"));
    }

    // The rule without the screen: a day that does not exist is refused, not encoded.
    void aDayThatDoesNotExistIsRefused()
    {
        ReceivedLine line;
        line.item = 1;
        line.quantity = QStringLiteral("2");
        line.purchasePrice = QStringLiteral("6");
        line.salePrice = QStringLiteral("10");
        line.supplier = Alpha;
        line.document = QStringLiteral("D-1");
        line.consignment = true;
        line.day = QDate(2026, 2, 30);
        QVERIFY(!line.day.isValid());
        try {
            Receiving::record(*forms().DM, line);
            QFAIL("a day that does not exist was recorded");
        } catch (const InputError& e) {
            QCOMPARE(e.text(), Receiving::InvalidDate);
        }
        QCOMPARE(count(QStringLiteral("migeba")), 1);
        QCOMPARE(count(QStringLiteral("nisiebi")), 0);
        QCOMPARE(stock(1), 5.0);
    }

    // Headers that a `like` pattern would mix up are documents of their own.
    void aDocumentMatchesOnlyItself_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("underscore") << QStringLiteral("INV-1") << QStringLiteral("INV_1");
        QTest::newRow("percent") << QStringLiteral("77") << QStringLiteral("7%");
        QTest::newRow("letter case") << QStringLiteral("ABC-1") << QStringLiteral("abc-1");
    }
    void aDocumentMatchesOnlyItself()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        header(QStringLiteral("205"), Alpha, first);
        tab()->CheckBox2->setChecked(true);
        pick(Cheese);
        record(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("10"));
        header(QStringLiteral("205"), Alpha, second);
        tab()->CheckBox2->setChecked(true);
        QCOMPARE(tab()->DBGrid5->model()->rowCount(), 0);  // the other document's line is not this one's
        pick(Butter);
        record(QStringLiteral("1"), QStringLiteral("6"), QStringLiteral("7"));
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(column(tab()->DBGrid5, 0), QStringList{Butter});
        QCOMPARE(tab()->purchaseTotal(), QStringLiteral("6,00"));
        QCOMPARE(count(QStringLiteral("nisiebi")), 2);
        const QString debt = QStringLiteral("select nisia from nisiebi where USERNUM = '%1'");
        QCOMPARE(scalar(debt.arg(first)).toDouble(), 2.0);
        QCOMPARE(scalar(debt.arg(second)).toDouble(), 6.0);
        // Deleting the second document's line corrects its debt only.
        Screens::clickCell(tab()->DBGrid5, 0, 7);
        QCOMPARE(scalar(debt.arg(first)).toDouble(), 2.0);
        QCOMPARE(scalar(debt.arg(second)).toDouble(), 0.0);
        QCOMPARE(stock(1), 6.0);
    }

    // The document's debt is the total of its lines whatever supplier number each
    // carries, after a recording and after a deletion alike.
    void theDebtIsTheWholeDocumentsWhateverTheSupplierNumber()
    {
        const QString debt = QStringLiteral("select nisia from nisiebi where USERNUM = 'D-5'");
        header(QStringLiteral("205"), Alpha, QStringLiteral("D-5"));
        tab()->CheckBox2->setChecked(true);
        pick(Cheese);
        record(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("10"));
        header(QStringLiteral("206"), Alpha, QStringLiteral("D-5"));
        tab()->CheckBox2->setChecked(true);
        pick(Butter);
        record(QStringLiteral("1"), QStringLiteral("6"), QStringLiteral("7"));
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(count(QStringLiteral("nisiebi")), 1);
        QCOMPARE(scalar(debt).toDouble(), 8.0);
        // The header's own lines under the grid.
        QCOMPARE(tab()->purchaseTotal(), QStringLiteral("6,00"));
        Screens::clickCell(tab()->DBGrid5, 0, 7);
        QCOMPARE(scalar(debt).toDouble(), 2.0);
    }

    // A consignment document number longer than the ledger holds is refused at
    // the box, and by the rule.
    void aConsignmentDocumentNumberFitsTheLedger()
    {
        const QString longNumber = QString(21, QChar(u'7'));
        header(QString(), Alpha, longNumber);
        QCOMPARE(tab()->Edit8->text(), longNumber);  // a receiving line holds 50
        tab()->CheckBox2->setChecked(true);
        QVERIFY(!tab()->CheckBox2->isChecked());
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().constFirst().contains(QStringLiteral("20 სიმბოლოზე")),
                 qPrintable(Messages::shown().constFirst()));
        // Shortened, it is ticked and the box holds no more than the ledger.
        Messages::clearShown();
        tab()->Edit8->setText(longNumber.left(20));
        tab()->CheckBox2->setChecked(true);
        QVERIFY(tab()->CheckBox2->isChecked());
        QCOMPARE(tab()->Edit8->maxLength(), 20);
        QTest::keyClicks(tab()->Edit8, QStringLiteral("8"));
        QCOMPARE(tab()->Edit8->text(), longNumber.left(20));
        pick(Cheese);
        record(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("10"));
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(count(QStringLiteral("nisiebi")), 1);
        tab()->CheckBox2->setChecked(false);
        QCOMPARE(tab()->Edit8->maxLength(), 50);

        ReceivedLine line;
        line.item = 1;
        line.quantity = QStringLiteral("1");
        line.purchasePrice = QStringLiteral("2");
        line.salePrice = QStringLiteral("10");
        line.supplier = Alpha;
        line.document = longNumber;
        line.day = Now.date();
        line.consignment = true;
        QVERIFY_THROWS_EXCEPTION(InputError, Receiving::record(*forms().DM, line));
        QCOMPARE(count(QStringLiteral("migeba")), 2);
    }

    // Back on the tab, the supplier filter is off with its emptied box.
    void theSupplierFilterFollowsItsBox()
    {
        tab()->ComboBox3->setEditText(QStringLiteral("შპს ბეტა"));
        QTest::mouseClick(tab()->CheckBox1, Qt::LeftButton, {}, QPoint(5, tab()->CheckBox1->height() / 2));
        QVERIFY(tab()->CheckBox1->isChecked());
        QCOMPARE(tab()->DBGrid4->model()->rowCount(), 1);
        tab()->Button8Click();
        QVERIFY(!tab()->CheckBox1->isChecked());
        QCOMPARE(tab()->CheckBox1->text(), QStringLiteral("მომწოდებლის ფილტრი"));
        QCOMPARE(tab()->DBGrid4->model()->rowCount(), 3);
        // Emptied by hand, likewise.
        tab()->ComboBox3->setEditText(QStringLiteral("შპს ბეტა"));
        QTest::mouseClick(tab()->CheckBox1, Qt::LeftButton, {}, QPoint(5, tab()->CheckBox1->height() / 2));
        tab()->ComboBox3->setEditText(QString());
        QVERIFY(!tab()->CheckBox1->isChecked());
        QCOMPARE(tab()->DBGrid4->model()->rowCount(), 3);
    }

    // A disk that fills under a running station: each refused line is told in
    // Georgian with what to do, and nothing of it is written.
    void aFullDiskIsToldAsWhatItIs()
    {
        if (m_db->engine() == Engine::PostgreSQL) {
            // The server's own disk_full, as it reaches the stations.
            const QString text = DbError::storageFaultText(0, QStringLiteral("53100"), QStringLiteral("could not extend"));
            QVERIFY2(text.contains(QStringLiteral("დისკი სავსეა")), qPrintable(text));
            QVERIFY(DbError::storageFaultText(0, QStringLiteral("23505"), QString()).isEmpty());
            return;
        }
        // The database may grow no further than it is now.
        QSqlQuery q(Connection::database());
        QVERIFY(q.exec(QStringLiteral("pragma page_count")) && q.next());
        const int pages = q.value(0).toInt();
        QVERIFY(q.exec(QStringLiteral("pragma max_page_count = %1").arg(pages)));
        header(QStringLiteral("205"), Alpha, QStringLiteral("D-8"));
        pick(Cheese);
        int recorded = 0;
        QString message;
        for (int i = 0; i < 5000 && message.isEmpty(); ++i) {
            tab()->Edit4->setText(QStringLiteral("1"));
            tab()->Edit5->setText(QStringLiteral("6"));
            tab()->Edit6->setText(QStringLiteral("10"));
            QTest::mouseClick(tab()->SpeedButton4, Qt::LeftButton);
            if (Messages::shown().isEmpty())
                ++recorded;
            else
                message = Messages::shown().constFirst();
        }
        QVERIFY2(message.contains(QStringLiteral("დისკი სავსეა")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("გაათავისუფლეთ ადგილი")), qPrintable(message));
        QCOMPARE(count(QStringLiteral("migeba")), 1 + recorded);
        QCOMPARE(stock(1), 5.0 + recorded);
    }

    void theItemSearch_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("typeTab");
        QTest::addColumn<bool>("bySupplier");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("beginning of the name") << QStringLiteral("ყვ") << 0 << false << QStringList{Cheese};
        QTest::newRow("not the middle") << QStringLiteral("ველი") << 0 << false << QStringList{};
        QTest::newRow("supplier filter") << QString() << 0 << true << QStringList{Lemonade};
    }
    void theItemSearch()
    {
        QFETCH(QString, name);
        QFETCH(int, typeTab);
        QFETCH(bool, bySupplier);
        QFETCH(QStringList, items);
        tab()->ComboBox3->setEditText(QStringLiteral("შპს ბეტა"));
        tab()->TabControl1->setCurrentIndex(typeTab);
        if (bySupplier)
            QTest::mouseClick(tab()->CheckBox1, Qt::LeftButton, {}, QPoint(5, tab()->CheckBox1->height() / 2));
        tab()->Edit3->setText(name);
        QStringList shown = column(tab()->DBGrid4, 0);
        shown.sort();
        QCOMPARE(shown, items);
    }

    void aTypeTabListsItsItems()
    {
        const int drinks = [&] {
            for (int i = 0; i < tab()->TabControl1->count(); ++i)
                if (tab()->TabControl1->tabText(i) == QStringLiteral("სასმელები"))
                    return i;
            return -1;
        }();
        QVERIFY(drinks > 0);
        tab()->TabControl1->setCurrentIndex(drinks);
        QCOMPARE(column(tab()->DBGrid4, 0), QStringList{Lemonade});
    }
};

QTEST_MAIN(tst_receiving)
#include "tst_receiving.moc"
