#pragma once

#include <QDateTime>

// The program's one source of "now". Tests set a fixed moment; the program
// always runs on the system clock.
namespace Clock {
QDateTime now();
QDate today();
void setFixed(const QDateTime& moment);  // an invalid moment returns to the system clock
}  // namespace Clock
