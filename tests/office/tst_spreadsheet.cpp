#include "tests/support/globals.h"
#include "office/calcformula.h"
#include "office/cellref.h"
#include "office/officethread.h"
#include "office/unooffice.h"
#include "shell/officestartwait.h"
#include "data/formats.h"
#include "data/money.h"
#include "tests/office/officetesting.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <memory>

// Column J of the bill when the template's A2 is empty.
const QString BillFormulaWithoutDivisor = QStringLiteral("=IF((IF(H6>0,E6/,E6))>0,(IF(H6>0,E6/,E6)),\"\")");

// The spreadsheet layer against a real headless LibreOffice: cell names, the
// formula grammar, values of every type written and read back, blocks, bold,
// print jobs, showing, and an office that dies between two jobs.
class tst_spreadsheet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { m_test.reset(); }
    void init();
    void cleanup() { TestSupport::resetGlobals(); }

    void cellNames_data();
    void cellNames();
    void badCellNames_data();
    void badCellNames();
    void columnNames_data();
    void columnNames();
    void formulaGrammar_data();
    void formulaGrammar();

    void typedValues_data();
    void typedValues();
    void typedEntries_data();
    void typedEntries();
    void excelFormulas_data();
    void excelFormulas();
    void refusedFormula_data();
    void refusedFormula();
    void valueBlock();
    void boldRange();
    void readsTemplateText_data();
    void readsTemplateText();
    void templateStaysUntouched();
    void missingTemplate();
    void printJobs();
    void showHandsOverACopy();
    void restartsAfterTheOfficeDied();
    void officeEndsWithItsOwner();

private:
    QString blankTemplate();
    OfficeTesting::Sheet shownSheet();

    std::unique_ptr<OfficeTesting::TestOffice> m_test;
    QString m_blank;
};

void tst_spreadsheet::initTestCase()
{
    // The office only reports its start; the program's shell shows the wait.
    showWaitWhileOfficeStarts();
    m_test = std::make_unique<OfficeTesting::TestOffice>();
    m_test->office().start();
    QCOMPARE(m_test->office().starts(), 1);
}

void tst_spreadsheet::init()
{
    m_test->clearPrints();
    m_test->clearShown();
}

QString tst_spreadsheet::blankTemplate()
{
    if (m_blank.isEmpty())
        m_blank = m_test->makeWorkbook(QStringLiteral("blank.xlsx"),
                                       OfficeTesting::flatWorkbook({{QStringLiteral("A2"), 2}}));
    return m_blank;
}

// The workbook shown last, read back from its file.
OfficeTesting::Sheet tst_spreadsheet::shownSheet()
{
    if (m_test->shown().size() != 1)
        qFatal("expected one shown workbook, got %d", int(m_test->shown().size()));
    return OfficeTesting::Sheet(m_test->shown().constFirst());
}

// --- cell names and formulas, without the office ---------------------------------

void tst_spreadsheet::cellNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("written");

    QTest::newRow("A1") << "A1" << 0 << 0 << "A1";
    QTest::newRow("bill line") << "B6" << 1 << 5 << "B6";
    QTest::newRow("lower case") << "j14" << 9 << 13 << "J14";
    QTest::newRow("absolute") << "$C$3" << 2 << 2 << "C3";
    QTest::newRow("last single letter") << "Z503" << 25 << 502 << "Z503";
    QTest::newRow("two letters") << "AA1" << 26 << 0 << "AA1";
    QTest::newRow("AZ") << "AZ10" << 51 << 9 << "AZ10";
    QTest::newRow("last of the sheet") << "XFD1048576" << 16383 << 1048575 << "XFD1048576";
    QTest::newRow("BA") << "BA2" << 52 << 1 << "BA2";
}

void tst_spreadsheet::cellNames()
{
    QFETCH(QString, name);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QString, written);

    const auto cell = CellRef::parse(name);
    QVERIFY(cell);
    QCOMPARE(cell->column, column);
    QCOMPARE(cell->row, row);
    QCOMPARE(CellRef::name(*cell), written);
}

