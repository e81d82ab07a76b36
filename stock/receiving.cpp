#include "stock/receiving.h"
#include "shell/inputerror.h"
#include "shell/shared.h"
#include "data/dberror.h"
#include "data/money.h"
#include "data/datamodule.h"
#include "data/transaction.h"

#include <optional>

const QString Receiving::NoSupplierNumber = QStringLiteral("12345678");
const QString Receiving::NoDocument = QStringLiteral("0");
const QString Receiving::ConsignmentRefused = QStringLiteral(
    "შეიყვანეთ მომწოდებელი და საბუთის № თუ ღებულობთ კონსიგნაციით, ან გამორთეთ კონსიგნაცია");
const QString Receiving::NotANumber = QStringLiteral(
    "რაოდენობა და ფასები რიცხვები უნდა იყოს! მიღება არ ჩაიწერა!!!");
const QString Receiving::ItemGone = QStringLiteral(
    "არჩეული საქონელი კატალოგში აღარ არის! მიღება არ ჩაიწერა!!!");
const QString Receiving::NotRecorded = QStringLiteral("მიღება არ ჩაიწერა!!!");

namespace {

// Blank once leading and trailing spaces and control characters are removed.
bool blank(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > u' ')
            return false;
    return true;
}

// A number as the clerk typed it (the system's format), read as an amount;
// anything else is refused with the receiving's own text.
Money typedAmount(const QString& text)
{
    const std::optional<Money> value = Money::parseLocal(text);
    if (!value)
        throw InputError(Money::refusalText(text, Receiving::NotANumber));
    return *value;
}

NamedQuery* openLedger(TDM& dm, const QString& supplier, const QString& document, const QDate& day)
{
    dm.Nisia->reopen({{QStringLiteral("FN"), supplier},
                      {QStringLiteral("US"), document},
                      {QStringLiteral("ST"), day},
                      {QStringLiteral("EN"), day}});
    return dm.Nisia;
}

// After a rollback: the lists show what the database holds, not what was undone.
void reread(TDM& dm)
{
    for (NamedQuery* q : {dm.migeba_old, dm.sul_migeba, dm.kerdzebi2})
        q->rereadAfterRollback();
}

}  // namespace

QString Receiving::pattern(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("%") : text;
}

bool Receiving::consignmentAllowed(const QString& supplier, const QString& document)
{
    return supplier != NoSupplier && !blank(supplier) && !blank(document);
}

void Receiving::reloadDocument(TDM& dm, const QString& supplierNumber, const QString& supplier,
                               const QString& document, const QDate& day)
{
    const std::initializer_list<NamedQuery::Param> header = {{QStringLiteral("SN"), pattern(supplierNumber)},
                                                             {QStringLiteral("FN"), pattern(supplier)},
                                                             {QStringLiteral("Sab"), pattern(document)},
                                                             {QStringLiteral("DT"), day}};
    dm.migeba_old->reopen(header);
    dm.sul_migeba->reopen(header);
}

