#include "stock/receiving.h"
#include "shell/inputerror.h"
#include "shell/shared.h"
#include "data/dberror.h"
#include "data/likepattern.h"
#include "data/textlength.h"
#include "data/money.h"
#include "data/datamodule.h"
#include "data/transaction.h"

#include "data/schema.h"

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
const QString Receiving::PickAnItem = QStringLiteral("აირჩიეთ საქონელი სიიდან");
const QString Receiving::QuantityNotPositive = QStringLiteral(
    "რაოდენობა ნულზე მეტი უნდა იყოს! მიღება არ ჩაიწერა!!!");
const QString Receiving::PriceNegative = QStringLiteral("ფასი უარყოფითი ვერ იქნება! მიღება არ ჩაიწერა!!!");
const QString Receiving::InvalidDate = QStringLiteral("მიღების თარიღი არასწორია! მიღება არ ჩაიწერა!!!");
const QString Receiving::DeletedLine = QStringLiteral("წაიშალა: %1, %2 ერთ. — %3, საბუთი №%4");
const QString Receiving::QuantityCaption = QStringLiteral("რაოდენობა");
const QString Receiving::PurchaseCaption = QStringLiteral("შეს. ფასი");
const QString Receiving::SaleCaption = QStringLiteral("გას. ფასი");
const QString Receiving::SupplierNumberCaption = QStringLiteral("მომწოდებლის ს.ნ");
const QString Receiving::SupplierCaption = QStringLiteral("მომწოდებლი");
const QString Receiving::DocumentCaption = QStringLiteral("საბ.№");

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

// The ledger rows of one document: its supplier and number exactly, its day.
NamedQuery* openLedger(TDM& dm, const QString& supplier, const QString& document, const QDate& day)
{
    dm.Nisia->reopen({{QStringLiteral("FN"), LikePattern::exact(supplier)},
                      {QStringLiteral("US"), LikePattern::exact(document)},
                      {QStringLiteral("ST"), day},
                      {QStringLiteral("EN"), day}});
    return dm.Nisia;
}

// The lock a recording and a deletion take before they look for the document's
// ledger row, so that two stations never both create one.
void lockDocument(Transaction& tx, const QString& supplier, const QString& document, const QDate& day)
{
    tx.lockName(QStringLiteral("nisiebi\x1f%1\x1f%2\x1f%3").arg(supplier, document, day.toString(Qt::ISODate)));
}

// The purchase total of the document's lines, whatever supplier number each
// carries: the debt a recording and a deletion both write.
double documentTotal(TDM& dm, const QString& supplier, const QString& document, const QDate& day)
{
    dm.sul_migeba->reopen({{QStringLiteral("SN"), QStringLiteral("%")},
                           {QStringLiteral("FN"), LikePattern::exact(supplier)},
                           {QStringLiteral("Sab"), LikePattern::exact(document)},
                           {QStringLiteral("DT"), day}});
    return dm.sul_migeba->asFloat(QStringLiteral("ASAG"));
}

void requireFilled(const QString& text, const QString& caption)
{
    if (text.trimmed().isEmpty())
        throw InputError(Receiving::CheckAllFields + QLatin1Char('\n')
                         + QStringLiteral("შეავსეთ „%1“").arg(caption));
}

void requireFits(const QString& text, const char* column, const QString& caption)
{
    if (const int limit = TextLength::overLimit(QStringLiteral("migeba"), QLatin1String(column), text))
        throw InputError(TextLength::tooLongText(caption, limit, TextLength::length(text)));
}

// After a rollback: the lists show what the database holds, not what was
// undone, and the totals those of the header again.
void reread(TDM& dm, const ReceivedLine& in)
{
    try {
        Receiving::reloadDocument(dm, in.supplierNumber, in.supplier, in.document, in.day);
        if (dm.kerdzebi2->isOpen())
            dm.kerdzebi2->reopen();
    } catch (const DbError&) {
        // The database is out of reach; the first error is the one to show.
    }
}

}  // namespace

QString Receiving::pattern(const QString& text)
{
    return LikePattern::exact(text);
}

int Receiving::ledgerNumberLength()
{
    const Schema::Column* c = Schema::findColumn(QStringLiteral("nisiebi"), QStringLiteral("USERNUM"));
    return c ? c->length : 0;
}

QString Receiving::documentTooLong(const QString& document)
{
    const int limit = ledgerNumberLength();
    const qsizetype length = TextLength::length(document);
    if (limit <= 0 || length <= limit)
        return QString();
    return QStringLiteral("კონსიგნაციის საბუთის № %1 სიმბოლოზე გრძელი ვერ იქნება (ახლა %2)!")
        .arg(limit)
        .arg(length);
}

QString Receiving::deletedLineText(const QString& item, const QString& quantity, const QString& supplier,
                                   const QString& document)
{
    return DeletedLine.arg(item, quantity, supplier, document);
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
    // The first box that is wrong is the one named, in the order the tab shows them.
    if (in.item < 0)
        throw InputError(CheckAllFields + QLatin1Char('\n') + PickAnItem);
    requireFilled(in.quantity, QuantityCaption);
    requireFilled(in.purchasePrice, PurchaseCaption);
    requireFilled(in.salePrice, SaleCaption);
    if (!in.day.isValid())
        throw InputError(InvalidDate);
    // The ledger number of a consignment debt is the document number.
    const QString ledgerNumber = in.document.isEmpty() ? NoDocument : in.document;
    if (in.consignment && !consignmentAllowed(in.supplier, in.document))
        throw InputError(ConsignmentRefused);
    if (in.consignment) {
        if (const QString refused = documentTooLong(in.document); !refused.isEmpty())
            throw InputError(refused + QLatin1Char(' ') + NotRecorded);
    }
    requireFits(in.supplierNumber, "momwSN", SupplierNumberCaption);
    requireFits(in.supplier, "momwFN", SupplierCaption);
    requireFits(in.document, "sab_n", DocumentCaption);
    // A price typo must not reach the database half-way.
    const Money quantity = typedAmount(in.quantity);
    const Money purchase = typedAmount(in.purchasePrice);
    const Money sale = typedAmount(in.salePrice);
    // A quantity is stored to four decimals: what rounds to nothing is nothing.
    if (quantity.raw() <= 0)
        throw InputError(QuantityNotPositive);
    if (purchase.raw() < 0 || sale.raw() < 0)
        throw InputError(PriceNegative);

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

        if (in.consignment) {
            lockDocument(tx, in.supplier, ledgerNumber, in.day);
            const double owed = documentTotal(dm, in.supplier, ledgerNumber, in.day);
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
        // The totals under the grid are the header's.
        reloadDocument(dm, in.supplierNumber, in.supplier, in.document, in.day);
        tx.commit();
    } catch (const InputError&) {
        reread(dm, in);
        throw;
    } catch (const DbError& e) {
        reread(dm, in);
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
        lockDocument(tx, supplier, document, day);
        dm.addToStock(item, -quantity);
        lines->remove();
        NamedQuery* ledger = openLedger(dm, supplier, document, day);
        const double owed = documentTotal(dm, supplier, document, day);
        if (ledger->rowCount() == 1) {
            ledger->edit();
            ledger->setField(QStringLiteral("nisia"), owed);
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
