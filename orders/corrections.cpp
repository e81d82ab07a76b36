#include "orders/corrections.h"
#include "shell/inputerror.h"
#include "data/clock.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "data/transaction.h"

#include <cmath>

namespace {

void logRow(TDM& dm, qint64 item, const QString& name, double quantity, const QString& table, qint64 order,
            const QString& what)
{
    NamedQuery* log = dm.dELS;
    log->reopen();
    log->insert();
    log->setField(QStringLiteral("KERid"), item);
    log->setField(QStringLiteral("das"), name);
    log->setField(QStringLiteral("RAODENOBA"), quantity);
    log->setField(QStringLiteral("MAGIDA"), table.toInt());
    log->setField(QStringLiteral("SHEKVETISN"), order);
    log->setField(QStringLiteral("TARIGI"), Clock::now());
    log->setField(QStringLiteral("RAQNA"), what);
    log->post();
}

// After a rollback: show what the database holds, not what was undone.
void reread(TDM& dm)
{
    for (NamedQuery* q : {dm.shekvet, dm.busytables, dm.dELS})
        q->rereadAfterRollback();
}

// Inside the correction's transaction, after the order lock: the order must
// still be open on this table, and the line still in it and not settled, as
// another station may have cleared, moved or changed it since the window read
// it. The line is then the current row of `lines`, as the database holds it.
void requireOpenLine(Transaction& tx, TDM& dm, const QString& tableText, qint64 order, qint64 lineId)
{
    // The table's row is locked too: a dish added to an open order takes only
    // that lock, not the order lock.
    tx.lockWhere(QStringLiteral("busytable"), QStringLiteral("TableNum"), tableText.toLongLong());
    NamedQuery* table = dm.busytables;
    table->reopen({{QStringLiteral("TB"), tableText}});
    if (table->isEmpty() || table->asInteger(QStringLiteral("Busy")) != 1
        || table->asInteger(QStringLiteral("USERNUM")) != order)
        throw InputError(Corrections::OrderGoneText.arg(order).arg(tableText));
    NamedQuery* lines = dm.shekvet;
    lines->reopen({{QStringLiteral("USR"), order}});
    for (lines->first(); !lines->eof(); lines->next())
        if (lines->asInteger(QStringLiteral("ID")) == lineId) {
            if (lines->asInteger(QStringLiteral("STATUSI")) == 100)
                break;
            return;
        }
    throw InputError(Corrections::LineGoneText);
}

}  // namespace

const QString Corrections::OrderGoneText =
    QStringLiteral("შეკვეთა № %1 მაგიდა № %2-ზე აღარ არის: სხვა სადგურმა შეცვალა! ცვლილება არ შესრულდა.");
const QString Corrections::LineGoneText =
    QStringLiteral("ეს კერძი უკვე გადახდილია ან წაშლილია სხვა სადგურზე! ცვლილება არ შესრულდა.");

bool Corrections::deleteLine(TDM& dm, const QString& tableText)
{
    NamedQuery* lines = dm.shekvet;
    const qint64 lineId = lines->asInteger(QStringLiteral("ID"));
    const qint64 order = lines->asInteger(QStringLiteral("USERNUM"));
    bool freed = false;
    try {
        Transaction tx;
        tx.lockOrderNumbering();
        // What goes back to stock is what the line holds now, not what the
        // window read.
        requireOpenLine(tx, dm, tableText, order, lineId);
        const qint64 item = lines->asInteger(QStringLiteral("Kerdzi_N"));
        const QString name = lines->asString(QStringLiteral("Kerdzi_DAS"));
        const double quantity = lines->asFloat(QStringLiteral("Raodenoba"));
        logRow(dm, item, name, quantity, tableText, order, RaqnaDeleted);
        dm.addToStock(item, Money::fromDoubleHalfEven(quantity));
        lines->remove();
        // Whether it was the last line is asked of the database: another station
        // may have added a dish to this order since the window read it.
        lines->reopen();
        if (lines->isEmpty()) {
            NamedQuery* table = dm.busytables;
            table->reopen({{QStringLiteral("TB"), tableText}});
            if (!table->isEmpty()) {
                table->edit();
                table->setField(QStringLiteral("Busy"), 0);
                table->post();
                freed = true;
            }
        }
        tx.commit();
    } catch (...) {
        reread(dm);
        throw;
    }
    dm.kerdzebi->refresh();
    return freed;
}

