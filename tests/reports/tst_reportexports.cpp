#include "shell/dbgrid.h"
#include "shell/forms.h"
#include "shell/messages.h"
#include "app/kelvorau.h"
#include "shell/excellgo.h"
#include "office/spreadsheet.h"
#include "data/clock.h"
#include "data/datamodule.h"
#include "reports/deletionsreport.h"
#include "reports/receivingreport.h"
#include "reports/warehousereport.h"
#include "tests/office/officetesting.h"
#include "tests/reports/reportfixture.h"
#include "tests/support/orderwindow.h"
#include "tests/support/globals.h"
#include "tests/support/testdb.h"

#include <QDateEdit>
#include <QDateTimeEdit>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

// The receiving, warehouse and deletions exports on a real office: the title,
// the grid's column titles and one row per listed record, from the report's
// own template.
class tst_reportexports : public QObject
{
    Q_OBJECT

    std::unique_ptr<OfficeTesting::TestOffice> m_office;
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TKelvora> m_main;
    QString m_shipped;

    static QString at(char column, int row) { return QString(QChar::fromLatin1(column)) + QString::number(row); }

    // Lists the report on tab `index` for 1-3 May and presses its export button.
    void exportReport(int index)
    {
        m_main->PageControl1->setCurrentIndex(2);
        m_main->PageControl2->setCurrentIndex(index);
        switch (index) {
        case 1:
            m_main->receivingReport->DateTimePicker4->setDate(QDate(2026, 5, 1));
            m_main->receivingReport->DateTimePicker5->setDate(QDate(2026, 5, 3));
            QTest::mouseClick(m_main->receivingReport->Button10, Qt::LeftButton);
            QTest::mouseClick(m_main->receivingReport->SpeedButton7, Qt::LeftButton);
            break;
        case 2:
            QTest::mouseClick(m_main->warehouseReport->SpeedButton8, Qt::LeftButton);
            break;
        case 4:
            m_main->deletionsReport->DateTimePicker6->setDate(QDate(2026, 5, 1));
            m_main->deletionsReport->DateTimePicker7->setDate(QDate(2026, 5, 3));
            QTest::mouseClick(m_main->deletionsReport->Button16, Qt::LeftButton);
            QTest::mouseClick(m_main->deletionsReport->SpeedButton5, Qt::LeftButton);
            break;
        }
    }

private Q_SLOTS:
    void initTestCase_data() { TestDb::addEngineRows(); }

    void initTestCase()
    {
        if (!m_office)
            m_office = std::make_unique<OfficeTesting::TestOffice>();
        setSpreadsheetApplication(&m_office->office());
        m_shipped = QFileInfo(OfficeTesting::shippedTemplate(QStringLiteral("R_migeba.xlsx"))).absolutePath();
    }

    void cleanupTestCase()
    {
        setSpreadsheetApplication(nullptr);
        setTemplateFolder(QString());
        m_office.reset();
    }

    void init()
    {
        setTemplateFolder(m_shipped);
        Messages::intercept([](const QString&) { return true; });
        Clock::setFixed(QDateTime(QDate(2026, 5, 2), QTime(22, 0)));
        m_db = std::make_unique<TestDb>(TestDb::currentEngine());
        ReportFixture::write(m_db->openStation(QStringLiteral("station_fill")));
        m_main = OrderWindow::showMainWindow();
        m_office->clearShown();
    }

    void cleanup()
    {
        m_main.reset();
        m_db.reset();
        TestSupport::resetGlobals();
    }

