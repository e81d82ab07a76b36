#pragma once

#include "data/money.h"

#include <QDateTime>
#include <QString>
#include <optional>

// Every number-to-text and date-to-text form the program shows, in one place.
// The decimal separator is the system's (a comma under a Georgian locale); tests
// switch it to see both forms.
namespace Formats {

QChar decimalSeparator();
QChar groupSeparator();
void setDecimalSeparator(QChar separator);  // QChar() goes back to the system's

// General form: up to 15 significant digits, no trailing zeros (10, 12.5, 0.3).
QString general(double value);
// Shortest decimal form of a fixed-point amount: no trailing zeros (22, 13.57).
QString shortest(Money value);
// "0.##": at most two decimals, rounded half away from zero, no trailing zeros.
QString upToTwoDecimals(double value);
// Exactly two decimals, rounded half away from zero, no grouping (12.50). The
// value is first taken to the four decimals an amount has, as the bill shows
// it, so that 0.00495 (shown as 0.005) gives 0.01 and not 0.00.
QString fixedTwo(double value);
QString fixedTwo(Money value);
// The system's money format: grouped thousands, two decimals, the lari sign.
QString money(double value);
QString money(Money value);

QString date(const QDateTime& value);                 // dd.MM.yyyy
QString dateTime(const QDateTime& value);             // dd.MM.yyyy HH:mm
QString dateTimeWithSeconds(const QDateTime& value);  // dd.MM.yyyy HH:mm:ss
// A day as a query parameter takes it: yyyy-MM-dd.
QString isoDate(const QDate& value);

// A number typed in the system's format (its decimal separator only).
std::optional<double> parseNumber(const QString& text);
// A whole number, as the table count box is read.
std::optional<int> parseInteger(const QString& text);

}  // namespace Formats
