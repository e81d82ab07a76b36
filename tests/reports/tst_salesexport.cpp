#include "shell/forms.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "office/spreadsheet.h"
#include "data/clock.h"
#include "data/datamodule.h"
#include "reports/salesreport.h"
#include "tests/office/officetesting.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QTest>
#include <QToolButton>

// The sales report's export button on a real office: what the grid lists goes
// to a new workbook from the shipped template; before the first search the
// button does nothing.
class tst_salesexport : public QObject
{
    Q_OBJECT

    std::unique_ptr<OfficeTesting::TestOffice> m_office;
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;

    SalesReport* report() const { return m_main->findChild<SalesReport*>(); }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void initTestCase()
    {
        if (!m_office)
            m_office = std::make_unique<OfficeTesting::TestOffice>();
        setSpreadsheetApplication(&m_office->office());
        setTemplateFolder(QFileInfo(OfficeTesting::shippedTemplate(QStringLiteral("R_realizacia.xlsx"))).absolutePath());
    }

    void cleanupTestCase()
    {
        setSpreadsheetApplication(nullptr);
        setTemplateFolder(QString());
        m_office.reset();
    }

    void init()
    {
        Messages::intercept([](const QString&) { return true; });
        Clock::setFixed(QDateTime(QDate(2026, 5, 2), QTime(22, 0)));
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        QSqlDatabase station = m_db->openStation(QStringLiteral("station_fill"));
        TestDb::exec(station, QStringLiteral(
                                  "insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, AFASI, GFASI, Raodenoba, OFFICIANT, "
                                  "TableNum, USERNUM, STATUSI, Tarigi) values "
                                  "(1, 'მწვადი', 12, 30, 1.5, 'ნინო', 4, 42, 100, '2026-05-02'), "
                                  "(2, 'ღვინო', 9, 25, 2, 'ანა', 7, 43, 100, '2026-05-01')"));
        m_main.reset(TKelvora::createWindows());
        m_office->clearShown();
    }

    void cleanup()
    {
        m_main.reset();
        m_db.reset();
        TestSupport::resetGlobals();
    }

    void beforeTheFirstSearchNothingHappens()
    {
        QVERIFY(!forms().DM->History_shekvetebi->isOpen());
        QTest::mouseClick(report()->SpeedButton6, Qt::LeftButton);
        QVERIFY(m_office->shown().isEmpty());
        QVERIFY(Messages::shown().isEmpty());
    }

    void theListedLinesGoToAWorkbook()
    {
        NamedQuery* sales = forms().DM->History_shekvetebi;
        for (const char* p : {"USR", "OF", "TB", "das"})
            sales->setParam(QLatin1String(p), QStringLiteral("%"));
        sales->setParam(QStringLiteral("ST"), QDate(2026, 5, 1));
        sales->setParam(QStringLiteral("EN"), QDate(2026, 5, 2));
        sales->open();
        QCOMPARE(sales->rowCount(), 2);
        sales->first();

        QTest::mouseClick(report()->SpeedButton6, Qt::LeftButton);

        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(m_office->shown().size(), 1);
        const OfficeTesting::Sheet sheet(m_office->shown().constFirst());
        QVERIFY2(sheet.isValid(), qPrintable(sheet.error()));
        QCOMPARE(sheet.text(QStringLiteral("A1")), QStringLiteral("რეალიზაცია"));
        const QStringList titles = {"შეკვეთის №", "კერძი", "ოფიციანტი", "მაგიდა", "ნაშთი",
                                    "რაოდენობა", "თვით ღირ სულ", "სულ ფასი", "თარიღი"};
        for (int c = 0; c < titles.size(); ++c) {
            QCOMPARE(sheet.text(QString(QChar(u'B' + c)) + QStringLiteral("3")), titles[c]);
            // Whole words in the heading: "რაოდენობა" is not broken.
            QVERIFY2(OfficeTesting::widestWord(titles[c], 10, true) + 0.2 <= sheet.columnWidth(1 + c), qPrintable(titles[c]));
        }
        // One row per line in the grid's order; the query has no order of its own.
        const int first = 4 + (sales->valueAt(0, sales->fieldIndex(QStringLiteral("USERNUM"))).toInt() == 42 ? 0 : 1);
        const int second = first == 4 ? 5 : 4;
        auto at = [](char column, int row) { return QString(QChar::fromLatin1(column)) + QString::number(row); };
        QCOMPARE(sheet.cell(at('B', first)).type, QStringLiteral("float"));
        QCOMPARE(sheet.cell(at('B', first)).value, QStringLiteral("42"));
        QCOMPARE(sheet.text(at('C', first)), QStringLiteral("მწვადი"));
        QCOMPARE(sheet.cell(at('G', first)).value, QStringLiteral("1.5"));
        QCOMPARE(sheet.cell(at('H', first)).value, QStringLiteral("18"));  // 12 × 1.5
        QCOMPARE(sheet.cell(at('I', first)).value, QStringLiteral("45"));  // 30 × 1.5
        // The amounts show two decimals, the quantity its own form.
        for (const char column : {'H', 'I'})
            for (const int row : {first, second})
                QVERIFY2(OfficeTesting::showsTwoDecimals(sheet.text(at(column, row))), qPrintable(sheet.text(at(column, row))));
        QCOMPARE(sheet.text(at('G', first)), QStringLiteral("1.5"));
        QCOMPARE(sheet.cell(at('J', first)).type, QStringLiteral("date"));
        QCOMPARE(sheet.cell(at('J', first)).value.left(10), QStringLiteral("2026-05-02"));
        QCOMPARE(sheet.text(at('D', second)), QStringLiteral("ანა"));
        QCOMPARE(sheet.cell(at('B', second)).value, QStringLiteral("43"));
        QCOMPARE(sheet.lastRow(QStringLiteral("B")), 5);
        QCOMPARE(sales->recNo(), 1);  // left on the last row
    }
};

QTEST_MAIN(tst_salesexport)
#include "tst_salesexport.moc"
