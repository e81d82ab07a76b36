#include "tests/support/globals.h"
#include "data/billtotal.h"
#include "data/formats.h"
#include "data/datamodule.h"

#include <QTest>

// Every number-to-text form the screens show, under both decimal separators.
// Expected texts are written with a full stop as decimal separator and a comma
// between thousands; under the comma locale they become a comma and a no-break
// space.
class tst_formats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TestSupport::resetGlobals(); }

    void general_data();
    void general();
    void shortest_data();
    void shortest();
    void upToTwoDecimals_data();
    void upToTwoDecimals();
    void fixedTwo_data();
    void fixedTwo();
    void money_data();
    void money();
    void orderTotal_data();
    void orderTotal();
    void parseNumber_data();
    void parseNumber();
    void parseInteger_data();
    void parseInteger();
    void dates_data();
    void dates();
};

namespace {

const QChar Separators[] = {QChar(u','), QChar(u'.')};

QString localised(QString text, QChar sep)
{
    if (sep == u'.')
        return text;
    for (QChar& c : text) {
        if (c == u'.')
            c = u',';
        else if (c == u',')
            c = QChar(0x00A0);
    }
    return text;
}

QString tagFor(QChar sep, const char* name)
{
    return QStringLiteral("%1 '%2'").arg(QLatin1String(name)).arg(sep);
}

// One row per separator for a number-to-text case.
void addNumberRows(const char* name, double value, const char* expected)
{
    for (const QChar sep : Separators)
        QTest::newRow(qPrintable(tagFor(sep, name)))
            << sep << value << localised(QString::fromUtf8(expected), sep);
}

void numberColumns()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
}

}  // namespace

void tst_formats::general_data()
{
    numberColumns();
    addNumberRows("whole", 10, "10");
    addNumberRows("fraction", 12.5, "12.5");
    addNumberRows("binary noise", 0.1 + 0.2, "0.3");
    addNumberRows("service total", 12.34 / 100 * 10 + 12.34, "13.574");
    addNumberRows("negative", -1.25, "-1.25");
    addNumberRows("zero", 0, "0");
    addNumberRows("no grouping", 1234567.5, "1234567.5");
}

void tst_formats::general()
{
    QFETCH(QChar, separator);
    QFETCH(double, value);
    QFETCH(QString, expected);
    Formats::setDecimalSeparator(separator);
    QCOMPARE(Formats::general(value), expected);
}

void tst_formats::shortest_data()
{
    numberColumns();
    addNumberRows("whole", 22, "22");
    addNumberRows("two decimals", 13.57, "13.57");
    addNumberRows("trailing zero dropped", 10.1, "10.1");
    addNumberRows("zeros of a whole number kept", 100, "100");
    addNumberRows("negative", -0.05, "-0.05");
    addNumberRows("zero", 0, "0");
    addNumberRows("four decimals", 0.0001, "0.0001");
}

void tst_formats::shortest()
{
    QFETCH(QChar, separator);
    QFETCH(double, value);
    QFETCH(QString, expected);
    Formats::setDecimalSeparator(separator);
    QCOMPARE(Formats::shortest(Money::fromDoubleHalfEven(value)), expected);
}

void tst_formats::upToTwoDecimals_data()
{
    numberColumns();
    addNumberRows("one decimal", 4.5, "4.5");
    addNumberRows("whole", 3, "3");
    addNumberRows("whole hundred", 100, "100");
    addNumberRows("half goes away from zero", 0.125, "0.13");
    addNumberRows("negative half", -0.125, "-0.13");
    addNumberRows("decimal half stored below", 2.675, "2.68");
    addNumberRows("1.005", 1.005, "1.01");
    addNumberRows("below half", 13.574, "13.57");
    addNumberRows("tiny", 0.001, "0");
}

void tst_formats::upToTwoDecimals()
{
    QFETCH(QChar, separator);
    QFETCH(double, value);
    QFETCH(QString, expected);
    Formats::setDecimalSeparator(separator);
    QCOMPARE(Formats::upToTwoDecimals(value), expected);
}

void tst_formats::fixedTwo_data()
{
    numberColumns();
    addNumberRows("one decimal", 12.5, "12.50");
    addNumberRows("whole", 3, "3.00");
    addNumberRows("zero", 0, "0.00");
    addNumberRows("half goes away from zero", 2.675, "2.68");
    addNumberRows("negative half", -1.005, "-1.01");
    addNumberRows("no grouping", 1234567.891, "1234567.89");
    // The amount first takes its four decimals, as the bill shows it (0.005,
    // 10.005); the fiscal printer registers that amount's two-decimal form.
    addNumberRows("half below the fourth decimal", 0.00495, "0.01");
    addNumberRows("just below a half", 10.0049999, "10.01");
    addNumberRows("negative below a cent", -0.001, "0.00");
}

void tst_formats::fixedTwo()
{
    QFETCH(QChar, separator);
    QFETCH(double, value);
    QFETCH(QString, expected);
    Formats::setDecimalSeparator(separator);
    QCOMPARE(Formats::fixedTwo(value), expected);
}

void tst_formats::money_data()
{
    numberColumns();
    addNumberRows("grouped", 1234567.891, "1,234,567.89 ₾");
    addNumberRows("zero", 0, "0.00 ₾");
    addNumberRows("negative", -1234.5, "-1,234.50 ₾");
    addNumberRows("service total", 13.574, "13.57 ₾");
    addNumberRows("rounding carries into a group", 999.995, "1,000.00 ₾");
    addNumberRows("below a thousand", 999.99, "999.99 ₾");
    addNumberRows("six digits", 100000, "100,000.00 ₾");
}