void tst_spreadsheet::badCellNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << "";
    QTest::newRow("no row") << "B";
    QTest::newRow("no column") << "6";
    QTest::newRow("row 0") << "B0";
    QTest::newRow("reversed") << "6B";
    QTest::newRow("range") << "B6:C7";
    QTest::newRow("space") << "B 6";
    QTest::newRow("georgian letter") << "ბ6";
    QTest::newRow("row overflow") << "A99999999999";
}

void tst_spreadsheet::badCellNames()
{
    QFETCH(QString, name);
    QVERIFY(!CellRef::parse(name));
}

void tst_spreadsheet::columnNames_data()
{
    QTest::addColumn<QString>("name");
    // Each one read and written again, across the letter boundaries.
    for (const char* n : {"A", "Z", "AA", "AZ", "BA", "ZZ", "AAA", "XFD"})
        QTest::newRow(n) << QString::fromLatin1(n);
}

void tst_spreadsheet::columnNames()
{
    QFETCH(QString, name);
    const auto cell = CellRef::parse(name + QStringLiteral("1"));
    QVERIFY(cell);
    QCOMPARE(CellRef::columnName(cell->column), name);
}

void tst_spreadsheet::formulaGrammar_data()
{
    QTest::addColumn<QString>("excel");
    QTest::addColumn<QString>("calc");

    QTest::newRow("bill column J") << "=IF((IF(H6>0,E6/2,E6))>0,(IF(H6>0,E6/2,E6)),\"\")"
                                   << "=IF((IF(H6>0;E6/2;E6))>0;(IF(H6>0;E6/2;E6));\"\")";
    QTest::newRow("no arguments to separate") << "=SUM(A1:A3)*2"
                                              << "=SUM(A1:A3)*2";
    QTest::newRow("comma inside a text") << "=IF(A1>0,\"a, b\",\"c\")"
                                         << "=IF(A1>0;\"a, b\";\"c\")";
    QTest::newRow("only a text") << "=\"1,2,3\""
                                 << "=\"1,2,3\"";
    QTest::newRow("doubled quote inside a text") << "=CONCATENATE(\"say \"\"x,y\"\"\",A1,\",\")"
                                                 << "=CONCATENATE(\"say \"\"x,y\"\"\";A1;\",\")";
    QTest::newRow("nested functions") << "=ROUND(SUM(A1,B1,MAX(C1,D1)),2)"
                                      << "=ROUND(SUM(A1;B1;MAX(C1;D1));2)";
    QTest::newRow("array constant") << "=SUM({1,2;3,4})"
                                    << "=SUM({1;2|3;4})";
    QTest::newRow("semicolon inside a text stays") << "=IF(A1,\"x;y\",\"\")"
                                                   << "=IF(A1;\"x;y\";\"\")";
}

void tst_spreadsheet::formulaGrammar()
{
    QFETCH(QString, excel);
    QFETCH(QString, calc);
    QCOMPARE(CalcFormula::fromExcel(excel), calc);
}

// --- values written and read back -------------------------------------------------

void tst_spreadsheet::typedValues_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");

    QTest::newRow("double") << QVariant(12.5) << "float"
                            << "12.5"
                            << "12.5";
    QTest::newRow("negative") << QVariant(-0.25) << "float"
                              << "-0.25"
                              << "-0.25";
    QTest::newRow("integer") << QVariant(qlonglong(1234567)) << "float"
                             << "1234567"
                             << "1234567";
    QTest::newRow("money") << QVariant::fromValue(Money::fromRaw(45500)) << "float"
                           << "4.55"
                           << "4.55";
    QTest::newRow("text") << QVariant(QStringLiteral("ხაჭაპური")) << "string"
                          << ""
                          << "ხაჭაპური";
    QTest::newRow("digits stay text") << QVariant(QStringLiteral("007")) << "string"
                                      << ""
                                      << "007";
    QTest::newRow("formula-like text stays text") << QVariant(QStringLiteral("=1+1")) << "string"
                                                  << ""
                                                  << "=1+1";
    QTest::newRow("day") << QVariant(QDateTime(QDate(2024, 6, 8), QTime(0, 0))) << "date"
                         << "2024-06-08"
                         << "08.06.2024";
    QTest::newRow("date") << QVariant(QDate(1999, 12, 31)) << "date"
                          << "1999-12-31"
                          << "31.12.1999";
    QTest::newRow("date-time") << QVariant(QDateTime(QDate(2024, 6, 8), QTime(13, 15))) << "date"
                               << "2024-06-08T13:15:00"
                               << "08.06.2024 13:15";
    QTest::newRow("null") << QVariant() << ""
                          << ""
                          << "";
    QTest::newRow("empty text") << QVariant(QString()) << ""
                                << ""
                                << "";
}

