#pragma once

#include "data/storedvalues.h"

#include <QString>
#include <QStringList>

class TDM;

// Corrections of an open order: a changed quantity, a deleted line, the whole
// order moved to another table. Each one is logged in DELS (a move is not) and
// corrects the dish's stock; each is one transaction: all of it or none.
namespace Corrections {

inline const QString& RaqnaDeleted = StoredValues::LineDeleted;
inline const QString& RaqnaDecreased = StoredValues::LineDecreased;
inline const QString& RaqnaIncreased = StoredValues::LineIncreased;
// Refusals when another station changed the order first: the order is no longer
// open on the table (%1 order, %2 table), or the line is settled or gone.
extern const QString OrderGoneText;
extern const QString LineGoneText;

// Deletes the current line of TDM::shekvet: the log row, the quantity back to
// stock (when the dish still exists), the line; when it was the order's last
// line the table is freed, its order number kept. Returns true when the table
// was freed.
bool deleteLine(TDM& dm, const QString& tableText);

// Sets the quantity of the current line of TDM::shekvet to the typed text: the
// log row with the never-negative difference, the line, the stock corrected by
// old - new. A text that is no number throws InputError before anything is written.
void changeQuantity(TDM& dm, const QString& tableText, const QString& quantityText);

// The tables an order can move to: every occupancy row that is not busy, in
// table order, as text.
QStringList freeTables(TDM& dm);

// Moves the order to `targetTable`: its lines' TableNum, the old row freed
// (Busy 0, USERNUM 0), the new row busy with the order number, the old waiter
// and the prepaid amount, which travels with the order. The target is checked
// again inside the transaction: when another station took it meanwhile nothing
// moves and InputError says so.
void moveOrder(TDM& dm, const QString& oldTableText, qint64 orderNumber, const QString& targetTable);

}  // namespace Corrections
