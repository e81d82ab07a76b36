#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "office/spreadsheet.h"
#include "data/clock.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "orders/settlement.h"
#include "stock/credittab.h"
#include "tests/office/officetesting.h"
#include "tests/support/screens.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace {

const QString DeleteQuestion = QStringLiteral("ნამდვილად გსურთ ვალაის წაშლა?");

// Supplier debts of three documents and two client bills on credit, oldest
// first: IDs 1 to 5 in a fresh database.
void fillLedger(QSqlDatabase db)
{
    TestDb::exec(db, QStringLiteral(
                         "insert into nisiebi (FN, whois, nisia, shettanxa, USERNUM, tarigi) values "
                         "('შპს ალფა', 'მომწოდებელი', 100, 20, 'D-1', '2026-05-01'), "
                         "('შპს ალფაბეტი', 'მომწოდებელი', 50, 0, 'D-2', '2026-05-01'), "
                         "('ბეტა', 'მომწოდებელი', 30, 10, 'D-12', '2026-05-02'), "
                         "('გიორგი', 'კლიენტი', 45, 0, '42', '2026-05-02'), "
                         "('გიორგი', 'კლიენტი', 15, 5, '43', '2026-05-02')"));
}

using Screens::column;

}  // namespace

// The credit tab through its widgets: both sides of the ledger, the filters,
// typing a paid amount, deleting a debt and the export.
class tst_credit : public QObject
{
    Q_OBJECT

    std::unique_ptr<OfficeTesting::TestOffice> m_office;
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;
    QSqlDatabase m_station;
    QStringList m_questions;
    bool m_answer = true;
    CreditTab* tab() const { return m_main->credit; }