void Corrections::changeQuantity(TDM& dm, const QString& tableText, const QString& quantityText)
{
    const std::optional<Money> parsed = Money::parseLocal(quantityText);
    if (!parsed)
        throw InputError(QStringLiteral("რაოდენობა უნდა იყოს რიცხვი! შეიყვანეთ სწორი რაოდენობა!!!"));
    if (parsed->raw() < 0)
        throw InputError(QStringLiteral("რაოდენობა უარყოფითი ვერ იქნება! შეიყვანეთ სწორი რაოდენობა!!!"));
    NamedQuery* lines = dm.shekvet;
    const Money newQuantity = *parsed;
    const qint64 lineId = lines->asInteger(QStringLiteral("ID"));
    const qint64 order = lines->asInteger(QStringLiteral("USERNUM"));
    try {
        Transaction tx;
        // The order lock first, as every writer of orders takes it: the
        // corrections, the order entry and the clearing never wait on each other
        // in opposite orders.
        tx.lockOrderNumbering();
        requireOpenLine(tx, dm, tableText, order, lineId);
        const Money oldQuantity = Money::fromRaw(std::llround(lines->asFloat(QStringLiteral("Raodenoba")) * 10000.0));
        const qint64 item = lines->asInteger(QStringLiteral("Kerdzi_N"));
        const QString name = lines->asString(QStringLiteral("Kerdzi_DAS"));
        const bool decreased = oldQuantity >= newQuantity;
        const Money difference = decreased ? oldQuantity - newQuantity : newQuantity - oldQuantity;
        logRow(dm, item, name, difference.toDouble(), tableText, order, decreased ? RaqnaDecreased : RaqnaIncreased);
        lines->edit();
        lines->setField(QStringLiteral("Raodenoba"), newQuantity.toDouble());
        lines->post();
        dm.addToStock(item, oldQuantity - newQuantity);
        tx.commit();
    } catch (...) {
        reread(dm);
        throw;
    }
    dm.kerdzebi->refresh();
}

QStringList Corrections::freeTables(TDM& dm)
{
    NamedQuery* all = dm.Tables;
    all->reopen();
    QStringList out;
    const int busy = all->fieldIndex(QStringLiteral("Busy"));
    const int number = all->fieldIndex(QStringLiteral("TableNum"));
    for (int r = 0; r < all->rowCount(); ++r)
        if (all->valueAt(r, busy).toLongLong() != 1)
            out << all->valueAt(r, number).toString();
    return out;
}

void Corrections::moveOrder(TDM& dm, const QString& oldTableText, qint64 orderNumber, const QString& targetTable)
{
    NamedQuery* table = dm.busytables;
    NamedQuery* lines = dm.shekvet;
    try {
        Transaction tx;
        // The same lock as opening an order: no station opens the target meanwhile.
        tx.lockOrderNumbering();
        table->reopen({{QStringLiteral("TB"), targetTable}});
        if (table->isEmpty() || table->asInteger(QStringLiteral("Busy")) == 1)
            throw InputError(QStringLiteral("მაგიდა № %1 უკვე დაკავებულია! შეკვეთა არ გადავიდა.").arg(targetTable));

        // The order must still be open on the table it leaves: another station
        // may have cleared it or moved it since this window read it. Its row is
        // locked before the lines move, so a dish being added to the order is
        // either in before them or finds the order gone.
        tx.lockWhere(QStringLiteral("busytable"), QStringLiteral("TableNum"), oldTableText.toLongLong());
        table->reopen({{QStringLiteral("TB"), oldTableText}});
        if (table->isEmpty() || table->asInteger(QStringLiteral("Busy")) != 1
            || table->asInteger(QStringLiteral("USERNUM")) != orderNumber)
            throw InputError(OrderGoneText.arg(orderNumber).arg(oldTableText));

        lines->reopen({{QStringLiteral("USR"), orderNumber}});
        for (lines->first(); !lines->eof(); lines->next()) {
            lines->edit();
            lines->setField(QStringLiteral("TableNum"), targetTable.toInt());
            lines->post();
        }

        table->reopen({{QStringLiteral("TB"), oldTableText}});
        const QString waiter = table->asString(QStringLiteral("OFICIANT"));
        const Money prepaid = table->asMoney(QStringLiteral("GadaxdiliTanxa"));
        // What the fiscal printer registered for the order travels with it.
        const Money registered = table->asMoney(QStringLiteral("FiskaluriTanxa"));
        table->edit();
        table->setField(QStringLiteral("Busy"), 0);
        table->setField(QStringLiteral("USERNUM"), 0);
        table->setField(QStringLiteral("GadaxdiliTanxa"), QVariant::fromValue(Money()));
        table->setField(QStringLiteral("FiskaluriTanxa"), QVariant::fromValue(Money()));
        table->post();

        table->reopen({{QStringLiteral("TB"), targetTable}});
        table->edit();
        table->setField(QStringLiteral("Busy"), 1);
        table->setField(QStringLiteral("USERNUM"), orderNumber);
        table->setField(QStringLiteral("OFICIANT"), waiter);
        table->setField(QStringLiteral("GadaxdiliTanxa"), QVariant::fromValue(prepaid));
        table->setField(QStringLiteral("FiskaluriTanxa"), QVariant::fromValue(registered));
        table->post();
        tx.commit();
    } catch (...) {
        reread(dm);
        throw;
    }
}
