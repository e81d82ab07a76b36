#pragma once

#include "data/money.h"
#include "data/storedvalues.h"

#include <QList>
#include <QString>
#include <optional>

class TDM;

// Settling a table: the prepaid amount, the client's credit, and clearing.
namespace Settlement {

inline const QString& ClientWhois = StoredValues::ClientSide;
// Shown when a clearing left lines open: a dish was added on another station
// after the bill.
extern const QString LinesLeftOpenText;
// Shown when the table no longer holds the order being cleared.
extern const QString OrderNotOnTableText;
// Clearing refused: a billed line was deleted or changed after the printout.
extern const QString BillChangedText;
// Shown after a fiscal exchange, with the amount for %1: the driver took the
// sale but did not answer; the driver certainly did not register it or refused
// it; the driver registered it but the database could not keep that (%2: why).
extern const QString FiscalUnknownText;
extern const QString FiscalNotRegisteredText;
extern const QString FiscalNotRecordedText;

// The bill booked as a client's debt.
struct Credit
{
    QString client;
    Money amount;
};

// Stores the prepaid amount of the table's row, replacing what was there. A text
// that is no number throws InputError before anything is written. Returns false
// when the table has no row (nothing is stored).
bool savePrepayment(TDM& dm, const QString& tableText, const QString& amountText);

// Books the bill as a client's debt: one nisiebi row dated today. Writes inside
// the caller's transaction when one is under way.
void writeCredit(TDM& dm, const QString& orderNumber, const QString& client, double amount);

// A line as the bill showed it: its ID and quantity.
struct BilledLine
{
    qint64 id = 0;
    double quantity = 0;
};

// Clears the billed lines of the order in one transaction: the client's credit
// row (when given), every line of `billed` still open stamped with state
// 100 and the service rate, and, when no line of the order is left open, the
// table freed (USERNUM -1, Busy 0, nothing prepaid or registered). A line added
// after the bill stays open and the table stays busy with the same order, its
// prepaid and registered amounts kept. Takes the lock of order numbering, so no
// line can join the order while it is cleared. Returns the number of the order's
// lines left open (0: the table is free). Throws InputError when the table no
// longer holds the order, or when a billed line was deleted or its quantity
// changed since the bill (the guest would pay for what the bill did not show),
// and DbError on a database error; either way nothing is written.
int clearTable(TDM& dm, const QString& tableText, const QString& orderNumber, double servicePercent,
               const QList<BilledLine>& billed, const std::optional<Credit>& credit = std::nullopt);

// The amount already registered with the fiscal printer for the order open on
// the table; 0 when the table holds another order or none.
Money registeredAmount(TDM& dm, const QString& tableText, qint64 orderNumber);

// Adds `amount`, just registered with the fiscal printer, to the order's
// registered amount, in a short transaction of its own. Nothing is added when
// the table no longer holds the order.
void addRegistered(TDM& dm, const QString& tableText, qint64 orderNumber, Money amount);

}  // namespace Settlement
