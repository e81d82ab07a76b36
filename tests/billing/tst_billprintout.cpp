#include "shell/messages.h"
#include "billing/billprintout.h"
#include "office/unooffice.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "tests/office/officetesting.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <memory>

Q_DECLARE_METATYPE(BillPrintout::Line)

// The bill printout with a real headless LibreOffice: the cell map for one line
// and several, with and without service, from the shipped template and from
// templates of the test's own in .xls and .xlsx; the formula of column J; the
// order fill, fiscal total, two print jobs, close; and the cases that print nothing.
class tst_billprintout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void cellMap_data();
    void cellMap();
    void formulaColumnJ_data();
    void formulaColumnJ();
    void stepsInOrder();
    void everyPrintoutPrintsTwice();
    void aPrepaymentShowsWhatIsDue();
    void theBillReadsWhole();
    void nothingPrinted_data();
    void nothingPrinted();

private:
    QString templatePath(const QString& kind);

    std::unique_ptr<OfficeTesting::TestOffice> m_test;
};

namespace {

using BillPrintout::Line;

const Line Khachapuri{12, QStringLiteral("ხაჭაპური"), 2, 5, 10, 7};
const Line Mtsvadi{3, QStringLiteral("მწვადი"), 1, 45.5, 45.5, 12};
const Line Limonati{4, QStringLiteral("ლიმონათი"), 3, 2.5, 7.5, 7};
const Line Lobio{7, QStringLiteral("ლობიო"), 0.5, 4.1, 2.05, 7};
const Line Chai{5, QStringLiteral("ჩაი"), 3, 0.3333, 0.9999, 21};

BillPrintout::Order order(QList<Line> lines, bool service, double percent = 10)
{
    BillPrintout::Order o;
    o.lines = std::move(lines);
    o.waiter = QStringLiteral("ანა");
    o.serviceApplied = service;
    o.servicePercent = percent;
    return o;
}

QString cell(char column, int row)
{
    return QChar::fromLatin1(column) + QString::number(row);
}

}  // namespace

void tst_billprintout::initTestCase()
{
    QVERIFY2(QFileInfo::exists(OfficeTesting::shippedTemplate(BillPrintout::TemplateName)),
             "the build makes the bill template beside the program");
    m_test = std::make_unique<OfficeTesting::TestOffice>();
    m_test->office().start();
    Messages::intercept([](const QString&) { return false; });
}

void tst_billprintout::cleanupTestCase()
{
    Messages::stopIntercepting();
    m_test.reset();
}

void tst_billprintout::init()
{
    m_test->clearPrints();
    m_test->clearShown();
    Messages::clearShown();
}

void tst_billprintout::cleanup()
{
    Formats::setDecimalSeparator(QChar());
    // Whatever happened, the printout never speaks to the user.
    QCOMPARE(Messages::shown(), QStringList());
}

// The shipped template, or one of the test's own: A2 holds 4 and H7 a mark above
// zero ("xls", "xlsx"), or A2 is left empty, which breaks the formula ("broken").
QString tst_billprintout::templatePath(const QString& kind)
{
    if (kind == QLatin1String("shipped"))
        return OfficeTesting::shippedTemplate(BillPrintout::TemplateName);
    const QString extension = kind == QLatin1String("xlsx") ? QStringLiteral("xlsx") : QStringLiteral("xls");
    QMap<QString, QVariant> cells = {
        {QStringLiteral("B5"), QStringLiteral("№")},
        {QStringLiteral("C5"), QStringLiteral("დასახელება")},
        {QStringLiteral("H5"), QStringLiteral("½")},
        {QStringLiteral("H7"), 1},
    };
    if (kind != QLatin1String("broken"))
        cells.insert(QStringLiteral("A2"), 4);
    return m_test->makeWorkbook(QStringLiteral("bill-") + kind + u'.' + extension,
                                OfficeTesting::flatWorkbook(cells));
}