    void exports_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("firstRow");  // B, C, ... of the first record, "" to skip
        QTest::addColumn<QString>("amounts");       // the columns shown with two decimals
        QTest::newRow("receiving") << 1 << "მიღება"
                                   << QStringList{"დასახელება", "რაოდენობა", "ა.ფასი", "გ.ფასი", "შ.ფასი",
                                                  "გ.ფასი", "მომწოდებელი", "საბ.ნ", "თარიღი"}
                                   << 4
                                   << QStringList{"ღვინო", "6", "9", "25", "54", "150", "ვაზი", "B-8", "2026-05-03"} << "DEFG";
        QTest::newRow("warehouse") << 2 << "საწყობი"
                                   << QStringList{"დასახელება", "შეს. ფასი", "გას. ფასი", "ტიპი", "რაოდენობა",
                                                  "მომწოდებელი", "სულ.გას", "სულ.შეს"}
                                   << 3 << QStringList{} << "CDHI";
        QTest::newRow("deletions") << 4 << "წაშლილები"
                                   << QStringList{"დასახელება", "რაოდენობა", "ოპერაცია", "მაგიდა", "შეკვეთა",
                                                  "თარიღი"}
                                   << 4 << QStringList{} << "";
    }

    void exports()
    {
        QFETCH(int, tab);
        QFETCH(QString, title);
        QFETCH(QStringList, titles);
        QFETCH(int, rows);
        QFETCH(QStringList, firstRow);
        QFETCH(QString, amounts);
        exportReport(tab);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
        QCOMPARE(m_office->shown().size(), 1);
        const OfficeTesting::Sheet sheet(m_office->shown().constFirst());
        QVERIFY2(sheet.isValid(), qPrintable(sheet.error()));
        QCOMPARE(sheet.text(QStringLiteral("A1")), title);
        for (int c = 0; c < titles.size(); ++c)
            QCOMPARE(sheet.text(at(char('B' + c), 3)), titles[c]);
        // A heading wraps at its spaces only: each word fits its column (10-point
        // bold, about a millimetre each side).
        for (int c = 0; c < titles.size(); ++c)
            QVERIFY2(OfficeTesting::widestWord(titles[c], 10, true) + 0.2 <= sheet.columnWidth(1 + c),
                     qPrintable(QStringLiteral("%1 in %2 cm").arg(titles[c]).arg(sheet.columnWidth(1 + c))));
        // Amounts stay numbers the sheet can add, shown with two decimals.
        for (const QChar column : amounts)
            for (int r = 0; r < rows; ++r) {
                const OfficeTesting::Cell cell = sheet.cell(at(char(column.unicode()), 4 + r));
                QCOMPARE(cell.type, QStringLiteral("float"));
                QVERIFY2(OfficeTesting::showsTwoDecimals(cell.text), qPrintable(at(char(column.unicode()), 4 + r) + u' ' + cell.text));
            }
        QCOMPARE(sheet.lastRow(QStringLiteral("B")), 3 + rows);
        for (int c = 0; c < firstRow.size(); ++c) {
            const OfficeTesting::Cell cell = sheet.cell(at(char('B' + c), 4));
            const QString value = cell.type == QStringLiteral("string") ? cell.text : cell.value.left(10);
            QCOMPARE(value, firstRow[c]);
        }
        // Each record's cells are what its grid row holds, in the grid's order.
        const QAbstractItemModel* grid = tab == 1   ? m_main->receivingReport->DBGrid6->model()
                                         : tab == 2 ? m_main->warehouseReport->DBGrid7->model()
                                                    : m_main->deletionsReport->DBGrid9->model();
        QCOMPARE(grid->rowCount(), rows);
        for (int r = 0; r < rows; ++r)
            QCOMPARE(sheet.text(at('B', 4 + r)), grid->index(r, 0).data().toString());
    }

    void templates_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("both: the .xls") << QStringList{"R_sawyobi.xls", "R_sawyobi.xlsx"} << "R_sawyobi.xls";
        QTest::newRow("only .xlsx") << QStringList{"R_sawyobi.xlsx"} << "R_sawyobi.xlsx";
        QTest::newRow("only .xls") << QStringList{"R_sawyobi.xls"} << "R_sawyobi.xls";
        QTest::newRow("neither") << QStringList{"R_migeba.xls"} << "";
    }

    void templates()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, chosen);
        QTemporaryDir folder;
        for (const QString& f : files)
            QVERIFY(QFile::copy(QDir(m_shipped).filePath(QStringLiteral("R_sawyobi.xlsx")), folder.filePath(f)));
        const QString found = exportTemplate(folder.path(), QStringLiteral("R_sawyobi"));
        QCOMPARE(QFileInfo(found).fileName(), chosen);
        // The warehouse export works from what is there and does nothing without it.
        setTemplateFolder(folder.path());
        exportReport(2);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(Messages::shown().join(u'\n')));
        QCOMPARE(m_office->shown().size(), chosen.isEmpty() ? 0 : 1);
    }

    void beforeTheFirstSearchNothingHappens()
    {
        m_main->PageControl1->setCurrentIndex(2);
        m_main->PageControl2->setCurrentIndex(1);
        QTest::mouseClick(m_main->receivingReport->SpeedButton7, Qt::LeftButton);
        m_main->PageControl2->setCurrentIndex(4);
        QTest::mouseClick(m_main->deletionsReport->SpeedButton5, Qt::LeftButton);
        QVERIFY(m_office->shown().isEmpty());
        QVERIFY(Messages::shown().isEmpty());
    }
};

QTEST_MAIN(tst_reportexports)
#include "tst_reportexports.moc"