    QVariant scalar(const QString& sql) const { return TestDb::scalar(m_station, sql); }
    double paid(int id) const
    {
        return scalar(QStringLiteral("select shettanxa from nisiebi where ID = %1").arg(id)).toDouble();
    }
    void typePaid(int row, const QString& text)
    {
        Screens::clickCell(tab()->DBGrid8, row, 2);
        QVERIFY(tab()->editing());
        QLineEdit* editor = tab()->paidEditor();
        QVERIFY(editor);
        QVERIFY(editor->isVisible());
        editor->selectAll();
        editor->insert(text);  // Georgian letters have no key of their own here
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void initTestCase()
    {
        if (!m_office)
            m_office = std::make_unique<OfficeTesting::TestOffice>();
        setSpreadsheetApplication(&m_office->office());
        setTemplateFolder(
            QFileInfo(OfficeTesting::shippedTemplate(QStringLiteral("R_konsignacia.xlsx"))).absolutePath());
    }

    void cleanupTestCase()
    {
        setSpreadsheetApplication(nullptr);
        setTemplateFolder(QString());
        m_office.reset();
    }

    void init()
    {
        m_questions.clear();
        m_answer = true;
        Messages::intercept([this](const QString& q) {
            m_questions << q;
            return m_answer;
        });
        Clock::setFixed(QDateTime(QDate(2026, 5, 2), QTime(21, 0)));
        Formats::setDecimalSeparator(u',');
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        m_station = m_db->openStation(QStringLiteral("station_other"));
        fillLedger(m_station);
        m_main.reset(TKelvora::createWindows());
        m_main->resize(1366, 768);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        m_main->Timer1->stop();
        m_main->PageControl1->setCurrentIndex(2);
        m_main->PageControl2->setCurrentIndex(3);
        m_office->clearShown();
        Messages::clearShown();
    }

    void cleanup()
    {
        TestSupport::closeStation(m_main, m_station, m_db);
    }

    void controlsCarryTheirNames_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* n : {"RadioButton1", "RadioButton2", "LabeledEdit4", "LabeledEdit5", "button14",
                              "SpeedButton9", "Button15", "DBGrid8"})
            QTest::newRow(n) << QString::fromLatin1(n);
    }
    void controlsCarryTheirNames()
    {
        QFETCH(QString, name);
        const QHash<QString, QObject*> members = {
            {"RadioButton1", tab()->RadioButton1}, {"RadioButton2", tab()->RadioButton2}, {"LabeledEdit4", tab()->LabeledEdit4}, {"LabeledEdit5", tab()->LabeledEdit5}, {"button14", tab()->button14}, {"SpeedButton9", tab()->SpeedButton9}, {"Button15", tab()->Button15}, {"DBGrid8", tab()->DBGrid8}};
        QVERIFY(members.contains(name));
        QCOMPARE(members.value(name)->objectName(), name);
        QCOMPARE(tab()->findChild<QObject*>(name), members.value(name));
    }

    void theTabOpensOnTheSuppliers()
    {
        QVERIFY(tab()->RadioButton1->isChecked());
        QVERIFY(!tab()->editing());
        QCOMPARE(column(tab()->DBGrid8, 0),
                 (QStringList{QStringLiteral("ბეტა"), QStringLiteral("შპს ალფაბეტი"), QStringLiteral("შპს ალფა")}));
        QCOMPARE(tab()->debtTotal(), QStringLiteral("180,00"));
        QCOMPARE(tab()->paidTotal(), QStringLiteral("30,00"));
        QCOMPARE(tab()->DBGrid8->model()->columnCount(), 6);
        QCOMPARE(tab()->DBGrid8->columnWidth(5), 30);
        QCOMPARE(column(tab()->DBGrid8, 4).constFirst(), QStringLiteral("02.05.2026"));
    }

    void theSearch_data()
    {
        QTest::addColumn<bool>("clients");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<QString>("debt");
        QTest::addColumn<QString>("paid");
        QTest::newRow("suppliers, no filter") << false << QString() << QString()
                                              << QStringList{"D-12", "D-2", "D-1"} << "180,00"
                                              << "30,00";
        QTest::newRow("clients, no filter") << true << QString() << QString() << QStringList{"43", "42"} << "60,00"
                                            << "5,00";
        QTest::newRow("name prefix") << false << QStringLiteral("შპს ალფა") << QString()
                                     << QStringList{"D-2", "D-1"} << "150,00"
                                     << "20,00";
        QTest::newRow("not the middle of a name") << false << QStringLiteral("ალფა") << QString() << QStringList{}
                                                  << ""
                                                  << "";
        QTest::newRow("blank name") << false << QStringLiteral("  ") << QString() << QStringList{"D-12", "D-2", "D-1"}
                                    << "180,00"
                                    << "30,00";
        QTest::newRow("exact number") << false << QString() << QStringLiteral("D-1") << QStringList{"D-1"} << "100,00"
                                      << "20,00";
        QTest::newRow("a number is no pattern") << false << QString() << QStringLiteral("D_1") << QStringList{}
                                                << ""
                                                << "";
        QTest::newRow("a name is no pattern") << false << QStringLiteral("შპს_ალფა") << QString() << QStringList{}
                                              << ""
                                              << "";
        QTest::newRow("a number of the other side") << false << QString() << QStringLiteral("42") << QStringList{}
                                                    << ""
                                                    << "";
        QTest::newRow("client by name and number") << true << QStringLiteral("გიო") << QStringLiteral("43")
                                                   << QStringList{"43"} << "15,00"
                                                   << "5,00";
    }
    void theSearch()
    {
        QFETCH(bool, clients);
        QFETCH(QString, name);
        QFETCH(QString, number);
        QFETCH(QStringList, numbers);
        QFETCH(QString, debt);
        QFETCH(QString, paid);
        QTest::mouseClick(clients ? tab()->RadioButton2 : tab()->RadioButton1, Qt::LeftButton, {}, QPoint(6, 8));
        QCOMPARE(tab()->RadioButton2->isChecked(), clients);
        tab()->LabeledEdit4->setText(name);
        tab()->LabeledEdit5->setText(number);
        QCOMPARE(column(tab()->DBGrid8, 3), numbers);
        QCOMPARE(tab()->debtTotal(), debt);
        QCOMPARE(tab()->paidTotal(), paid);
    }

    void aBillOnCreditIsAClientDebt()
    {
        Settlement::writeCredit(*forms().DM, QStringLiteral("77"), QStringLiteral("ნანა"), 33.5);
        QTest::mouseClick(tab()->RadioButton2, Qt::LeftButton, {}, QPoint(6, 8));
        QCOMPARE(column(tab()->DBGrid8, 0).constFirst(), QStringLiteral("ნანა"));
        QCOMPARE(column(tab()->DBGrid8, 3).constFirst(), QStringLiteral("77"));
        QCOMPARE(tab()->debtTotal(), QStringLiteral("93,50"));
    }

    void aPaymentSavedWithEnter()
    {
        // Row 2 is the oldest supplier row, ID 1.
        typePaid(2, QStringLiteral("35,5"));
        QCOMPARE(tab()->paidTotal(), QStringLiteral("30,00"));  // not yet saved
        QTest::keyClick(tab()->paidEditor(), Qt::Key_Return);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(paid(1), 35.5);
        QCOMPARE(tab()->paidTotal(), QStringLiteral("45,50"));
        QCOMPARE(column(tab()->DBGrid8, 2).at(2), QStringLiteral("35,50"));
        QCOMPARE(tab()->paidEditor(), nullptr);
        // Typed amounts replace the amount paid; they are not added up.
        typePaid(2, QStringLiteral("40"));
        QTest::keyClick(tab()->paidEditor(), Qt::Key_Enter);
        QCOMPARE(paid(1), 40.0);
        QCOMPARE(tab()->paidTotal(), QStringLiteral("50,00"));
    }

    void movingToAnotherRowSavesTheAmount()
    {
        typePaid(1, QStringLiteral("7"));
        Screens::clickCell(tab()->DBGrid8, 0, 0);
        QCOMPARE(paid(2), 7.0);
        QCOMPARE(tab()->paidTotal(), QStringLiteral("37,00"));
        QVERIFY(!tab()->editing());
        QCOMPARE(tab()->paidEditor(), nullptr);
    }

    void onlyThePaidColumnOpensForTyping_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("opens");
        QTest::newRow("name") << 0 << false;
        QTest::newRow("debt") << 1 << false;
        QTest::newRow("paid") << 2 << true;
        QTest::newRow("number") << 3 << false;
        QTest::newRow("date") << 4 << false;
    }
    void onlyThePaidColumnOpensForTyping()
    {
        QFETCH(int, column);
        QFETCH(bool, opens);
        Screens::clickCell(tab()->DBGrid8, 0, column);
        QCOMPARE(tab()->editing(), opens);
        QCOMPARE(tab()->paidEditor() != nullptr, opens);
    }

    void anAmountThatIsNoNumberIsRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("letters") << QStringLiteral("ათი");
        QTest::newRow("two separators") << QStringLiteral("1,2,3");
        QTest::newRow("empty") << QString();
    }
    void anAmountThatIsNoNumberIsRefused()
    {
        QFETCH(QString, typed);
        typePaid(2, typed);
        QTest::keyClick(tab()->paidEditor(), Qt::Key_Return);
        QCOMPARE(Messages::shown(), QStringList{QStringLiteral("გადახდილი თანხა უნდა იყოს რიცხვი! თანხა არ შეიცვალა!!!")});
        QCOMPARE(paid(1), 20.0);
        QCOMPARE(column(tab()->DBGrid8, 2).at(2), QStringLiteral("20,00"));
        QCOMPARE(tab()->paidTotal(), QStringLiteral("30,00"));
    }

    // Row 2 is ID 1: a debt of 100 with 20 paid.
    void aPaidAmountThatMeansNothingIsRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("negative") << QStringLiteral("-20") << QStringList{QStringLiteral("უარყოფითი")};
        QTest::newRow("above the debt")
            << QStringLiteral("100,01") << QStringList{QStringLiteral("აღემატება"), QStringLiteral("80")};
        QTest::newRow("far above the debt")
            << QStringLiteral("99999999999,9999") << QStringList{QStringLiteral("აღემატება"), QStringLiteral("80")};
        // The same words as the receiving boxes give a number too large.
        QTest::newRow("fifteen digits")
            << QStringLiteral("123456789012345") << QStringList{QStringLiteral("ძალიან დიდია")};
    }
    void aPaidAmountThatMeansNothingIsRefused()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, words);
        typePaid(2, typed);
        QTest::keyClick(tab()->paidEditor(), Qt::Key_Return);
        QCOMPARE(Messages::shown().size(), 1);
        for (const QString& w : words)
            QVERIFY2(Messages::shown().constFirst().contains(w), qPrintable(Messages::shown().constFirst()));
        QCOMPARE(paid(1), 20.0);
        QCOMPARE(column(tab()->DBGrid8, 2).at(2), QStringLiteral("20,00"));
        QCOMPARE(tab()->paidTotal(), QStringLiteral("30,00"));
    }

    void escapeHalfwayKeepsWhatIsStored()
    {
        typePaid(2, QStringLiteral("55"));
        QTest::keyClick(tab()->paidEditor(), Qt::Key_Escape);
        QCOMPARE(tab()->paidEditor(), nullptr);
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(paid(1), 20.0);
        QCOMPARE(column(tab()->DBGrid8, 2).at(2), QStringLiteral("20,00"));
        // Nor does a later Enter on the grid write it.
        QTest::keyClick(tab()->DBGrid8, Qt::Key_Return);
        QCOMPARE(paid(1), 20.0);
    }

    void eitherDecimalSeparatorIsTaken_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("comma") << QStringLiteral("12,5");
        QTest::newRow("full stop") << QStringLiteral("12.5");
    }
    void eitherDecimalSeparatorIsTaken()
    {
        QFETCH(QString, typed);
        typePaid(2, typed);
        QTest::keyClick(tab()->paidEditor(), Qt::Key_Return);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(paid(1), 12.5);
        // The whole debt may be paid.
        typePaid(2, QStringLiteral("100"));
        QTest::keyClick(tab()->paidEditor(), Qt::Key_Return);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(paid(1), 100.0);
    }

    void aPaymentOfAnotherStationMeanwhileIsNotOverwritten()
    {
        typePaid(2, QStringLiteral("60"));
        TestDb::exec(m_station, QStringLiteral("update nisiebi set shettanxa = 50 where ID = 1"));
        QTest::keyClick(tab()->paidEditor(), Qt::Key_Return);
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY(Messages::shown().constFirst().contains(QStringLiteral("სხვა სამუშაო ადგილიდან")));
        QCOMPARE(paid(1), 50.0);
        QCOMPARE(column(tab()->DBGrid8, 2).at(2), QStringLiteral("50,00"));
        QCOMPARE(tab()->paidTotal(), QStringLiteral("60,00"));
    }

    void deletingADebtAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void deletingADebtAsksFirst()
    {
        QFETCH(bool, yes);
        m_answer = yes;
        Screens::clickCell(tab()->DBGrid8, 0, 5);
        QCOMPARE(m_questions, QStringList{DeleteQuestion});
        QCOMPARE(scalar(QStringLiteral("select count(*) from nisiebi where ID = 3")).toInt(), yes ? 0 : 1);
        QCOMPARE(tab()->DBGrid8->model()->rowCount(), yes ? 2 : 3);
        QCOMPARE(tab()->debtTotal(), yes ? QStringLiteral("150,00") : QStringLiteral("180,00"));
    }

    void deletingTheLastRowLeavesEmptyTotals()
    {
        QTest::keyClicks(tab()->LabeledEdit5, QStringLiteral("D-12"));
        Screens::clickCell(tab()->DBGrid8, 0, 5);
        QCOMPARE(tab()->DBGrid8->model()->rowCount(), 0);
        QCOMPARE(tab()->debtTotal(), QString());
        QCOMPARE(tab()->paidTotal(), QString());
    }

    void theExportHasSixColumns()
    {
        QTest::mouseClick(tab()->SpeedButton9, Qt::LeftButton);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join('\n')));
        QCOMPARE(m_office->shown().size(), 1);
        const OfficeTesting::Sheet sheet(m_office->shown().constFirst());
        QVERIFY2(sheet.isValid(), qPrintable(sheet.error()));
        QCOMPARE(sheet.text(QStringLiteral("A1")), QStringLiteral("კონსიგნაცია"));
        const QStringList titles = {"ორგანიზაცია/სახელი", "ვალი", "გად.თანხა", "№", "თარიღი", ""};
        for (int c = 0; c < titles.size(); ++c)
            QCOMPARE(sheet.text(QString(QChar(u'B' + c)) + QStringLiteral("3")), titles[c]);
        QCOMPARE(sheet.text(QStringLiteral("B4")), QStringLiteral("ბეტა"));
        QCOMPARE(sheet.cell(QStringLiteral("C4")).value, QStringLiteral("30"));
        QCOMPARE(sheet.cell(QStringLiteral("D4")).value, QStringLiteral("10"));
        // The amounts stay numbers, shown with two decimals.
        for (const char* at : {"C4", "D4"}) {
            QCOMPARE(sheet.cell(QLatin1String(at)).type, QStringLiteral("float"));
            QVERIFY2(OfficeTesting::showsTwoDecimals(sheet.text(QLatin1String(at))), qPrintable(sheet.text(QLatin1String(at))));
        }
        QCOMPARE(sheet.text(QStringLiteral("E4")), QStringLiteral("D-12"));
        QCOMPARE(sheet.cell(QStringLiteral("F4")).type, QStringLiteral("date"));
        QCOMPARE(sheet.text(QStringLiteral("B6")), QStringLiteral("შპს ალფა"));
        for (int r = 4; r <= 6; ++r)
            QCOMPARE(sheet.cell(QStringLiteral("G%1").arg(r)).type, QString());  // the delete column stays empty
        QCOMPARE(sheet.lastRow(QStringLiteral("B")), 6);
    }
};

QTEST_MAIN(tst_credit)
#include "tst_credit.moc"
