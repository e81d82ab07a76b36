#include "tools/kelvora-bench/operations.h"
#include "tools/kelvora-bench/actionoperations.h"
#include "tools/kelvora-bench/reportoperations.h"
#include "tools/kelvora-bench/stockoperations.h"
#include "shell/shared.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/datamodule.h"
#include "floorplan/floorplan.h"
#include "orders/orderentry.h"

#include <QFont>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const QString All = QStringLiteral("%");

QVariant scalar(const QString& sql)
{
    QSqlQuery q(Connection::database());
    if (!q.exec(sql))
        throw DbError(QStringLiteral("%1: %2").arg(sql, q.lastError().text()));
    return q.next() ? q.value(0) : QVariant();
}

// The bare engine: its own C API running the very text the data layer sends.
qint64 bareRead(const NamedQuery* query)
{
    return nativeBareRead(query);
}

void setSalesFilter(BenchContext& c, const QDate& first, const QDate& last)
{
    // The sales report with every filter blank: "%" for the patterns.
    for (NamedQuery* q : {c.dm->History_shekvetebi, c.dm->sul_his_shek}) {
        q->setParam(QStringLiteral("USR"), All);
        q->setParam(QStringLiteral("OF"), All);
        q->setParam(QStringLiteral("TB"), All);
        q->setParam(QStringLiteral("das"), All);
        q->setParam(QStringLiteral("ST"), first);
        q->setParam(QStringLiteral("EN"), last);
    }
}

qint64 openSales(BenchContext& c, const QDate& first, const QDate& last)
{
    TDM& dm = *c.dm;
    dm.History_shekvetebi->close();
    dm.sul_his_shek->close();
    setSalesFilter(c, first, last);
    dm.History_shekvetebi->open();  // reopens kerdzebibyid first, for nashti
    dm.sul_his_shek->open();
    return dm.History_shekvetebi->rowCount();
}

qint64 bareSales(BenchContext& c, const QDate& first, const QDate& last)
{
    setSalesFilter(c, first, last);
    bareRead(c.dm->kerdzebibyid);
    const qint64 rows = bareRead(c.dm->History_shekvetebi);
    bareRead(c.dm->sul_his_shek);
    return rows;
}

constexpr int FloorTables = 100;

qint64 floorPerTable(BenchContext& c)
{
    // The floor plan's refresh as it stands: one opening of busytables per table.
    NamedQuery* q = c.dm->busytables;
    qint64 rows = 0;
    for (int t = 1; t <= FloorTables; ++t) {
        q->close();
        q->setParam(QStringLiteral("TB"), qint64(t));
        q->open();
        rows += q->rowCount();
        if (!q->isEmpty() && q->asInteger(QStringLiteral("Busy")) == 1) {
            q->asInteger(QStringLiteral("USERNUM"));
            q->asString(QStringLiteral("OFICIANT"));
        }
    }
    return rows;
}

qint64 bareFloorPerTable(BenchContext& c)
{
    qint64 rows = 0;
    for (int t = 1; t <= FloorTables; ++t) {
        c.dm->busytables->setParam(QStringLiteral("TB"), qint64(t));
        rows += bareRead(c.dm->busytables);
    }
    return rows;
}

qint64 floorAtOnce(BenchContext& c)
{
    NamedQuery* q = c.dm->Tables;
    q->close();
    q->open();
    for (q->first(); !q->eof(); q->next()) {
        q->asInteger(QStringLiteral("TableNum"));
        if (q->asInteger(QStringLiteral("Busy")) == 1) {
            q->asInteger(QStringLiteral("USERNUM"));
            q->asString(QStringLiteral("OFICIANT"));
        }
    }
    return q->rowCount();
}

void setKitchenFilter(BenchContext& c)
{
    // CookTab::reread with the cook chosen and both department filters blank.
    for (NamedQuery* q : {c.dm->Povari_left, c.dm->povari_right}) {
        q->setParam(QStringLiteral("UP"), c.cook);
        q->setParam(QStringLiteral("TP"), ifisstring(QString()));
    }
}

qint64 kitchen(BenchContext& c)
{
    c.dm->Povari_left->close();
    c.dm->povari_right->close();
    setKitchenFilter(c);
    c.dm->Povari_left->open();
    c.dm->povari_right->open();
    return c.dm->Povari_left->rowCount() + c.dm->povari_right->rowCount();
}

qint64 bareKitchen(BenchContext& c)
{
    setKitchenFilter(c);
    return bareRead(c.dm->Povari_left) + bareRead(c.dm->povari_right);
}

// Each of the 100 table pictures drawn afresh with its number, busy or free.
qint64 drawTablePictures(const QSet<qint64>& busy)
{
    QFont font;
    font.setPointSize(24);
    qint64 drawn = 0;
    for (int m = 1; m <= FloorTables; ++m)
        drawn += FloorPlan::numberedPicture(m, busy.contains(m), font).isNull() ? 0 : 1;
    return drawn;
}

