#include "tests/support/globals.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/money.h"

#include <QTest>
#include <limits>

// Fixed-point amounts: what the program reads from typed text and from float
// columns, how it rounds, and the text it writes to the database.
class tst_money : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TestSupport::resetGlobals(); }

    void parse_data();
    void parse();
    void parseLocal_data();
    void parseLocal();
    void refusalText_data();
    void refusalText();
    void rounding_data();
    void rounding();
    void toSqlText_data();
    void toSqlText();
    void fromDoubleHalfEven_data();
    void fromDoubleHalfEven();
    void fromDoubleOutOfRange_data();
    void fromDoubleOutOfRange();
    void arithmeticBeyond64Bits();
};

namespace {
// Raw values are ten-thousandths: 1.2345 is 12345.
constexpr qint64 Invalid = std::numeric_limits<qint64>::min();
}  // namespace

void tst_money::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("raw");

    QTest::newRow("whole") << "12" << qint64(120000);
    QTest::newRow("negative") << "-3.5" << qint64(-35000);
    QTest::newRow("plus sign") << "+5" << qint64(50000);
    QTest::newRow("comma") << "0,125" << qint64(1250);
    QTest::newRow("full stop") << "0.125" << qint64(1250);
    QTest::newRow("blanks around") << "  7,25 " << qint64(72500);
    QTest::newRow("leading zeros") << "0007.5" << qint64(75000);
    QTest::newRow("four decimals kept") << "1.2345" << qint64(12345);
    QTest::newRow("fifth decimal above half") << "1.23456" << qint64(12346);
    QTest::newRow("half, odd fourth goes up") << "1.23455" << qint64(12346);
    QTest::newRow("half, even fourth stays") << "1.23445" << qint64(12344);
    QTest::newRow("just above half") << "1.234450001" << qint64(12345);
    QTest::newRow("half below zero") << "-1.23455" << qint64(-12346);
    QTest::newRow("smallest unit") << "0.0001" << qint64(1);
    // Every amount 64 bits hold reads, as the database gives it back; no more.
    QTest::newRow("rounded up to 10^14") << "99999999999999.99995" << qint64(1000000000000000000LL);
    QTest::newRow("largest") << "922337203685477.5807" << qint64(Money::MaxRaw);
    QTest::newRow("largest below zero") << "-922337203685477.5807" << qint64(-Money::MaxRaw);
    QTest::newRow("half below the largest stays") << "922337203685477.58065" << qint64(Money::MaxRaw - 1);
    QTest::newRow("rounded beyond the largest") << "922337203685477.58075" << Invalid;
    QTest::newRow("next after the largest") << "922337203685477.5808" << Invalid;
    QTest::newRow("numeric(19,4)'s largest") << "999999999999999.9999" << Invalid;
    QTest::newRow("sixteen digits") << "1000000000000000" << Invalid;
    QTest::newRow("sixteen digits below zero") << "-1000000000000000" << Invalid;
    QTest::newRow("empty") << "" << Invalid;
    QTest::newRow("blank") << "   " << Invalid;
    QTest::newRow("sign only") << "-" << Invalid;
    QTest::newRow("letters") << "abc" << Invalid;
    QTest::newRow("trailing letter") << "12a" << Invalid;
    QTest::newRow("two separators") << "1.2.3" << Invalid;
    QTest::newRow("mixed separators") << "1,2.3" << Invalid;
    QTest::newRow("thousands blank") << "1 000" << Invalid;
}

void tst_money::parse()
{
    QFETCH(QString, text);
    QFETCH(qint64, raw);
    const std::optional<Money> m = Money::parse(text);
    if (raw == Invalid) {
        QVERIFY2(!m, qPrintable(QStringLiteral("accepted as %1").arg(m ? m->raw() : 0)));
        return;
    }
    QVERIFY(m.has_value());
    QCOMPARE(m->raw(), raw);
}

