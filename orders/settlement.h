#pragma once

#include "data/money.h"

#include <QString>

class TDM;

// Settling a table: the prepaid amount, the client's credit, and clearing.
namespace Settlement {

extern const QString ClientWhois;  // "კლიენტი"

// Stores the prepaid amount of the table's row, replacing what was there. A text
// that is no number throws InputError before anything is written. Returns false
// when the table has no row (nothing is stored).
bool savePrepayment(TDM& dm, const QString& tableText, const QString& amountText);

// Books the bill as a client's debt: one nisiebi row dated today.
void writeCredit(TDM& dm, const QString& orderNumber, const QString& client, double amount);

// Frees the table (USERNUM -1, Busy 0, nothing prepaid) and stamps every line of
// the order with state 100 and the service rate, in one transaction.
void clearTable(TDM& dm, const QString& tableText, const QString& orderNumber, double servicePercent);

}  // namespace Settlement