// The floor plan's refresh (FloorPlan::Button2Click without the layout of the
// widgets): one read of every table's occupancy row, then each of the 100
// table pictures drawn afresh with its number.
qint64 floorRefresh(BenchContext& c)
{
    const QSet<qint64> busy = FloorPlan::busyTables(*c.dm);
    return drawTablePictures(busy) + busy.size();
}

qint64 bareFloorRefresh(BenchContext& c)
{
    QSqlQuery q(Connection::database());
    q.setForwardOnly(true);
    if (!q.exec(c.dm->Tables->sql()))
        throw DbError(q.lastError().text());
    const QSqlRecord rec = q.record();
    const int numField = rec.indexOf(QStringLiteral("TableNum"));
    const int busyField = rec.indexOf(QStringLiteral("Busy"));
    QHash<qint64, int> rows;
    QSet<qint64> busy;
    while (q.next()) {
        for (int i = 0; i < rec.count(); ++i)
            q.value(i);
        const qint64 t = q.value(numField).toLongLong();
        rows[t] += 1;
        if (q.value(busyField).toLongLong() == 1)
            busy.insert(t);
        else
            busy.remove(t);
    }
    for (auto it = rows.cbegin(); it != rows.cend(); ++it)
        if (it.value() != 1)
            busy.remove(it.key());
    return drawTablePictures(busy) + busy.size();
}

// A click on a busy table (FloorPlan::img1Click without the window): its
// occupancy row, then its lines; opening the lines makes the data module read
// the order's total (sum_shekvetebi), as the order window shows it.
qint64 openTable(BenchContext& c)
{
    TDM& dm = *c.dm;
    NamedQuery* table = dm.busytables;
    table->close();
    table->setParam(QStringLiteral("TB"), QString::number(c.busyTable));
    table->open();
    dm.sum_shekvetebi->close();
    dm.shekvet->close();
    const bool isBusy = !table->isEmpty() && table->asInteger(QStringLiteral("Busy")) == 1;
    dm.shekvet->setParam(QStringLiteral("USR"), isBusy ? table->asInteger(QStringLiteral("USERNUM")) : qint64(-1));
    dm.shekvet->open();
    if (!dm.sum_shekvetebi->isOpen())
        throw DbError(QStringLiteral("the order's total was not read"));
    table->asString(QStringLiteral("GadaxdiliTanxa"));
    dm.sum_shekvetebi->asFloat(QStringLiteral("sulfasi"));
    return table->rowCount() + dm.shekvet->rowCount() + dm.sum_shekvetebi->rowCount();
}

qint64 bareOpenTable(BenchContext& c)
{
    TDM& dm = *c.dm;
    dm.busytables->setParam(QStringLiteral("TB"), QString::number(c.busyTable));
    qint64 rows = bareRead(dm.busytables);
    const QVariant order = scalar(QStringLiteral("select USERNUM from busytable where Busy = 1 and TableNum = %1")
                                      .arg(c.busyTable));
    dm.shekvet->setParam(QStringLiteral("USR"), order.toLongLong());
    dm.sum_shekvetebi->setParam(QStringLiteral("USR"), order.toLongLong());
    rows += bareRead(dm.shekvet);
    rows += bareRead(dm.sum_shekvetebi);
    return rows;
}

// The order window open on the busy table with the whole menu showing: the
// state in which the quantity dialog's OK adds a line.
void prepareAddDish(BenchContext& c)
{
    openTable(c);
    NamedQuery* menu = c.dm->kerdzebi;
    menu->close();
    menu->setParam(QStringLiteral("das"), All);
    menu->setParam(QStringLiteral("tp"), All);
    menu->open();
    if (menu->isEmpty())
        throw DbError(QStringLiteral("the menu is empty"));
    c.lastLineId = scalar(QStringLiteral("select max(ID) from Shekvetebi")).toLongLong();
    c.dishId = menu->asInteger(QStringLiteral("ID"));
    c.dishStock = scalar(QStringLiteral("select raodenoba from kerdzebi where ID = %1").arg(c.dishId));
}

void undoAddDish(BenchContext& c)
{
    QSqlQuery q(Connection::database());
    if (!q.prepare(QStringLiteral("delete from Shekvetebi where ID > ?")))
        throw DbError(q.lastError().text());
    q.addBindValue(c.lastLineId);
    if (!q.exec())
        throw DbError(q.lastError().text());
    if (!q.prepare(QStringLiteral("update kerdzebi set raodenoba = ? where ID = ?")))
        throw DbError(q.lastError().text());
    q.addBindValue(c.dishStock);
    q.addBindValue(c.dishId);
    if (!q.exec())
        throw DbError(q.lastError().text());
}

qint64 addDish(BenchContext& c)
{
    const OrderEntry::Result r =
        OrderEntry::addLine(*c.dm, QString::number(c.busyTable), c.waiter, QStringLiteral("1"));
    if (r.newOrder)
        throw DbError(QStringLiteral("the busy table was taken for free"));
    return 1;
}

void setWaiterFilter(BenchContext& c)
{
    // WaiterTab::SpeedButton12Click with a waiter chosen and no table typed.
    c.dm->Opicianti->setParam(QStringLiteral("OP"), c.waiter.isEmpty() ? All : c.waiter);
    c.dm->Opicianti->setParam(QStringLiteral("TB"), ifisstring(QString()));
}

