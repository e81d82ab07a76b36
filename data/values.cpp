#include "data/values.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/snapshotcolumn.h"

#include <cmath>

namespace {

[[noreturn]] void refuse(const char* text, const QVariant& value)
{
    throw DbError(QString::fromUtf8(text).arg(value.toString()));
}

bool isMoney(const QVariant& value)
{
    return value.metaType() == QMetaType::fromType<Money>();
}

qint64 wholeNumber(const QVariant& value)
{
    bool ok = false;
    const qint64 i = value.toLongLong(&ok);
    if (!ok)
        refuse(Values::NotAnIntegerText, value);
    return i;
}

}  // namespace

qint64 Values::toInteger(const QVariant& value)
{
    if (value.isNull())
        return 0;
    if (isMoney(value))
        return value.value<Money>().roundedHalfEven(0).raw() / Money::Scale;
    if (value.metaType().id() == QMetaType::Double) {  // halves to even, as an amount does
        const double rounded = std::nearbyint(value.toDouble());
        // Only what 64 bits hold converts (2^63 itself does not; NaN fails both).
        if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
            refuse(NotAnIntegerText, value);
        return qint64(rounded);
    }
    return wholeNumber(value);
}

double Values::toFloat(const QVariant& value)
{
    if (value.isNull())
        return 0;
    if (isMoney(value))
        return value.value<Money>().toDouble();
    bool ok = false;
    const double d = value.toDouble(&ok);
    // Neither engine keeps an infinity or NaN as a number (SQLite stores NULL).
    if (!ok || !std::isfinite(d))
        refuse(NotANumberText, value);
    return d;
}

Money Values::toMoney(const QVariant& value)
{
    if (value.isNull())
        return Money();
    if (isMoney(value))
        return value.value<Money>();
    if (value.metaType().id() == QMetaType::QString) {
        bool tooLarge = false;
        const auto m = Money::parse(value.toString(), &tooLarge);
        if (!m)
            refuse(tooLarge ? AmountTooLargeText : NotAnAmountText, value);
        return *m;
    }
    return Money::fromDoubleHalfEven(value.toDouble());
}

QDateTime Values::toDateTime(const QVariant& value)
{
    if (value.isNull())
        return QDateTime();
    if (value.metaType().id() == QMetaType::QString) {
        QDateTime dt;
        if (!SnapshotColumn::parseIsoDateTime(value.toString(), &dt))
            refuse(NotADateText, value);
        return dt;
    }
    return value.toDateTime();
}

QString Values::toText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::Double: return Formats::general(value.toDouble());
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? Formats::date(dt) : Formats::dateTimeWithSeconds(dt);
    }
    default:
        if (isMoney(value))
            return Formats::shortest(value.value<Money>());
        return value.toString();
    }
}

QVariant Values::toStored(Schema::ColumnType type, const QVariant& value)
{
    const QVariant nullText(QMetaType::fromType<QString>());
    if (value.isNull())
        return nullText;
    switch (type) {
    case Schema::ColumnType::DateTime: {
        if (value.metaType().id() == QMetaType::QDate)
            return SnapshotColumn::sqlText(QDateTime(value.toDate(), QTime(0, 0)));
        if (value.metaType().id() == QMetaType::QDateTime)
            return value.toDateTime().isValid() ? QVariant(SnapshotColumn::sqlText(value.toDateTime())) : nullText;
        QDateTime dt;
        if (SnapshotColumn::parseDateTimeText(value.toString(), &dt))
            return SnapshotColumn::sqlText(dt);
        refuse(NotADateText, value);
    }
    case Schema::ColumnType::Money: return toMoney(value).toSqlText();
    case Schema::ColumnType::Float: return toFloat(value);
    case Schema::ColumnType::Integer:
    case Schema::ColumnType::AutoNumber: return wholeNumber(value);
    case Schema::ColumnType::Text: return value.toString();
    }
    return value;
}
