// Amounts and numbers as the program reads them: from typed text (the system's
// separator, a comma or a full stop), from the database's text and from float
// columns. Whatever is accepted reads back as the same value.
#include "data/dberror.h"
#include "data/formats.h"
#include "data/money.h"
#include "data/values.h"
#include "fuzz/check.h"

#include <QVariant>
#include <cmath>
#include <cstring>

namespace {

void storedAmount(const QString& text)
{
    const std::optional<Money> m = Money::parse(text);
    if (!m)
        return;
    FUZZ_CHECK(Money::parse(m->toSqlText()) == m, text);
    FUZZ_CHECK(Money::parse(Formats::shortest(*m)) == m, text);
    FUZZ_CHECK(Values::toMoney(QVariant(text)) == *m, text);
    FUZZ_CHECK(Values::toMoney(Values::toStored(Schema::ColumnType::Money, QVariant::fromValue(*m))) == *m, text);
    FUZZ_CHECK(!Formats::money(*m).isEmpty(), text);
}

void typedAmount(const QString& text)
{
    const std::optional<Money> m = Money::parseLocal(text);
    if (!m) {
        FUZZ_CHECK(Money::refusalText(text, QStringLiteral("x")).endsWith(u'x'), text);
        return;
    }
    FUZZ_CHECK(std::llabs(m->raw()) <= Money::MaxTypedRaw, text);
    FUZZ_CHECK(Money::parseLocal(Formats::shortest(*m)) == m, text);
    // Kept in a float column, it reads back as the same amount.
    FUZZ_CHECK(Money::fromDoubleHalfEven(m->toDouble()) == *m, text);
}

void typedNumber(const QString& text)
{
    const std::optional<double> d = Formats::parseNumber(text);
    if (!d)
        return;
    FUZZ_CHECK(std::isfinite(*d), text);
    // What the screens show of it reads back as what they show (the general
    // form shows the very small and very large with an exponent, which is
    // never typed).
    const QString shown = Formats::general(*d);
    if (shown.contains(u'e'))
        return;
    const std::optional<double> again = Formats::parseNumber(shown);
    FUZZ_CHECK(again && Formats::general(*again) == shown, text + QStringLiteral(" -> ") + shown);
}

void storedNumbers(const QString& text)
{
    try {
        const double d = Values::toFloat(QVariant(text));
        FUZZ_CHECK(std::isfinite(d), text);
        FUZZ_CHECK(Values::toStored(Schema::ColumnType::Float, QVariant(text)).toDouble() == d, text);
    } catch (const DbError&) {
    }
    try {
        const qint64 i = Values::toInteger(QVariant(text));
        FUZZ_CHECK(Values::toInteger(QVariant(QString::number(i))) == i, text);
    } catch (const DbError&) {
    }
}

// A float column's value read as a whole number, an amount and shown.
void storedDouble(double d)
{
    try {
        Values::toInteger(QVariant(d));
    } catch (const DbError&) {
    }
    const std::optional<Money> m = Money::tryFromDoubleHalfEven(d);
    try {
        FUZZ_CHECK(Values::toMoney(QVariant(d)) == *m, QString::number(d, 'g', 17));
    } catch (const DbError&) {
        FUZZ_CHECK(!m, QString::number(d, 'g', 17));
    }
    FUZZ_CHECK(!Formats::money(d).isEmpty() && !Formats::fixedTwo(d).isEmpty() && !Formats::upToTwoDecimals(d).isEmpty(),
               QString::number(d, 'g', 17));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the system's separator, the rest is the text.
    Formats::setDecimalSeparator(data[0] & 1 ? QChar(u',') : QChar(u'.'));
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    storedAmount(text);
    typedAmount(text);
    typedNumber(text);
    storedNumbers(text);
    if (size - 1 >= sizeof(double)) {
        double d = 0;
        std::memcpy(&d, data + 1, sizeof d);
        storedDouble(d);
    }
    return 0;
}