void tst_money::parseLocal_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("raw");

    for (const QChar sep : {QChar(u','), QChar(u'.')}) {
        const QChar other = sep == u',' ? QChar(u'.') : QChar(u',');
        const QString tag = QStringLiteral("'%1' ").arg(sep);
        const auto with = [](const char* text, QChar c) { return QString::fromLatin1(text).replace(u'.', c); };
        QTest::addRow("%sown separator", qPrintable(tag)) << sep << with("12.5", sep) << qint64(125000);
        QTest::addRow("%sother separator", qPrintable(tag)) << sep << with("12.5", other) << Invalid;
        QTest::addRow("%swhole", qPrintable(tag)) << sep << QStringLiteral("40") << qint64(400000);
        QTest::addRow("%srounded", qPrintable(tag)) << sep << with("0.00005", sep) << qint64(0);
        // A typed amount has at most 15 significant digits, so that a float column
        // gives it back exactly too.
        QTest::addRow("%slargest typed", qPrintable(tag)) << sep << with("99999999999.9999", sep) << qint64(Money::MaxTypedRaw);
        QTest::addRow("%slargest typed below zero", qPrintable(tag))
            << sep << with("-99999999999.9999", sep) << qint64(-Money::MaxTypedRaw);
        QTest::addRow("%snext after the largest typed", qPrintable(tag)) << sep << QStringLiteral("100000000000") << Invalid;
        QTest::addRow("%srounded beyond the largest typed", qPrintable(tag))
            << sep << with("99999999999.99995", sep) << Invalid;
        QTest::addRow("%srounded to 10^14", qPrintable(tag)) << sep << with("99999999999999.99995", sep) << Invalid;
    }
}

void tst_money::parseLocal()
{
    QFETCH(QChar, separator);
    QFETCH(QString, text);
    QFETCH(qint64, raw);
    Formats::setDecimalSeparator(separator);
    const std::optional<Money> m = Money::parseLocal(text);
    if (raw == Invalid) {
        QVERIFY(!m);
        return;
    }
    QVERIFY(m.has_value());
    QCOMPARE(m->raw(), raw);
    // What was accepted reads back: as shown, as the database text, from a float column.
    QCOMPARE(Money::parseLocal(Formats::shortest(*m)), m);
    QCOMPARE(Money::parse(m->toSqlText()), m);
    QCOMPARE(Money::fromDoubleHalfEven(m->toDouble()), *m);
}

void tst_money::refusalText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("tooLarge");

    QTest::newRow("too large") << "100000000000" << true;
    QTest::newRow("too large below zero") << "-123456789012345" << true;
    QTest::newRow("rounded up to 10^14") << "99999999999999,99995" << true;
    QTest::newRow("letters") << "12a" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("accepted") << "12" << false;
}

void tst_money::refusalText()
{
    QFETCH(QString, text);
    QFETCH(bool, tooLarge);
    Formats::setDecimalSeparator(u',');
    const QString own = QStringLiteral("თანხა უნდა იყოს რიცხვი!");
    const QString refusal = Money::refusalText(text, own);
    QVERIFY(refusal.endsWith(own));
    QCOMPARE(refusal.contains(QStringLiteral("ძალიან დიდია (უდიდესი 99999999999,9999)!")), tooLarge);
}

void tst_money::rounding_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("halfEven");
    QTest::addColumn<QString>("halfAway");

    QTest::newRow("0.125 to 2") << "0.125" << 2 << "0.12"
                                << "0.13";
    QTest::newRow("0.135 to 2") << "0.135" << 2 << "0.14"
                                << "0.14";
    QTest::newRow("-0.125 to 2") << "-0.125" << 2 << "-0.12"
                                 << "-0.13";
    QTest::newRow("-0.135 to 2") << "-0.135" << 2 << "-0.14"
                                 << "-0.14";
    QTest::newRow("above half") << "0.1251" << 2 << "0.13"
                                << "0.13";
    QTest::newRow("below half") << "0.1249" << 2 << "0.12"
                                << "0.12";
    QTest::newRow("2.5 to 0") << "2.5" << 0 << "2"
                              << "3";
    QTest::newRow("3.5 to 0") << "3.5" << 0 << "4"
                              << "4";
    QTest::newRow("-2.5 to 0") << "-2.5" << 0 << "-2"
                               << "-3";
    QTest::newRow("13.574 to 2") << "13.574" << 2 << "13.57"
                                 << "13.57";
    QTest::newRow("9.995 carries") << "9.995" << 2 << "10"
                                   << "10";
    QTest::newRow("four decimals unchanged") << "1.2345" << 4 << "1.2345"
                                             << "1.2345";
    QTest::newRow("1.25 to 1") << "1.25" << 1 << "1.2"
                               << "1.3";
    QTest::newRow("0.0005 to 3") << "0.0005" << 3 << "0"
                                 << "0.001";
}

