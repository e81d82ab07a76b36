#pragma once

#include "data/money.h"
#include "data/schema.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

// How a value of a query is read as a number, an amount, a date-time or a text,
// and how a value is turned into the form a column of the database stores.
// A value that is not what its use needs throws DbError with one of the texts
// below ("%1" is the value as typed).
namespace Values {

inline constexpr char NotAnIntegerText[] = "„%1“ არ არის მთელი რიცხვი";
inline constexpr char NotANumberText[] = "„%1“ არ არის რიცხვი";
inline constexpr char NotAnAmountText[] = "„%1“ არ არის თანხა";
inline constexpr char AmountTooLargeText[] = "თანხა „%1“ ძალიან დიდია!";
inline constexpr char NotADateText[] = "„%1“ არ არის თარიღი";

// Reading: an empty value reads 0, the zero amount or the null date-time.
// An amount or a float read as a whole number is rounded half to even.
qint64 toInteger(const QVariant& value);
double toFloat(const QVariant& value);
Money toMoney(const QVariant& value);
QDateTime toDateTime(const QVariant& value);  // a text in a stored form
// The text of a value as the screens show it plainly: a float in the general
// form, a date-time as its day or with its seconds, an amount without
// trailing zeros; an empty value reads "".
QString toText(const QVariant& value);

// Writing: the value in the stored form of a column of `type` (an amount as its
// four-decimal text, a date-time as its stored text); an empty value is a NULL
// text.
QVariant toStored(Schema::ColumnType type, const QVariant& value);

}  // namespace Values