void tst_billprintout::cellMap_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QList<Line>>("lines");
    QTest::addColumn<bool>("service");
    QTest::addColumn<double>("percent");
    QTest::addColumn<QStringList>("lineTotals");  // F of each line
    QTest::addColumn<QString>("serviceCaption");
    QTest::addColumn<QString>("sum");
    QTest::addColumn<QString>("serviceAmount");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("orderText");

    QTest::newRow("one line, no service") << "shipped" << QChar(u'.') << QList<Line>{Khachapuri} << false
                                          << 10.0 << QStringList{"10"} << "მომსახურება 0%"
                                          << "10"
                                          << "0"
                                          << "10"
                                          << "შეკვეთა 7";
    QTest::newRow("one line, 10 % on 45.5") << "shipped" << QChar(u'.') << QList<Line>{Mtsvadi} << true
                                            << 10.0 << QStringList{"45.5"} << "მომსახურება 10%"
                                            << "45.5"
                                            << "4.55"
                                            << "50.05"
                                            << "შეკვეთა 12";
    QTest::newRow("one line, 10 % on 45.5, comma separator")
        << "shipped" << QChar(u',') << QList<Line>{Mtsvadi} << true << 10.0 << QStringList{"45.5"}
        << "მომსახურება 10%"
        << "45.5"
        << "4.55"
        << "50.05"
        << "შეკვეთა 12";
    QTest::newRow("three lines, 15 %")
        << "shipped" << QChar(u'.') << QList<Line>{Khachapuri, Limonati, Lobio} << true << 15.0
        << QStringList{"10", "7.5", "2.05"} << "მომსახურება 15%"
        << "19.55"
        << "2.93"
        << "22.48"
        << "შეკვეთა 7";
    QTest::newRow("three lines, service not applied")
        << "shipped" << QChar(u'.') << QList<Line>{Khachapuri, Limonati, Lobio} << false << 15.0
        << QStringList{"10", "7.5", "2.05"} << "მომსახურება 0%"
        << "19.55"
        << "0"
        << "19.55"
        << "შეკვეთა 7";
    // The totals are in cents: the total is the order's payable total
    // (1.1249 -> 1.12), and the sum and service shown add up to it.
    QTest::newRow("rounded totals, 12.5 %, comma") << "shipped" << QChar(u',') << QList<Line>{Chai} << true
                                                   << 12.5 << QStringList{"1"} << "მომსახურება 12,5%"
                                                   << "1"
                                                   << "0.12"
                                                   << "1.12"
                                                   << "შეკვეთა 21";
    QTest::newRow("xls template, two lines") << "xls" << QChar(u'.') << QList<Line>{Khachapuri, Mtsvadi}
                                             << true << 10.0 << QStringList{"10", "45.5"} << "მომსახურება 10%"
                                             << "55.5"
                                             << "5.55"
                                             << "61.05"
                                             << "შეკვეთა 12";
    QTest::newRow("xlsx template, one line") << "xlsx" << QChar(u',') << QList<Line>{Mtsvadi} << true << 10.0
                                             << QStringList{"45.5"} << "მომსახურება 10%"
                                             << "45.5"
                                             << "4.55"
                                             << "50.05"
                                             << "შეკვეთა 12";
}