void tst_spreadsheet::typedValues()
{
    QFETCH(QVariant, value);
    QFETCH(QString, type);
    QFETCH(QString, stored);
    QFETCH(QString, shown);

    auto book = m_test->office().newWorkbook(blankTemplate());
    Worksheet& sheet = book->firstSheet();
    sheet.setValue(QStringLiteral("C4"), QStringLiteral("before"));  // an empty value empties the cell
    sheet.setValue(QStringLiteral("C4"), value);
    QCOMPARE(sheet.text(QStringLiteral("C4")), shown);
    book->show();

    const OfficeTesting::Sheet copy = shownSheet();
    QVERIFY2(copy.isValid(), qPrintable(copy.error()));
    const OfficeTesting::Cell c = copy.cell(QStringLiteral("C4"));
    QCOMPARE(c.type, type);
    if (!stored.isEmpty())
        QCOMPARE(c.value, stored);
    QCOMPARE(c.text, shown);
}

void tst_spreadsheet::typedEntries_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("stored");

    QTest::newRow("number, full stop") << QChar(u'.') << "50.05"
                                       << "float"
                                       << "50.05";
    QTest::newRow("number, comma") << QChar(u',') << "50,05"
                                   << "float"
                                   << "50.05";
    QTest::newRow("comma number under a full stop is text") << QChar(u'.') << "50,05"
                                                            << "string"
                                                            << "";
    QTest::newRow("whole number") << QChar(u',') << "7"
                                  << "float"
                                  << "7";
    QTest::newRow("negative") << QChar(u'.') << "-3.5"
                              << "float"
                              << "-3.5";
    QTest::newRow("caption") << QChar(u'.') << "ფასი:"
                             << "string"
                             << "";
    QTest::newRow("caption with a number") << QChar(u'.') << "შეკვეთა 7"
                                           << "string"
                                           << "";
    QTest::newRow("empty") << QChar(u'.') << ""
                           << ""
                           << "";
}

void tst_spreadsheet::typedEntries()
{
    QFETCH(QChar, separator);
    QFETCH(QString, entry);
    QFETCH(QString, type);
    QFETCH(QString, stored);

    Formats::setDecimalSeparator(separator);
    auto book = m_test->office().newWorkbook(blankTemplate());
    book->firstSheet().setValue(QStringLiteral("E9"), QStringLiteral("before"));
    book->firstSheet().setFormula(QStringLiteral("E9"), entry);
    book->show();

    const OfficeTesting::Cell c = shownSheet().cell(QStringLiteral("E9"));
    QCOMPARE(c.type, type);
    QCOMPARE(c.value, stored);
    if (type == QLatin1String("string"))
        QCOMPARE(c.text, entry);
}

void tst_spreadsheet::excelFormulas_data()
{
    QTest::addColumn<QVariant>("h6");
    QTest::addColumn<QVariant>("e6");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("shown");

    const QString j6 = QStringLiteral("=IF((IF(H6>0,E6/2,E6))>0,(IF(H6>0,E6/2,E6)),\"\")");
    QTest::newRow("H empty: the price") << QVariant() << QVariant(12.5) << j6 << "12.5";
    QTest::newRow("H above zero: halved") << QVariant(1.0) << QVariant(12.5) << j6 << "6.25";
    QTest::newRow("H zero: the price") << QVariant(0.0) << QVariant(3.0) << j6 << "3";
    QTest::newRow("no price: empty text") << QVariant(1.0) << QVariant() << j6 << "";
    QTest::newRow("text with a comma")
        << QVariant(1.0) << QVariant() << QStringLiteral("=IF(H6>0,\"a, b\",\"c\")") << "a, b";
    QTest::newRow("function of several arguments")
        << QVariant(2.0) << QVariant(3.0) << QStringLiteral("=ROUND(MAX(H6,E6,1)/7,3)") << "0.429";
}

