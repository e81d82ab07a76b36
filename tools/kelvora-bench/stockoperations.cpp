#include "tools/kelvora-bench/stockoperations.h"
#include "tools/kelvora-bench/reportoperations.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/datamodule.h"
#include "stock/receiving.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString All = QStringLiteral("%");
const QString BenchDocument = QStringLiteral("bench-1");

QVariant scalar(const QString& sql)
{
    QSqlQuery q(Connection::database());
    if (!q.exec(sql))
        throw DbError(QStringLiteral("%1: %2").arg(sql, q.lastError().text()));
    return q.next() ? q.value(0) : QVariant();
}

void exec(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(Connection::database());
    if (!q.prepare(sql))
        throw DbError(q.lastError().text());
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw DbError(QStringLiteral("%1: %2").arg(sql, q.lastError().text()));
}

// The busiest delivery day's document as its header names it: every line of the day.
void setDocument(BenchContext& c)
{
    for (NamedQuery* q : {c.dm->migeba_old, c.dm->sul_migeba}) {
        q->setParam(QStringLiteral("SN"), All);
        q->setParam(QStringLiteral("FN"), All);
        q->setParam(QStringLiteral("Sab"), All);
        q->setParam(QStringLiteral("DT"), c.lastDay);
    }
}

qint64 reloadDocument(BenchContext& c)
{
    Receiving::reloadDocument(*c.dm, QString(), QString(), QString(), c.lastDay);
    return c.dm->migeba_old->rowCount() + c.dm->sul_migeba->rowCount();
}

qint64 bareReloadDocument(BenchContext& c)
{
    setDocument(c);
    return nativeBareRead(c.dm->migeba_old) + nativeBareRead(c.dm->sul_migeba);
}

// The item search as typing a first letter leaves it: names beginning with it,
// every type, no supplier filter.
void setItems(BenchContext& c)
{
    NamedQuery* q = c.dm->kerdzebi2;
    q->setParam(QStringLiteral("das"), QStringLiteral("ხ%"));
    q->setParam(QStringLiteral("tp"), All);
    q->setParam(QStringLiteral("mom"), All);
}

qint64 searchItems(BenchContext& c)
{
    c.dm->kerdzebi2->reopen({{QStringLiteral("das"), QStringLiteral("ხ%")},
                             {QStringLiteral("tp"), All},
                             {QStringLiteral("mom"), All}});
    return c.dm->kerdzebi2->rowCount();
}

qint64 bareSearchItems(BenchContext& c)
{
    setItems(c);
    return nativeBareRead(c.dm->kerdzebi2);
}

// The credit tab's search with both filters blank, on the suppliers' side.
qint64 searchCredit(BenchContext& c)
{
    const std::initializer_list<NamedQuery::Param> filter = {
        {QStringLiteral("FN"), QStringLiteral("%%")}, {QStringLiteral("US"), All}, {QStringLiteral("who"), Receiving::SupplierSide}};
    c.dm->nisia_grid->reopen(filter);
    c.dm->sum_nisia->reopen(filter);
    return c.dm->nisia_grid->rowCount() + c.dm->sum_nisia->rowCount();
}

qint64 bareSearchCredit(BenchContext& c)
{
    for (NamedQuery* q : {c.dm->nisia_grid, c.dm->sum_nisia}) {
        q->setParam(QStringLiteral("FN"), QStringLiteral("%%"));
        q->setParam(QStringLiteral("US"), All);
        q->setParam(QStringLiteral("who"), Receiving::SupplierSide);
    }
    return nativeBareRead(c.dm->nisia_grid) + nativeBareRead(c.dm->sum_nisia);
}

// What recording changes, to be put back afterwards.
struct ReceiptUndo
{
    qint64 lastLine = 0;
    qint64 lastLedgerRow = 0;
    qint64 item = 0;
    QVariant stock, purchase, sale, supplier;
};
ReceiptUndo g_undo;

void prepareRecord(BenchContext& c)
{
    g_undo.lastLine = scalar(QStringLiteral("select coalesce(max(ID), 0) from migeba")).toLongLong();
    g_undo.lastLedgerRow = scalar(QStringLiteral("select coalesce(max(ID), 0) from nisiebi")).toLongLong();
    g_undo.item = scalar(QStringLiteral("select min(ID) from kerdzebi")).toLongLong();
    QSqlQuery q(Connection::database());
    q.prepare(QStringLiteral("select raodenoba, asagebi, gasayidi, momwodebeli from kerdzebi where ID = ?"));
    q.addBindValue(g_undo.item);
    if (!q.exec() || !q.next())
        throw DbError(QStringLiteral("the catalogue is empty"));
    g_undo.stock = q.value(0);
    g_undo.purchase = q.value(1);
    g_undo.sale = q.value(2);
    g_undo.supplier = q.value(3);
    // The receiving tab as a clerk leaves it: the day's document listed.
    Receiving::reloadDocument(*c.dm, QStringLiteral("205"), QStringLiteral("შპს ბენჩი"), BenchDocument, c.lastDay);
}

void undoRecord(BenchContext&)
{
    exec(QStringLiteral("delete from migeba where ID > ?"), {g_undo.lastLine});
    exec(QStringLiteral("delete from nisiebi where ID > ?"), {g_undo.lastLedgerRow});
    exec(QStringLiteral("update kerdzebi set raodenoba = ?, asagebi = ?, gasayidi = ?, momwodebeli = ? where ID = ?"),
         {g_undo.stock, g_undo.purchase, g_undo.sale, g_undo.supplier, g_undo.item});
}

qint64 recordLine(BenchContext& c)
{
    ReceivedLine line;
    line.item = g_undo.item;
    line.quantity = QStringLiteral("3");
    line.purchasePrice = QStringLiteral("2");
    line.salePrice = QStringLiteral("5");
    line.supplierNumber = QStringLiteral("205");
    line.supplier = QStringLiteral("შპს ბენჩი");
    line.document = BenchDocument;
    line.day = c.lastDay;
    line.consignment = true;
    Receiving::record(*c.dm, line);
    return 1;
}

}  // namespace

// Recording has a time of its own to keep; the searches are held to the bare engine.
const std::vector<Operation>& stockOperations()
{
    static const std::vector<Operation> all = {
        {"receive-line", "receiving: one line recorded on consignment (line, stock, item, ledger), one transaction", recordLine, {}, 10.0, std::nullopt, 1.5, 50, prepareRecord, undoRecord},
        {"receive-document", "receiving: the document reload, migeba_old + sul_migeba, header blank (the day)",
         reloadDocument, bareReloadDocument, std::nullopt, std::nullopt, 1.5, 50},
        {"receive-items", "receiving: the item search kerdzebi2, names beginning with one letter", searchItems,
         bareSearchItems, std::nullopt, std::nullopt, 1.5, 50},
        {"credit-search", "credit tab: nisia_grid + sum_nisia, suppliers, filters blank", searchCredit,
         bareSearchCredit, std::nullopt, std::nullopt, 1.5, 50},
    };
    return all;
}
