#include "tools/kelvora-bench/actionoperations.h"
#include "data/connection.h"
#include "data/datamodule.h"
#include "data/dberror.h"
#include "orders/corrections.h"
#include "orders/orderentry.h"
#include "orders/settlement.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString All = QStringLiteral("%");
// A table beyond the generated floor, so that the history's tables stay as generated.
const QString ClearedTable = QStringLiteral("999");

QVariant scalar(const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(Connection::database());
    if (!q.prepare(sql))
        throw DbError(q.lastError().text());
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw DbError(QStringLiteral("%1: %2").arg(sql, q.lastError().text()));
    return q.next() ? q.value(0) : QVariant();
}

void exec(const QString& sql, const QVariantList& values)
{
    scalar(sql, values);
}

// What the actions change, to be put back afterwards.
struct Undo
{
    qint64 order = 0;
    qint64 line = 0;
    QVariant quantity;
    qint64 item = 0;
    QVariant stock;
    qint64 lastDeletion = 0;
    qint64 lastLine = 0;
    QVariant counter;
    bool toggle = false;
    // The order opened for the next clearing, and its lines as the bill shows them.
    QString clearedOrder;
    QList<Settlement::BilledLine> billed;
};
Undo g_undo;

// The order window open on the busy table with the whole menu listed.
void openWindow(BenchContext& c)
{
    TDM& dm = *c.dm;
    dm.kerdzebi->reopen({{QStringLiteral("das"), All}, {QStringLiteral("tp"), All}});
    dm.setting->reopen();
    dm.busytables->reopen({{QStringLiteral("TB"), QString::number(c.busyTable)}});
    g_undo.order = dm.busytables->asInteger(QStringLiteral("USERNUM"));
    dm.shekvet->reopen({{QStringLiteral("USR"), g_undo.order}});
}

void moveToLine(TDM& dm, qint64 id)
{
    NamedQuery* lines = dm.shekvet;
    for (lines->first(); !lines->eof(); lines->next())
        if (lines->asInteger(QStringLiteral("ID")) == id)
            return;
    throw DbError(QStringLiteral("line %1 is not on the order").arg(id));
}

void prepareChange(BenchContext& c)
{
    openWindow(c);
    g_undo.line = scalar(QStringLiteral("select max(ID) from Shekvetebi where USERNUM = ? and coalesce(STATUSI, 0) <> 100"),
                         {g_undo.order})
                      .toLongLong();
    if (g_undo.line == 0)
        throw DbError(QStringLiteral("the busy table has no open line"));
    g_undo.quantity = scalar(QStringLiteral("select Raodenoba from Shekvetebi where ID = ?"), {g_undo.line});
    g_undo.item = scalar(QStringLiteral("select Kerdzi_N from Shekvetebi where ID = ?"), {g_undo.line}).toLongLong();
    g_undo.stock = scalar(QStringLiteral("select raodenoba from kerdzebi where ID = ?"), {g_undo.item});
    g_undo.lastDeletion = scalar(QStringLiteral("select coalesce(max(ID), 0) from DELS")).toLongLong();
}

void undoChange(BenchContext&)
{
    exec(QStringLiteral("update Shekvetebi set Raodenoba = ? where ID = ?"), {g_undo.quantity, g_undo.line});
    exec(QStringLiteral("update kerdzebi set raodenoba = ? where ID = ?"), {g_undo.stock, g_undo.item});
    exec(QStringLiteral("delete from DELS where ID > ?"), {g_undo.lastDeletion});
}

// EraodenobaForm's OK: the current line's quantity, between 3 and 2 in turn.
qint64 changeQuantity(BenchContext& c)
{
    moveToLine(*c.dm, g_undo.line);
    g_undo.toggle = !g_undo.toggle;
    Corrections::changeQuantity(*c.dm, QString::number(c.busyTable), g_undo.toggle ? QStringLiteral("3") : QStringLiteral("2"));
    return 1;
}

void prepareClear(BenchContext& c)
{
    openWindow(c);
    g_undo.lastLine = scalar(QStringLiteral("select max(ID) from Shekvetebi")).toLongLong();
    g_undo.item = c.dm->kerdzebi->asInteger(QStringLiteral("ID"));
    g_undo.stock = scalar(QStringLiteral("select raodenoba from kerdzebi where ID = ?"), {g_undo.item});
    g_undo.counter = scalar(QStringLiteral("select inctb from Parametres"));
}

// Untimed, before each clearing: three dishes on a free table, the window showing them.
void openOrderToClear(BenchContext& c)
{
    TDM& dm = *c.dm;
    OrderEntry::Result r;
    for (int i = 0; i < 3; ++i)
        r = OrderEntry::addLine(dm, ClearedTable, c.waiter, QStringLiteral("1"));
    g_undo.clearedOrder = QString::number(r.orderNumber);
    dm.busytables->reopen({{QStringLiteral("TB"), ClearedTable}});
    dm.shekvet->reopen({{QStringLiteral("USR"), r.orderNumber}});
    g_undo.billed.clear();
    for (dm.shekvet->first(); !dm.shekvet->eof(); dm.shekvet->next())
        g_undo.billed.append({dm.shekvet->asInteger(QStringLiteral("ID")), dm.shekvet->asFloat(QStringLiteral("Raodenoba"))});
}

void undoClear(BenchContext&)
{
    exec(QStringLiteral("delete from Shekvetebi where ID > ?"), {g_undo.lastLine});
    exec(QStringLiteral("delete from busytable where TableNum = ?"), {ClearedTable.toInt()});
    exec(QStringLiteral("update kerdzebi set raodenoba = ? where ID = ?"), {g_undo.stock, g_undo.item});
    exec(QStringLiteral("update Parametres set inctb = ?"), {g_undo.counter});
}

// The clearing after the bill, fiscal exchange excluded: the billed lines
// stamped, the lines left counted, the table freed.
qint64 clearTable(BenchContext& c)
{
    const int open = Settlement::clearTable(*c.dm, ClearedTable, g_undo.clearedOrder, 10, g_undo.billed);
    if (open != 0)
        throw DbError(QStringLiteral("the cleared order kept %1 open lines").arg(open));
    return g_undo.billed.size();
}

}  // namespace

void appendActionOperations(std::vector<Operation>& all)
{
    Operation change{"change-quantity",
                     "quantity changed: Corrections::changeQuantity (log row, line, stock), one transaction",
                     changeQuantity,
                     {},
                     10.0,
                     std::nullopt,
                     1.5,
                     50,
                     prepareChange,
                     undoChange};
    change.statementTarget = 10;
    all.push_back(change);
    Operation clear{"clear-table",
                    "table cleared after its bill of 3 lines: Settlement::clearTable, fiscal exchange excluded",
                    clearTable,
                    {},
                    std::nullopt,
                    std::nullopt,
                    1.5,
                    30,
                    prepareClear,
                    undoClear};
    clear.statementTarget = 15;
    clear.beforeEach = openOrderToClear;
    all.push_back(clear);
}