void tst_spreadsheet::excelFormulas()
{
    QFETCH(QVariant, h6);
    QFETCH(QVariant, e6);
    QFETCH(QString, formula);
    QFETCH(QString, shown);

    auto book = m_test->office().newWorkbook(blankTemplate());
    Worksheet& sheet = book->firstSheet();
    sheet.setValue(QStringLiteral("H6"), h6);
    sheet.setValue(QStringLiteral("E6"), e6);
    sheet.setFormula(QStringLiteral("J6"), formula);
    QCOMPARE(sheet.text(QStringLiteral("J6")), shown);
    book->close();
}

void tst_spreadsheet::refusedFormula_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<bool>("refused");

    // Formulas the office cannot read are refused, as a spreadsheet refuses them when typed.
    QTest::newRow("missing operand") << "=IF(H6>0,E6/,E6)" << true;
    QTest::newRow("missing operator") << "=IF((E6 2,1)" << true;
    QTest::newRow("trailing operator") << "=E6+" << true;
    QTest::newRow("divisor left empty") << BillFormulaWithoutDivisor << true;
    // Errors of calculation stand, shown in the cell.
    QTest::newRow("division by zero") << "=E6/0" << false;
    QTest::newRow("unknown function") << "=SUMX(E6,1)" << false;
    QTest::newRow("text in arithmetic") << "=\"a\"+E6" << false;
}

void tst_spreadsheet::refusedFormula()
{
    QFETCH(QString, formula);
    QFETCH(bool, refused);

    auto book = m_test->office().newWorkbook(blankTemplate());
    Worksheet& sheet = book->firstSheet();
    sheet.setValue(QStringLiteral("E6"), 3.0);
    if (refused) {
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, sheet.setFormula(QStringLiteral("J6"), formula));
    } else {
        sheet.setFormula(QStringLiteral("J6"), formula);
        QVERIFY(sheet.text(QStringLiteral("J6")).startsWith(u'#'));
    }
    book->close();
}

void tst_spreadsheet::valueBlock()
{
    const QDateTime day(QDate(2024, 6, 8), QTime(0, 0));
    const QDateTime moment(QDate(2024, 6, 9), QTime(19, 20));
    auto book = m_test->office().newWorkbook(blankTemplate());
    Worksheet& sheet = book->firstSheet();
    sheet.setValue(QStringLiteral("E5"), QStringLiteral("left alone"));
    sheet.setValues(
        QStringLiteral("B4"),
        {
            {QVariant(7.0), QStringLiteral("ლობიო"), day, QVariant(), moment},
            {QVariant(qlonglong(8)), QStringLiteral("12"), QVariant(), QVariant(2.5)},  // short row
            {QVariant(), QString(), day.addDays(1), QVariant(-1.0), day},
        });
    book->show();

    const OfficeTesting::Sheet copy = shownSheet();
    struct Expected
    {
        const char* cell;
        const char* type;
        const char* value;
        const char* text;
    };
    const Expected expected[] = {
        {"B4", "float", "7", "7"},
        {"C4", "string", "", "ლობიო"},
        {"D4", "date", "2024-06-08", "08.06.2024"},
        {"E4", "", "", ""},
        {"F4", "date", "2024-06-09T19:20:00", "09.06.2024 19:20"},
        {"B5", "float", "8", "8"},
        {"C5", "string", "", "12"},
        {"D5", "", "", ""},
        {"E5", "float", "2.5", "2.5"},  // the block wrote over what stood there
        {"F5", "", "", ""},             // past the short row's end
        {"B6", "", "", ""},
        {"C6", "", "", ""},
        {"D6", "date", "2024-06-09", "09.06.2024"},
        {"E6", "float", "-1", "-1"},
        {"F6", "date", "2024-06-08", "08.06.2024 00:00"},  // a column with a time of day shows times
        {"B7", "", "", ""},
    };
    for (const Expected& e : expected) {
        const OfficeTesting::Cell c = copy.cell(QLatin1String(e.cell));
        QVERIFY2(c.type == QLatin1String(e.type), e.cell);
        QVERIFY2(c.value == QLatin1String(e.value), e.cell);
        QVERIFY2(c.text == QString::fromUtf8(e.text), e.cell);
    }
}

