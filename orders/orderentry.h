#pragma once

#include <QString>

class TDM;

// Writing one order line for a table: the rule behind the quantity dialog's OK,
// kept apart from the widgets so that it can be driven directly.
namespace OrderEntry {

// The text shown when the quantity is not a number.
extern const QString BadQuantityText;

struct Result
{
    qint64 orderNumber = 0;
    bool newOrder = false;
    int kitchenFlag = 0;
};

// Adds the current row of the menu (TDM::kerdzebi) to the table's order with
// the typed quantity. The first line of a free table draws a new order number
// from Parametres.inctb and marks the table busy for `waiter`; a table that
// another station opened meanwhile gets the line on that order. The counter,
// the table's row, the line and the stock change are one transaction: all of
// them or none. Throws InputError for a quantity that is no number (nothing is
// written) and DbError for a database error (nothing is written).
Result addLine(TDM& dm, const QString& tableText, const QString& waiter, const QString& quantityText);

// The number of a new order: one more than the counter Parametres.inctb, or,
// when that number is already on an order line, an open table or a client
// credit row (the counter was reset while older rows kept theirs), one more than
// the highest number in use. Runs inside the caller's transaction, after the counter was read.
qint64 nextOrderNumber(TDM& dm, qint64 counter);

// Kitchen routing: 1 when exactly one routing row matches the dish's type, else 0.
int gagzavnapovartan(TDM& dm, const QString& ganyofileba);

}  // namespace OrderEntry