void tst_formats::money()
{
    QFETCH(QChar, separator);
    QFETCH(double, value);
    QFETCH(QString, expected);
    Formats::setDecimalSeparator(separator);
    QCOMPARE(Formats::money(value), expected);
    QCOMPARE(Formats::money(Money::fromDoubleHalfEven(value)), expected);
}

// The order's payable total: sum_PR (four decimals, halves to even) rounded once
// to cents, halves away from zero, shown with two decimals.
void tst_formats::orderTotal_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<double>("sum");
    QTest::addColumn<double>("percent");
    QTest::addColumn<QString>("sumPR");
    QTest::addColumn<QString>("shown");

    struct Case
    {
        const char* name;
        double sum;
        double percent;
        const char* sumPR;
        const char* shown;
    };
    const Case cases[] = {
        {"12.34 at 10%", 12.34, 10, "13.574", "13.57"},
        {"20 at 10%", 20, 10, "22", "22.00"},
        {"nothing ordered", 0, 10, "0", "0.00"},
        {"0.125 halves up", 0.125, 0, "0.125", "0.13"},
        {"0.135 halves up", 0.135, 0, "0.135", "0.14"},
        {"161 at 12.5%", 161, 12.5, "181.125", "181.13"},
        {"fifth decimal rounded", 1.23456, 0, "1.2346", "1.23"},
        {"service of a cent", 0.01, 12.5, "0.0112", "0.01"},
    };
    for (const Case& c : cases)
        for (const QChar sep : Separators)
            QTest::newRow(qPrintable(tagFor(sep, c.name)))
                << sep << c.sum << c.percent << QString::fromLatin1(c.sumPR)
                << localised(QString::fromLatin1(c.shown), sep);
}

void tst_formats::orderTotal()
{
    QFETCH(QChar, separator);
    QFETCH(double, sum);
    QFETCH(double, percent);
    QFETCH(QString, sumPR);
    QFETCH(QString, shown);
    Formats::setDecimalSeparator(separator);
    const Money total = TDM::totalWithService(sum, percent);
    QCOMPARE(total, *Money::parse(sumPR));
    QCOMPARE(Formats::fixedTwo(BillTotal::toCents(total)), shown);
    QCOMPARE(Formats::fixedTwo(BillTotal::payable(sum, percent, true)), shown);
}

void tst_formats::parseNumber_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");

    for (const QChar sep : Separators) {
        const QChar other = sep == u',' ? QChar(u'.') : QChar(u',');
        auto row = [sep](const char* name, const QString& text, bool valid, double value) {
            QTest::newRow(qPrintable(tagFor(sep, name))) << sep << text << valid << value;
        };
        const auto with = [](const char* text, QChar c) { return QString::fromLatin1(text).replace(u'.', c); };
        row("own separator", with("1.5", sep), true, 1.5);
        row("other separator", with("1.5", other), false, 0);
        row("whole", QStringLiteral("12"), true, 12);
        row("blanks around", with(" 3.25 ", sep), true, 3.25);
        row("negative", with("-2.5", sep), true, -2.5);
        row("more than four decimals", with("0.123456", sep), true, 0.123456);
        row("empty", QString(), false, 0);
        row("letters", QStringLiteral("abc"), false, 0);
        row("two separators", with("1.2.3", sep), false, 0);
        row("grouped", QStringLiteral("1 000"), false, 0);
    }
}

void tst_formats::parseNumber()
{
    QFETCH(QChar, separator);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);
    Formats::setDecimalSeparator(separator);
    const std::optional<double> n = Formats::parseNumber(text);
    QCOMPARE(n.has_value(), valid);
    if (valid)
        QCOMPARE(*n, value);
}

void tst_formats::parseInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");

    QTest::newRow("number") << "12" << true << 12;
    QTest::newRow("blanks") << " 7 " << true << 7;
    QTest::newRow("negative") << "-3" << true << -3;
    QTest::newRow("fraction") << "1.5" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("letters") << "x1" << false << 0;
}

void tst_formats::parseInteger()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const std::optional<int> n = Formats::parseInteger(text);
    QCOMPARE(n.has_value(), valid);
    if (valid)
        QCOMPARE(*n, value);
}

void tst_formats::dates_data()
{
    QTest::addColumn<QDateTime>("value");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("dateTime");

    QTest::newRow("midnight") << QDateTime(QDate(2024, 6, 8), QTime(0, 0)) << "08.06.2024"
                              << "08.06.2024 00:00";
    QTest::newRow("seconds dropped") << QDateTime(QDate(2024, 6, 8), QTime(9, 5, 59)) << "08.06.2024"
                                     << "08.06.2024 09:05";
    QTest::newRow("end of year") << QDateTime(QDate(2023, 12, 31), QTime(23, 59)) << "31.12.2023"
                                 << "31.12.2023 23:59";
    QTest::newRow("null") << QDateTime() << ""
                          << "";
}

void tst_formats::dates()
{
    QFETCH(QDateTime, value);
    QFETCH(QString, date);
    QFETCH(QString, dateTime);
    for (const QChar sep : Separators) {
        Formats::setDecimalSeparator(sep);
        QCOMPARE(Formats::date(value), date);
        QCOMPARE(Formats::dateTime(value), dateTime);
    }
}

QTEST_GUILESS_MAIN(tst_formats)
#include "tst_formats.moc"