void tst_spreadsheet::boldRange()
{
    auto book = m_test->office().newWorkbook(blankTemplate());
    Worksheet& sheet = book->firstSheet();
    sheet.setValue(QStringLiteral("C10"), QStringLiteral("სულ ფასი: "));
    sheet.setValue(QStringLiteral("J12"), QStringLiteral("შეკვეთა 7"));
    sheet.setValue(QStringLiteral("B11"), QStringLiteral("outside"));
    sheet.setBold(QStringLiteral("C10"), QStringLiteral("J12"));
    book->show();

    const OfficeTesting::Sheet copy = shownSheet();
    for (const char* inside : {"C10", "D10", "J10", "C11", "F11", "C12", "J12"})
        QVERIFY2(copy.cell(QLatin1String(inside)).bold, inside);
    for (const char* outside : {"B10", "K10", "C9", "C13", "B11", "J13"})
        QVERIFY2(!copy.cell(QLatin1String(outside)).bold, outside);
    QCOMPARE(copy.text(QStringLiteral("C10")), QStringLiteral("სულ ფასი: "));
}

void tst_spreadsheet::readsTemplateText_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QVariant>("a2");
    QTest::addColumn<QString>("text");

    QTest::newRow("xls, number") << "divisor.xls" << QVariant(2) << "2";
    QTest::newRow("xlsx, number") << "divisor.xlsx" << QVariant(4) << "4";
    QTest::newRow("xlsx, fraction") << "fraction.xlsx" << QVariant(1.5) << "1.5";
    QTest::newRow("xls, text") << "text.xls" << QVariant(QStringLiteral("ორი")) << "ორი";
}

void tst_spreadsheet::readsTemplateText()
{
    QFETCH(QString, fileName);
    QFETCH(QVariant, a2);
    QFETCH(QString, text);

    const QString path =
        m_test->makeWorkbook(fileName, OfficeTesting::flatWorkbook({{QStringLiteral("A2"), a2}}));
    auto book = m_test->office().newWorkbook(path);
    QCOMPARE(book->firstSheet().text(QStringLiteral("A2")), text);
    QCOMPARE(book->firstSheet().text(QStringLiteral("A3")), QString());
}

void tst_spreadsheet::templateStaysUntouched()
{
    const QString path = m_test->makeWorkbook(QStringLiteral("untouched.xls"),
                                              OfficeTesting::flatWorkbook({{QStringLiteral("A2"), 2}}));
    auto digest = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    };
    const QByteArray before = digest();
    {
        auto book = m_test->office().newWorkbook(path);
        book->firstSheet().setValue(QStringLiteral("A2"), 9.0);
        book->firstSheet().setValue(QStringLiteral("B6"), QStringLiteral("changed"));
        book->close();
    }
    {
        auto book = m_test->office().newWorkbook(path);  // dropped open: closed unsaved
        book->firstSheet().setValue(QStringLiteral("A2"), 8.0);
    }
    QCOMPARE(digest(), before);
    auto again = m_test->office().newWorkbook(path);
    QCOMPARE(again->firstSheet().text(QStringLiteral("A2")), QStringLiteral("2"));
}

void tst_spreadsheet::missingTemplate()
{
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError,
                             m_test->office().newWorkbook(m_test->file(QStringLiteral("none.xls"))));
    // The office goes on working after the failure.
    auto book = m_test->office().newWorkbook(blankTemplate());
    QCOMPARE(book->firstSheet().text(QStringLiteral("A2")), QStringLiteral("2"));
}

