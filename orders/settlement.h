#pragma once

#include "data/money.h"
#include "data/storedvalues.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <chrono>
#include <functional>
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

// Registering a sale with the fiscal printer is claimed on the table's
// occupancy row (FiskaluriSadguri: which station, FiskaluriDro: since when) in
// a short locked transaction before the command is written, and released with
// the outcome. A second station finding a live claim sends nothing. A claim
// older than the longest exchange (the driver's wait of about 20 s and the
// answer's settling) is left from a station that died, and is taken over.
constexpr std::chrono::seconds ClaimLifetime{25};
// Told to the station that finds the bill being registered elsewhere.
extern const QString RegisteringElsewhereText;

// This station as a claim names it: the machine and the program's process.
QString stationName();

struct Claim
{
    Money due;        // what this station is to register; 0: nothing (no claim made)
    QDateTime since;  // the moment written into the claim
};

// Claims the registration of the order's bill of `billTotal`: the amount due is
// the bill less what is registered already. Nothing is claimed when nothing is
// due or the table no longer holds the order. Throws InputError
// (RegisteringElsewhereText) when another station's claim is live, DbError on
// a database error.
Claim claimRegistration(TDM& dm, const QString& tableText, qint64 orderNumber, Money billTotal);

// Releases the claim with the outcome: `registered` (what this exchange
// registered, 0 when nothing) is added to the order's registered amount, never
// beyond `billTotal`. A claim another station took over stays as it is, though
// the amount is still added. Nothing is written when the table no longer holds
// the order. Throws DbError.
void releaseRegistration(TDM& dm, const QString& tableText, qint64 orderNumber, const Claim& claim,
                         Money registered, Money billTotal);

// One exchange with the fiscal driver for `amount`; `status` as FiscalExchange
// tells it.
using FiscalSend = std::function<void(double amount, QString& status)>;

// Registers what the order's bill of `billTotal` still owes the fiscal printer:
// claims it, sends it through `send`, releases the claim with what was
// registered. Returns the message to show (empty when all went well or nothing
// was due). Throws InputError (another station is registering it) and DbError
// (the claim could not be made; nothing was sent).
QString registerSale(TDM& dm, const QString& tableText, qint64 orderNumber, Money billTotal, const FiscalSend& send);

}  // namespace Settlement