void tst_billprintout::cellMap()
{
    QFETCH(QString, kind);
    QFETCH(QChar, separator);
    QFETCH(QList<Line>, lines);
    QFETCH(bool, service);
    QFETCH(double, percent);
    QFETCH(QStringList, lineTotals);
    QFETCH(QString, serviceCaption);
    QFETCH(QString, sum);
    QFETCH(QString, serviceAmount);
    QFETCH(QString, total);
    QFETCH(QString, orderText);

    Formats::setDecimalSeparator(separator);
    OfficeTesting::RecordingOffice office(m_test->office());
    QVERIFY(BillPrintout::print(office, templatePath(kind), order(lines, service, percent), [](double) {}));
    QCOMPARE(m_test->shown().size(), 1);
    const OfficeTesting::Sheet sheet(m_test->shown().constFirst());
    QVERIFY2(sheet.isValid(), qPrintable(sheet.error()));

    QCOMPARE(sheet.text(QStringLiteral("D3")), QStringLiteral("ანა"));
    for (int i = 0; i < lines.size(); ++i) {
        const int row = 6 + i;
        const Line& line = lines[i];
        QCOMPARE(sheet.cell(cell('B', row)).type, QStringLiteral("float"));
        QCOMPARE(sheet.cell(cell('B', row)).value.toLongLong(), line.Kerdzi_N);
        QCOMPARE(sheet.text(cell('C', row)), line.Kerdzi_DAS);
        QCOMPARE(sheet.cell(cell('D', row)).value.toDouble(), line.Raodenoba);
        QCOMPARE(sheet.cell(cell('E', row)).value.toDouble(), line.GFASI);
        QCOMPARE(sheet.cell(cell('F', row)).type, QStringLiteral("float"));
        QCOMPARE(sheet.cell(cell('F', row)).value, lineTotals[i]);
        QVERIFY2(!sheet.cell(cell('J', row)).formula.isEmpty(), qPrintable(cell('J', row)));
    }
    // Two empty rows, then the footer from R = n + 8.
    const int R = int(lines.size()) + 8;
    for (int row = 6 + int(lines.size()); row < R; ++row)
        for (char column : {'B', 'C', 'D', 'E', 'F', 'J'})
            QVERIFY2(sheet.cell(cell(column, row)).isEmpty(), qPrintable(cell(column, row)));

    QCOMPARE(sheet.text(cell('C', R)), QStringLiteral("ფასი:"));
    QCOMPARE(sheet.text(cell('C', R + 1)), serviceCaption);
    QCOMPARE(sheet.text(cell('C', R + 2)), QStringLiteral("სულ ფასი: "));
    for (char column : {'E', 'J'}) {
        QCOMPARE(sheet.cell(cell(column, R)).value, sum);
        QCOMPARE(sheet.cell(cell(column, R + 1)).value, serviceAmount);
        QCOMPARE(sheet.cell(cell(column, R + 2)).value, total);
        QCOMPARE(sheet.cell(cell(column, R + 2)).type, QStringLiteral("float"));
        QVERIFY(sheet.cell(cell(column, R + 3)).isEmpty());
        QCOMPARE(sheet.text(cell(column, R + 4)), orderText);
    }
    QCOMPARE(sheet.text(cell('C', R + 5)), QStringLiteral("მადლობთ რომ გვეწვიეთ! "));

    // The shipped template shows every amount with two decimals: prices, line
    // totals and the totals alike, the quantity in its own form.
    if (kind == QLatin1String("shipped")) {
        QStringList amountCells;
        for (int i = 0; i < lines.size(); ++i)
            amountCells << cell('E', 6 + i) << cell('F', 6 + i) << cell('J', 6 + i);
        for (int row = R; row <= R + 2; ++row)
            amountCells << cell('E', row) << cell('J', row);
        for (const QString& at : std::as_const(amountCells)) {
            const QString shown = sheet.text(at);
            QVERIFY2(shown.isEmpty() || OfficeTesting::showsTwoDecimals(shown), qPrintable(at + QStringLiteral(": ") + shown));
        }
        QCOMPARE(sheet.text(cell('E', R + 2)).replace(u',', u'.').toDouble(), total.toDouble());
        QCOMPARE(sheet.text(cell('D', 6)), Formats::general(lines.first().Raodenoba));
    }

    // Bold from C(R+2) to J(R+4), and nothing around it.
    for (int row = R + 2; row <= R + 4; ++row)
        for (char column = 'C'; column <= 'J'; ++column)
            QVERIFY2(sheet.cell(cell(column, row)).bold, qPrintable(cell(column, row)));
    for (const QString& outside : {cell('C', R + 1), cell('E', R + 1), cell('J', R + 1), cell('B', R + 2),
                                   cell('K', R + 3), cell('C', R + 5), cell('E', R + 5)})
        QVERIFY2(!sheet.cell(outside).bold, qPrintable(outside));
}

void tst_billprintout::formulaColumnJ_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("shown");  // J6, J7, J8

    // Prices 10, 6 and 0. The test templates divide by A2 = 4 where H holds a mark
    // (row 7); the shipped one divides by 2, marks no row and shows two decimals.
    QTest::newRow("shipped") << "shipped" << QStringList{"10.00", "6.00", ""};
    QTest::newRow("xls") << "xls" << QStringList{"10", "1.5", ""};
    QTest::newRow("xlsx") << "xlsx" << QStringList{"10", "1.5", ""};
}