void tst_spreadsheet::printJobs()
{
    auto book = m_test->office().newWorkbook(blankTemplate());
    book->firstSheet().setValue(QStringLiteral("C6"), QStringLiteral("ხაჭაპური"));
    book->print();
    QCOMPARE(m_test->prints().size(), 1);
    book->print();
    book->close();

    const QStringList prints = m_test->prints();
    QCOMPARE(prints.size(), 2);
    for (const QString& p : prints) {
        QCOMPARE(m_test->printStart(p), QByteArray("%PDF"));
        QVERIFY2(m_test->printSize(p) > 1000, qPrintable(p));
    }
    QVERIFY(m_test->shown().isEmpty());
}

void tst_spreadsheet::showHandsOverACopy()
{
    const QString path =
        m_test->makeWorkbook(QStringLiteral("report.xlsx"),
                             OfficeTesting::flatWorkbook({{QStringLiteral("B3"), QStringLiteral("თარიღი")}}));
    auto book = m_test->office().newWorkbook(path);
    book->firstSheet().setValue(QStringLiteral("A1"), QStringLiteral("საწყობი"));
    book->show();

    QCOMPARE(m_test->shown().size(), 1);
    const QString file = m_test->shown().constFirst();
    QVERIFY(file != path);
    const OfficeTesting::Sheet copy(file);
    QCOMPARE(copy.text(QStringLiteral("A1")), QStringLiteral("საწყობი"));
    QCOMPARE(copy.text(QStringLiteral("B3")), QStringLiteral("თარიღი"));
    // Shown means handed over: the workbook here is closed.
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->print());
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->firstSheet().setValue(QStringLiteral("A1"), 1.0));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book->firstSheet().text(QStringLiteral("A1")));
    QVERIFY(m_test->prints().isEmpty());
}

void tst_spreadsheet::restartsAfterTheOfficeDied()
{
    // A workbook of the dead office is gone with it; the next workbook starts a new office.
    auto orphan = m_test->office().newWorkbook(blankTemplate());
    const qint64 pid = m_test->office().processId();
    const int starts = m_test->office().starts();
    QVERIFY(pid > 0);
    QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
    // While the office starts again the windows keep painting and the wait indicator shows.
    QWidget window;
    window.show();
    int ticks = 0;
    bool indicatorSeen = false;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        ++ticks;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QProgressDialog*>(w);
                d && d->isVisible() && d->objectName() == QLatin1String("OfficeStarting"))
                indicatorSeen = indicatorSeen || d->labelText() == OfficeThread::StartingText;
    });
    ticker.start(20);
    QElapsedTimer clock;
    clock.start();
    auto book = m_test->office().newWorkbook(blankTemplate());
    const qint64 elapsed = clock.elapsed();
    ticker.stop();

    QCOMPARE(m_test->office().starts(), starts + 1);
    QVERIFY(m_test->office().processId() != pid);
    QCOMPARE(book->firstSheet().text(QStringLiteral("A2")), QStringLiteral("2"));
    book->firstSheet().setValue(QStringLiteral("B6"), QStringLiteral("after"));
    book->print();
    book->close();
    QCOMPARE(m_test->prints().size(), 1);
    QVERIFY(indicatorSeen);
    QVERIFY2(ticks >= elapsed / 20 / 3,
             qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(elapsed)));

    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, orphan->firstSheet().setValue(QStringLiteral("B6"), 1.0));
    orphan.reset();  // letting go of it costs nothing more
    QCOMPARE(m_test->office().starts(), starts + 1);
}

void tst_spreadsheet::officeEndsWithItsOwner()
{
    qint64 pid = 0;
    {
        UnoOffice other;
        QCOMPARE(other.processId(), 0);  // nothing runs before the first job
        other.start();
        pid = other.processId();
        QVERIFY(pid > 0);
        QVERIFY(pid != m_test->office().processId());  // an office of its own
        auto book = other.newWorkbook(blankTemplate());
        book->firstSheet().setValue(QStringLiteral("B2"), QStringLiteral("ღია"));
        book.reset();
    }
    QCOMPARE(::kill(pid_t(pid), 0), -1);  // ended and gone
    // The other office is untouched.
    auto book = m_test->office().newWorkbook(blankTemplate());
    QCOMPARE(book->firstSheet().text(QStringLiteral("A2")), QStringLiteral("2"));
}

QTEST_MAIN(tst_spreadsheet)
#include "tst_spreadsheet.moc"
