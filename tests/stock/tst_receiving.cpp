#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "data/clock.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "stock/receiving.h"
#include "stock/receivingtab.h"
#include "tests/support/screens.h"
#include "tests/support/testdb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
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

QStringList column(DBGrid* grid, int col)
{
    QStringList out;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        out << grid->model()->index(r, col).data().toString();
    return out;
}

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
        m_main.reset();
        m_station = QSqlDatabase();
        m_db.reset();
        Messages::stopIntercepting();
        Formats::setDecimalSeparator(QChar());
        Clock::setFixed(QDateTime());
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
        QCOMPARE(Messages::shown(), QStringList{QStringLiteral("შეამოწმეთ ყველა ველი!!!")});
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
        QCOMPARE(Messages::shown(), QStringList{QStringLiteral("1 - შპს ალფა - D-17")});
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
        QCOMPARE(Messages::shown(), QStringList{QStringLiteral("2 - შპს ალფა - D-2")});
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
