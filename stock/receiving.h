#pragma once

#include "shell/inputerror.h"
#include "data/storedvalues.h"

#include <QDate>
#include <QString>

class TDM;

// One receiving line as the clerk typed it on the receiving tab.
struct ReceivedLine
{
    qint64 item = -1;  // kerdzebi.ID of the item picked from the list
    QString quantity;  // the three numbers as typed, in the system's format
    QString purchasePrice;
    QString salePrice;
    QString supplierNumber;  // the header fields as typed
    QString supplier;
    QString document;
    QDate day;  // the receipt date
    bool consignment = false;
};

// The rules of goods receiving, shared by the receiving tab and the tools that
// drive it without a screen.
namespace Receiving {

extern const QString NoSupplierNumber;  // "12345678"
inline const QString& NoSupplier = StoredValues::NoSupplier;
extern const QString NoDocument;                                  // "0"
inline const QString& SupplierSide = StoredValues::SupplierSide;  // nisiebi.whois of a supplier's debt
inline const QString& CheckAllFields = InputError::CheckAllFieldsText;
extern const QString ConsignmentRefused;
extern const QString NotANumber;
extern const QString ItemGone;
extern const QString NotRecorded;
extern const QString PickAnItem;
extern const QString QuantityNotPositive;
extern const QString PriceNegative;
extern const QString InvalidDate;
extern const QString DeletedLine;
// The captions of the receiving tab's boxes, which the refusals name.
extern const QString QuantityCaption;
extern const QString PurchaseCaption;
extern const QString SaleCaption;
extern const QString SupplierNumberCaption;
extern const QString SupplierCaption;
extern const QString DocumentCaption;

// A header field as a pattern: an empty field matches every value, any other
// only itself, exactly (letter case included, "_" and "%" as written).
QString pattern(const QString& text);
// How long a consignment document number may be: what the ledger's number holds.
int ledgerNumberLength();
// The refusal of a consignment document number longer than the ledger holds,
// or empty when it fits.
QString documentTooLong(const QString& document);
// Whether a consignment recording has a usable supplier and document number.
bool consignmentAllowed(const QString& supplier, const QString& document);

// What a deletion tells before the ledger's own line: the line deleted.
QString deletedLineText(const QString& item, const QString& quantity, const QString& supplier,
                        const QString& document);

// Lists the lines and totals of the document the header describes.
void reloadDocument(TDM& dm, const QString& supplierNumber, const QString& supplier, const QString& document,
                    const QDate& day);

// Records one line in one transaction: the line, the item's stock (a relative
// update, so sales and receipts on other stations meanwhile still count), its
// prices and supplier, and on consignment the supplier's debt for the document:
// the purchase total of the document's lines (supplier, document number and
// day, whatever supplier number each line carries), in its one ledger row,
// found or created under the lock of the document.
// Refusals throw InputError, a failed write a DbError saying the line was not
// recorded; either way nothing is written and the lists show what is stored.
void record(TDM& dm, const ReceivedLine& line);

// The ledger rows of a supplier's document of a day.
int ledgerRows(TDM& dm, const QString& supplier, const QString& document, const QDate& day);

// Deletes the current line of migeba_old in one transaction: its quantity taken
// back out of stock, the line deleted and, when the document has exactly one
// ledger row, its debt set to the document's new purchase total (the same
// total and lock as a recording).
void deleteCurrentLine(TDM& dm, const QDate& day);

}  // namespace Receiving