void tst_billprintout::formulaColumnJ()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, shown);

    const QList<Line> lines = {
        {1, QStringLiteral("ერთი"), 1, 10, 10, 3},
        {2, QStringLiteral("ორი"), 2, 6, 12, 3},
        {3, QStringLiteral("საჩუქარი"), 1, 0, 0, 3},
    };
    OfficeTesting::RecordingOffice office(m_test->office());
    QVERIFY(BillPrintout::print(office, templatePath(kind), order(lines, false), [](double) {}));
    const OfficeTesting::Sheet sheet(m_test->shown().constFirst());
    for (int i = 0; i < shown.size(); ++i) {
        const OfficeTesting::Cell j = sheet.cell(cell('J', 6 + i));
        QVERIFY2(!j.formula.isEmpty(), qPrintable(j.text));
        QCOMPARE(j.text, shown[i]);
    }
    // The divisor goes into the formula as text: A2 itself is not referred to.
    QVERIFY(!sheet.cell(QStringLiteral("J7")).formula.contains(QLatin1String("A2")));
}

void tst_billprintout::stepsInOrder()
{
    OfficeTesting::RecordingOffice office(m_test->office());
    int printedWhenTotalSent = -1;
    const bool printed = BillPrintout::print(
        office, templatePath(QStringLiteral("shipped")), order({Mtsvadi}, true), [&](double total) {
            office.log.append(QStringLiteral("total ") + QString::number(total, 'g', 15));
            printedWhenTotalSent = int(m_test->prints().size());
        });
    QVERIFY(printed);
    QCOMPARE(office.log, (QStringList{"new P_fiscal_printer.xls", "total 50.05", "print", "print", "close"}));
    QCOMPARE(printedWhenTotalSent, 0);
    QCOMPARE(m_test->prints().size(), 2);
}

void tst_billprintout::everyPrintoutPrintsTwice()
{
    int totalsSent = 0;
    for (int run = 1; run <= 2; ++run) {
        QVERIFY(BillPrintout::print(m_test->office(), templatePath(QStringLiteral("shipped")),
                                    order({Khachapuri, Lobio}, false), [&](double) { ++totalsSent; }));
        QCOMPARE(totalsSent, run);
        const QStringList prints = m_test->prints();
        QCOMPARE(prints.size(), 2 * run);
        for (const QString& p : prints)
            QCOMPARE(m_test->printStart(p), QByteArray("%PDF"));
    }
    QVERIFY(m_test->shown().isEmpty());  // closed unsaved, never shown
}

// A table that paid in advance: under the total the prepaid amount and what is
// left to pay; the order number and the thanks two rows lower. The fiscal
// driver still gets the whole bill total.
void tst_billprintout::aPrepaymentShowsWhatIsDue()
{
    BillPrintout::Order o = order({Khachapuri, Mtsvadi}, true, 12.5);  // 55.5 + 6.9375 = 62.4375
    o.prepaid = *Money::parse(QStringLiteral("20.5"));
    OfficeTesting::RecordingOffice office(m_test->office());
    double sent = 0;
    QVERIFY(BillPrintout::print(office, templatePath(QStringLiteral("shipped")), o, [&](double total) { sent = total; }));
    QCOMPARE(sent, 62.44);
    const OfficeTesting::Sheet sheet(m_test->shown().constFirst());
    const int R = 10;
    QCOMPARE(sheet.text(cell('E', R)), QStringLiteral("55.50"));
    QCOMPARE(sheet.text(cell('E', R + 1)), QStringLiteral("6.94"));
    QCOMPARE(sheet.text(cell('E', R + 2)), QStringLiteral("62.44"));
    QCOMPARE(sheet.text(cell('C', R + 3)), BillPrintout::PrepaidText);
    QCOMPARE(sheet.text(cell('C', R + 4)), BillPrintout::DueText);
    for (char column : {'E', 'J'}) {
        QCOMPARE(sheet.text(cell(column, R + 3)), QStringLiteral("20.50"));
        QCOMPARE(sheet.text(cell(column, R + 4)), QStringLiteral("41.94"));
        QVERIFY(sheet.cell(cell(column, R + 5)).isEmpty());
        QCOMPARE(sheet.text(cell(column, R + 6)), QStringLiteral("შეკვეთა 12"));
        QVERIFY(sheet.cell(cell(column, R + 6)).bold);
    }
    QCOMPARE(sheet.text(cell('C', R + 7)), BillPrintout::ThanksText);
}