qint64 waiterList(BenchContext& c)
{
    NamedQuery* list = c.dm->Opicianti;
    list->close();
    setWaiterFilter(c);
    list->open();
    return list->rowCount();
}

qint64 bareWaiterList(BenchContext& c)
{
    setWaiterFilter(c);
    return bareRead(c.dm->Opicianti);
}

}  // namespace

BenchContext BenchContext::load(Engine engine, TDM* dm)
{
    BenchContext c;
    c.engine = engine;
    c.dm = dm;
    const QVariant last = scalar(QStringLiteral("select max(Tarigi) from Shekvetebi"));
    c.lastDay = engine == Engine::SQLite ? QDate::fromString(last.toString().left(10), Qt::ISODate)
                                         : last.toDateTime().date();
    if (!c.lastDay.isValid())
        throw DbError(QStringLiteral("the database holds no order lines"));
    const QDate thisMonth(c.lastDay.year(), c.lastDay.month(), 1);
    c.monthFirst = thisMonth.addMonths(-1);
    c.monthLast = thisMonth.addDays(-1);
    c.yearFirst = thisMonth.addMonths(-12);
    c.yearLast = c.monthLast;
    c.cook = scalar(QStringLiteral("select uplebebi.povari from Shekvetebi left join kerdzebi on "
                                   "Shekvetebi.Kerdzi_N = kerdzebi.ID left join uplebebi on kerdzebi.tipi = "
                                   "uplebebi.ganyofileba where Shekvetebi.STATUSI between 1 and 3 and "
                                   "Shekvetebi.povari > 0 group by uplebebi.povari order by count(*) desc, "
                                   "uplebebi.povari"))
                 .toString();
    c.waiter = scalar(QStringLiteral("select OFFICIANT from Shekvetebi where ((STATUSI >= 1 and STATUSI <= 2) or "
                                     "STATUSI = -5) and povari > 0 group by OFFICIANT order by count(*) desc, "
                                     "OFFICIANT"))
                   .toString();
    c.busyTable = scalar(QStringLiteral("select busytable.TableNum from busytable join Shekvetebi on "
                                        "Shekvetebi.USERNUM = busytable.USERNUM where busytable.Busy = 1 group by "
                                        "busytable.TableNum order by count(*) desc, busytable.TableNum"))
                      .toInt();
    return c;
}

const std::vector<Operation>& operations()
{
    static const std::vector<Operation> all = [] {
        std::vector<Operation> list = {
            {"month", "sales report, one month: History_shekvetebi + sul_his_shek, every pattern \"%\"",
             [](BenchContext& c) { return openSales(c, c.monthFirst, c.monthLast); },
             [](BenchContext& c) { return bareSales(c, c.monthFirst, c.monthLast); }, 100.0, std::nullopt},
            {"year", "sales report, twelve months: History_shekvetebi + sul_his_shek",
             [](BenchContext& c) { return openSales(c, c.yearFirst, c.yearLast); },
             [](BenchContext& c) { return bareSales(c, c.yearFirst, c.yearLast); }, 2000.0, 400.0},
            {"floor", "occupancy of 100 tables: busytables opened once per table (the floor plan now)",
             floorPerTable, bareFloorPerTable, std::nullopt, std::nullopt},
            {"floor-tables", "occupancy of 100 tables: the one query Tables, for comparison", floorAtOnce,
             [](BenchContext& c) { return bareRead(c.dm->Tables); }, std::nullopt, std::nullopt},
            {"floor-refresh", "floor plan refresh: Tables read once, 100 pictures drawn with their numbers",
             floorRefresh, bareFloorRefresh, 10.0, std::nullopt, 1.5, 50},
            {"open-table", "busy table clicked: busytables, shekvet and the total sum_shekvetebi", openTable,
             bareOpenTable, 20.0, std::nullopt, 1.5, 50},
            {"add-dish", "one dish added: OrderEntry::addLine (counter lock, busy row, line, stock), one transaction", addDish, {}, 10.0, std::nullopt, 1.5, 50, prepareAddDish, undoAddDish},
            {"kitchen", "cook screen re-read: Povari_left + povari_right for one cook, type \"%\"", kitchen,
             bareKitchen, 5.0, std::nullopt, 1.5, 50},
            {"waiter", "waiter screen list: Opicianti for one waiter, any table", waiterList, bareWaiterList, 5.0,
             std::nullopt, 1.5, 50},
        };
        // The receiving and credit tabs' operations live in a file of their own, and so do the reports'
        // and the other writing actions.
        for (const Operation& op : stockOperations())
            list.push_back(op);
        appendActionOperations(list);
        appendReportOperations(list);
        for (Operation& op : list)
            if (qstrcmp(op.name, "add-dish") == 0 || qstrcmp(op.name, "receive-line") == 0)
                op.statementTarget = 10;
        return list;
    }();
    return all;
}

const Operation* findOperation(const QString& name)
{
    for (const Operation& op : operations())
        if (name == QLatin1String(op.name))
            return &op;
    return nullptr;
}