void Receiving::record(TDM& dm, const ReceivedLine& in)
{
    if (in.quantity.isEmpty() || in.purchasePrice.isEmpty() || in.salePrice.isEmpty())
        throw InputError(CheckAllFields);
    // The ledger number of a consignment debt is the document number.
    const QString ledgerNumber = in.document.isEmpty() ? NoDocument : in.document;
    if (in.consignment && !consignmentAllowed(in.supplier, in.document))
        throw InputError(ConsignmentRefused);
    // A price typo must not reach the database half-way.
    const Money quantity = typedAmount(in.quantity);
    const Money purchase = typedAmount(in.purchasePrice);
    const Money sale = typedAmount(in.salePrice);
    if (in.item < 0)
        throw InputError(CheckAllFields);

    try {
        Transaction tx;
        tx.lockRow(QStringLiteral("kerdzebi"), in.item);
        reloadDocument(dm, in.supplierNumber, in.supplier, in.document, in.day);

        // The item as stored now, not as the list read it: the warehouse report
        // may have searched the shared list since it was picked.
        NamedQuery* item = dm.kerdzebi_kerid;
        item->reopen({{QStringLiteral("ID"), in.item}});
        if (item->isEmpty())
            throw InputError(ItemGone);

        const QString supplierNumber = in.supplierNumber.isEmpty() ? NoSupplierNumber : in.supplierNumber;
        const QString supplier = in.supplier.isEmpty() ? NoSupplier : in.supplier;
        const QString document = in.document.isEmpty() ? NoDocument : in.document;

        NamedQuery* lines = dm.migeba_old;
        lines->insert();
        lines->setField(QStringLiteral("ID_DAS"), in.item);
        lines->setField(QStringLiteral("Dasaxeleba"), item->asString(QStringLiteral("Dasaxeleba")));
        lines->setField(QStringLiteral("tipi"), item->asString(QStringLiteral("tipi")));
        lines->setField(QStringLiteral("asagebi"), purchase.toDouble());
        lines->setField(QStringLiteral("gasayidi"), sale.toDouble());
        lines->setField(QStringLiteral("raodenoba"), quantity.toDouble());
        lines->setField(QStringLiteral("momwSN"), supplierNumber);
        lines->setField(QStringLiteral("momwFN"), supplier);
        lines->setField(QStringLiteral("sab_n"), document);
        lines->setField(QStringLiteral("tarigi"), short_dat(in.day.startOfDay()));
        lines->post();

        dm.addToStock(in.item, quantity);
        item->edit();
        item->setField(QStringLiteral("asagebi"), purchase.toDouble());
        item->setField(QStringLiteral("gasayidi"), sale.toDouble());
        item->setField(QStringLiteral("momwodebeli"), supplier);
        item->post();

        dm.sul_migeba->reopen();
        if (in.consignment) {
            const double owed = dm.sul_migeba->asFloat(QStringLiteral("ASAG"));
            NamedQuery* ledger = openLedger(dm, in.supplier, ledgerNumber, in.day);
            if (!ledger->isEmpty()) {
                ledger->first();
                ledger->edit();
            } else {
                ledger->insert();
                ledger->setField(QStringLiteral("FN"), in.supplier);
                ledger->setField(QStringLiteral("whois"), SupplierSide);
                ledger->setField(QStringLiteral("USERNUM"), ledgerNumber);
                ledger->setField(QStringLiteral("tarigi"), short_dat(in.day.startOfDay()));
            }
            ledger->setField(QStringLiteral("nisia"), owed);
            ledger->post();
        }
        tx.commit();
    } catch (const InputError&) {
        reread(dm);
        throw;
    } catch (const DbError& e) {
        reread(dm);
        throw DbError(NotRecorded + QLatin1Char('\n') + e.text());
    }
    // The new line at the top, where the newest line belongs.
    dm.migeba_old->reopen();
    if (dm.kerdzebi2->isOpen())
        dm.kerdzebi2->refresh();
}

int Receiving::ledgerRows(TDM& dm, const QString& supplier, const QString& document, const QDate& day)
{
    return openLedger(dm, supplier, document, day)->rowCount();
}

void Receiving::deleteCurrentLine(TDM& dm, const QDate& day)
{
    NamedQuery* lines = dm.migeba_old;
    NamedQuery* sums = dm.sul_migeba;
    const qint64 item = lines->asInteger(QStringLiteral("ID_DAS"));
    const Money quantity = Money::fromDoubleHalfEven(lines->asFloat(QStringLiteral("raodenoba")));
    const QString supplier = lines->asString(QStringLiteral("momwFN"));
    const QString document = lines->asString(QStringLiteral("sab_n"));

    // The totals under the grid are those of the header's document; the ledger
    // needs those of the line's own document.
    const QList<NamedQuery::Param> header = sums->saveParams();
    auto showHeaderTotals = [&] {
        sums->restoreParams(header);
        sums->reopen();
    };

    try {
        Transaction tx;
        tx.lockRow(QStringLiteral("kerdzebi"), item);
        dm.addToStock(item, -quantity);
        lines->remove();
        NamedQuery* ledger = openLedger(dm, supplier, document, day);
        sums->reopen({{QStringLiteral("SN"), QStringLiteral("%")},
                      {QStringLiteral("FN"), supplier},
                      {QStringLiteral("Sab"), document},
                      {QStringLiteral("DT"), day}});
        if (ledger->rowCount() == 1) {
            ledger->edit();
            ledger->setField(QStringLiteral("nisia"), sums->asFloat(QStringLiteral("ASAG")));
            ledger->post();
        }
        tx.commit();
    } catch (const DbError&) {
        try {
            showHeaderTotals();
            lines->reopen();
        } catch (const DbError&) {
            // The first error is the one to show.
        }
        throw;
    }
    showHeaderTotals();
    if (dm.kerdzebi2->isOpen())
        dm.kerdzebi2->refresh();
}