// The printed bill reads whole: the longest names of the demo menu fit their
// column on one line, the headings over the numbers stand apart, and the PDF
// carries each name and heading whole.
void tst_billprintout::theBillReadsWhole()
{
    const QList<Line> lines = {
        {1, QStringLiteral("ტარხუნის ლიმონათი 0.5 ლ"), 2, 3.5, 7, 30},
        {2, QStringLiteral("ქართული სალათი ნიგვზით"), 1, 12.25, 12.25, 30},
        {3, QStringLiteral("ხინკალი ქალაქური"), 10, 1.2, 12, 30},
    };
    OfficeTesting::RecordingOffice office(m_test->office());
    QVERIFY(BillPrintout::print(office, templatePath(QStringLiteral("shipped")), order(lines, true, 12.5), [](double) {}));
    const OfficeTesting::Sheet sheet(m_test->shown().constFirst());
    QVERIFY2(sheet.isValid(), qPrintable(sheet.error()));

    // The sheet's text is 8-point DejaVu Sans, headings bold; a cell keeps about
    // a millimetre each side.
    const auto widthCm = [](const QString& text, bool bold) { return OfficeTesting::textWidth(text, 8, bold); };
    for (const Line& line : lines) {
        QVERIFY2(widthCm(line.Kerdzi_DAS, false) + 0.2 <= sheet.columnWidth(2),
                 qPrintable(QStringLiteral("%1: %2 cm in %3 cm").arg(line.Kerdzi_DAS).arg(widthCm(line.Kerdzi_DAS, false)).arg(sheet.columnWidth(2))));
    }
    for (const auto& [column, heading] : {std::pair{3, QStringLiteral("რაოდ.")}, std::pair{4, QStringLiteral("ფასი")},
                                          std::pair{5, QStringLiteral("ჯამი")}}) {
        QCOMPARE(sheet.text(cell(char('A' + column), 5)), heading);
        QVERIFY2(widthCm(heading, true) + 0.2 <= sheet.columnWidth(column), qPrintable(heading));
    }

    const QString pdf = m_test->printFile(m_test->prints().constFirst());
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY2(text.waitForFinished(30000) && text.exitCode() == 0, "pdftotext reads the printed bill");
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const Line& line : lines)
        QVERIFY2(printed.contains(line.Kerdzi_DAS), qPrintable(line.Kerdzi_DAS + QStringLiteral("\n") + printed));
    QVERIFY2(QRegularExpression(QStringLiteral("რაოდ\\.\\s+ფასი\\s+ჯამი")).match(printed).hasMatch(), qPrintable(printed));
    // 31.25 at 12.5 %: 35.15625 to pay, printed 35.16.
    QVERIFY2(printed.contains(QStringLiteral("35.16")), qPrintable(printed));
}

void tst_billprintout::nothingPrinted_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QList<Line>>("lines");
    QTest::addColumn<bool>("fiscalFails");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<bool>("totalSent");

    QTest::newRow("empty order") << "shipped" << QList<Line>{} << false << QStringList{} << false;
    QTest::newRow("missing template")
        << "missing" << QList<Line>{Khachapuri} << false << QStringList{} << false;
    QTest::newRow("formula refused") << "broken" << QList<Line>{Khachapuri} << false
                                     << QStringList{"new bill-broken.xls"} << false;
    QTest::newRow("fiscal exchange fails")
        << "shipped" << QList<Line>{Khachapuri} << true << QStringList{"new P_fiscal_printer.xls"} << true;
}

void tst_billprintout::nothingPrinted()
{
    QFETCH(QString, kind);
    QFETCH(QList<Line>, lines);
    QFETCH(bool, fiscalFails);
    QFETCH(QStringList, log);
    QFETCH(bool, totalSent);

    const QString path =
        kind == QLatin1String("missing") ? m_test->file(BillPrintout::TemplateName) : templatePath(kind);
    OfficeTesting::RecordingOffice office(m_test->office());
    bool sent = false;
    const bool printed = BillPrintout::print(office, path, order(lines, true), [&](double) {
        sent = true;
        if (fiscalFails)
            throw DbError(QStringLiteral("no settings row"));
    });
    QVERIFY(!printed);
    QCOMPARE(sent, totalSent);
    QCOMPARE(office.log, log);
    QVERIFY(m_test->prints().isEmpty());
    QVERIFY(m_test->shown().isEmpty());

    // The office is fine for the next printout.
    QVERIFY(BillPrintout::print(m_test->office(), templatePath(QStringLiteral("shipped")),
                                order({Khachapuri}, false), [](double) {}));
    QCOMPARE(m_test->prints().size(), 2);
}

QTEST_MAIN(tst_billprintout)
#include "tst_billprintout.moc"