void tst_money::rounding()
{
    QFETCH(QString, amount);
    QFETCH(int, decimals);
    QFETCH(QString, halfEven);
    QFETCH(QString, halfAway);
    const Money m = *Money::parse(amount);
    QCOMPARE(m.roundedHalfEven(decimals), *Money::parse(halfEven));
    QCOMPARE(m.roundedHalfAwayFromZero(decimals), *Money::parse(halfAway));
}

void tst_money::toSqlText_data()
{
    QTest::addColumn<qint64>("raw");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << qint64(0) << "0.0000";
    QTest::newRow("smallest") << qint64(1) << "0.0001";
    QTest::newRow("negative smallest") << qint64(-1) << "-0.0001";
    QTest::newRow("negative half") << qint64(-5000) << "-0.5000";
    QTest::newRow("large") << qint64(123456789999LL) << "12345678.9999";
    QTest::newRow("10^14") << qint64(1000000000000000000LL) << "100000000000000.0000";
    QTest::newRow("largest") << qint64(Money::MaxRaw) << "922337203685477.5807";
    QTest::newRow("largest below zero") << qint64(-Money::MaxRaw) << "-922337203685477.5807";
}

void tst_money::toSqlText()
{
    QFETCH(qint64, raw);
    QFETCH(QString, text);
    // The database text never depends on the decimal separator shown to users.
    for (const QChar sep : {QChar(u','), QChar(u'.')}) {
        Formats::setDecimalSeparator(sep);
        QCOMPARE(Money::fromRaw(raw).toSqlText(), text);
    }
    QCOMPARE(Money::parse(text)->raw(), raw);
}

void tst_money::fromDoubleHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("amount");

    QTest::newRow("exact") << 12.5 << "12.5";
    QTest::newRow("binary noise below") << 12.34 / 100 * 10 + 12.34 << "13.574";
    QTest::newRow("binary noise above") << 0.1 + 0.2 << "0.3";
    QTest::newRow("fifth decimal above half") << 1.23456 << "1.2346";
    QTest::newRow("half, even fourth stays") << 1.00005 << "1.0000";
    QTest::newRow("half, odd fourth goes up") << 1.00015 << "1.0002";
    QTest::newRow("negative half") << -2.00015 << "-2.0002";
    QTest::newRow("price times quantity") << 3 * 1.1 << "3.3";
    QTest::newRow("large") << 12345678.9999 << "12345678.9999";
    QTest::newRow("smallest") << 0.0001 << "0.0001";
    QTest::newRow("below smallest half") << 0.00004 << "0";
    QTest::newRow("10^14") << 1e14 << "100000000000000";
    QTest::newRow("largest typed") << 99999999999.9999 << "99999999999.9999";
    QTest::newRow("near the largest") << 9e14 << "900000000000000";
}

void tst_money::fromDoubleOutOfRange_data()
{
    QTest::addColumn<double>("value");

    QTest::newRow("10^15") << 1e15;
    QTest::newRow("-10^15") << -1e15;
    QTest::newRow("huge") << 1e300;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
}

void tst_money::fromDoubleOutOfRange()
{
    // Never a silent 0: the checked form gives nothing, the other throws.
    QFETCH(double, value);
    QVERIFY(!Money::tryFromDoubleHalfEven(value));
    QVERIFY_THROWS_EXCEPTION(DbError, Money::fromDoubleHalfEven(value));
}

void tst_money::arithmeticBeyond64Bits()
{
    const Money largest = Money::fromRaw(Money::MaxRaw);
    QVERIFY_THROWS_EXCEPTION(DbError, largest + Money::fromRaw(1));
    QVERIFY_THROWS_EXCEPTION(DbError, -largest - Money::fromRaw(2));
    QVERIFY_THROWS_EXCEPTION(DbError, largest.roundedHalfEven(0));
    // Rounding to the two decimals shown never leaves 64 bits.
    QCOMPARE(largest.roundedHalfAwayFromZero(2), *Money::parse("922337203685477.58"));
    QCOMPARE(largest - largest, Money());
}

void tst_money::fromDoubleHalfEven()
{
    QFETCH(double, value);
    QFETCH(QString, amount);
    QCOMPARE(Money::fromDoubleHalfEven(value), *Money::parse(amount));
}

QTEST_GUILESS_MAIN(tst_money)
#include "tst_money.moc"
