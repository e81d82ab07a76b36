#include "tests/race/invariants.h"
#include "data/dberror.h"
#include "orders/corrections.h"
#include "tests/race/rushlog.h"
#include "stock/receiving.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <cmath>

namespace {

const QString Split = QStringLiteral("no order split over two tables");
const QString TwoOrders = QStringLiteral("no two open orders on one table");
const QString BusyHasLines = QStringLiteral("every busy table has open lines of its order");
const QString LineHasTable = QStringLiteral("every open line has its order's busy table");
const QString StockBalance = QStringLiteral("stock = start - sold + given back");
const QString Counter = QStringLiteral("the counter Parametres.inctb >= every order number");
const QString DelsMatch = QStringLiteral("every DELS row matches its change");
const QString ClearedBilled = QStringLiteral("every cleared line was billed");
const QString SettledAsBilled = QStringLiteral("every line of a finished clearing is settled as billed");
const QString KnownState = QStringLiteral("every line's state is known and fits its kitchen flag");
const QString RegisteredWithinBill = QStringLiteral("every table's registered amount <= its bill total");
const QString RegisteredOnce = QStringLiteral("each sale registered once at the fiscal driver");
const QString OneLedgerRow = QStringLiteral("one ledger row per supplier document, equal to its purchase total");

constexpr double Cent = 0.005;

constexpr double Tolerance = 1e-6;

bool same(double a, double b)
{
    return std::abs(a - b) < Tolerance;
}

QSqlQuery run(QSqlDatabase db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw DbError::fromQuery(q);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw DbError::fromQuery(q);
    return q;
}

// Every row of a query that lists breaking rows, as "column=value, ...".
QStringList breakingRows(QSqlDatabase db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q = run(db, sql, values);
    QStringList out;
    while (q.next()) {
        QStringList cells;
        const QSqlRecord r = q.record();
        for (int i = 0; i < r.count(); ++i)
            cells << QStringLiteral("%1=%2").arg(r.fieldName(i), q.value(i).toString());
        out << cells.join(QStringLiteral(", "));
    }
    return out;
}

QString key(qint64 order, qint64 item)
{
    return QStringLiteral("%1/%2").arg(order).arg(item);
}

// What the logs of all stations say.
struct Logs
{
    // Dishes added, by order and item.
    QHash<QString, double> added;
    // Adds cut short by a kill or a lost link: written or not, the log cannot
    // tell. Item and quantity.
    QList<std::pair<qint64, double>> cutAdds;
    // Every line that was on a bill, and the lines of clearings that finished.
    QSet<qint64> billed;
    struct BilledLine
    {
        qint64 id;
        double quantity;
        qint64 order;
    };
    QList<BilledLine> cleared;
    // Goods received, by item, and receipts cut short by a kill (item, quantity).
    QHash<qint64, double> received;
    QList<std::pair<qint64, double>> cutReceipts;
    // What the fiscal driver was told to register and kept as registered, by
    // order; the bills of registrations cut short by a kill (sent or not).
    QHash<qint64, double> registered;
    double registeredTotal = 0;
    double cutBills = 0;
};

bool lostLink(const RushLog::Entry& e)
{
    return e.outcome == QLatin1String("refused")
           && (e.text == DbError::linkLostText() || e.text == DbError::linkLostWhileWritingText());
}

Logs readLogs(const QStringList& paths)
{
    Logs logs;
    for (const QString& path : paths) {
        const QList<RushLog::Entry> entries = RushLog::read(path);
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const RushLog::Entry& e = entries[i];
            // Cut short: by a kill, or by a link lost on its way, when the
            // station cannot know whether the server committed it.
            const bool last = i + 1 == entries.size() || lostLink(entries[i + 1]);
            if (e.op == QLatin1String("add")) {
                if (e.outcome == QLatin1String("ok"))
                    logs.added[key(e.number(QStringLiteral("order")), e.number(QStringLiteral("item")))] +=
                        e.quantity(QStringLiteral("qty"));
                else if (e.outcome == QLatin1String("try") && last)
                    logs.cutAdds.append({e.number(QStringLiteral("item")), e.quantity(QStringLiteral("qty"))});
            } else if (e.op == QLatin1String("receive")) {
                if (e.outcome == QLatin1String("ok"))
                    logs.received[e.number(QStringLiteral("item"))] += e.quantity(QStringLiteral("qty"));
                else if (e.outcome == QLatin1String("try") && last)
                    logs.cutReceipts.append({e.number(QStringLiteral("item")), e.quantity(QStringLiteral("qty"))});
            } else if (e.op == QLatin1String("print")) {
                if (e.outcome == QLatin1String("ok")) {
                    logs.registered[e.number(QStringLiteral("order"))] += e.quantity(QStringLiteral("due"));
                    logs.registeredTotal += e.quantity(QStringLiteral("due"));
                } else if (e.outcome == QLatin1String("try") && last) {
                    logs.cutBills += e.quantity(QStringLiteral("bill"));
                }
            } else if (e.op == QLatin1String("clear") && e.outcome == QLatin1String("try")) {
                const bool finished = !last && entries[i + 1].op == QLatin1String("clear") && entries[i + 1].outcome == QLatin1String("ok");
                for (const QString& line : e.fields.value(QStringLiteral("lines")).split(u',', Qt::SkipEmptyParts)) {
                    const qint64 id = line.section(u':', 0, 0).toLongLong();
                    logs.billed.insert(id);
                    if (finished)
                        logs.cleared.append({id, line.section(u':', 1, 1).toDouble(), e.number(QStringLiteral("order"))});
                }
            }
        }
    }
    return logs;
}

// Per order and dish: what its lines hold now equals what was added, plus the
// increases, less the decreases and deletions that DELS logged.
QStringList delsBalance(QSqlDatabase db, const Logs& logs)
{
    QHash<QString, double> held;
    QHash<QString, double> increased;
    QHash<QString, double> decreased;
    QHash<QString, double> deleted;
    QSet<QString> keys;
    for (auto it = logs.added.cbegin(); it != logs.added.cend(); ++it)
        keys.insert(it.key());
    QSqlQuery lines = run(db, QStringLiteral("select USERNUM, Kerdzi_N, sum(Raodenoba) from Shekvetebi group by USERNUM, Kerdzi_N"));
    while (lines.next()) {
        const QString k = key(lines.value(0).toLongLong(), lines.value(1).toLongLong());
        held[k] += lines.value(2).toDouble();
        keys.insert(k);
    }
    QSqlQuery log = run(db, QStringLiteral("select SHEKVETISN, KERid, RAQNA, sum(RAODENOBA) from DELS group by SHEKVETISN, KERid, RAQNA"));
    while (log.next()) {
        const QString k = key(log.value(0).toLongLong(), log.value(1).toLongLong());
        const QString what = log.value(2).toString();
        const double q = log.value(3).toDouble();
        if (what == Corrections::RaqnaIncreased)
            increased[k] += q;
        else if (what == Corrections::RaqnaDecreased)
            decreased[k] += q;
        else
            deleted[k] += q;
        keys.insert(k);
    }
    QList<std::pair<qint64, double>> cut = logs.cutAdds;
    QStringList out;
    QStringList sorted(keys.cbegin(), keys.cend());
    sorted.sort();
    for (const QString& k : sorted) {
        const double expected = logs.added.value(k) + increased.value(k) - decreased.value(k) - deleted.value(k);
        const double diff = held.value(k) - expected;
        if (same(diff, 0))
            continue;
        // A dish whose add was cut short by a kill may have been written.
        const qint64 item = k.section(u'/', 1).toLongLong();
        const auto it = std::find_if(cut.begin(), cut.end(), [&](const auto& c) { return c.first == item && same(c.second, diff); });
        if (it != cut.end()) {
            cut.erase(it);
            continue;
        }
        out << QStringLiteral("order/item=%1: lines hold %2, added %3, increased %4, decreased %5, deleted %6")
                   .arg(k)
                   .arg(held.value(k))
                   .arg(logs.added.value(k))
                   .arg(increased.value(k))
                   .arg(decreased.value(k))
                   .arg(deleted.value(k));
    }
    return out;
}

}  // namespace

QStringList Invariants::names()
{
    return {Split, TwoOrders, BusyHasLines, LineHasTable, StockBalance,
            Counter, DelsMatch, ClearedBilled, SettledAsBilled, KnownState,
            RegisteredWithinBill, RegisteredOnce, OneLedgerRow};
}

QList<Invariants::Violation> Invariants::check(QSqlDatabase db, const RushFixture::Stock& startStock,
                                               const QStringList& logPaths, const QString& journalPath)
{
    const Logs logs = readLogs(logPaths);
    QHash<QString, QStringList> found;

    found[Split] = breakingRows(db, QStringLiteral(
                                        "select USERNUM, TableNum, count(*) as lines from Shekvetebi where USERNUM in "
                                        "(select USERNUM from Shekvetebi group by USERNUM having count(distinct TableNum) > 1) "
                                        "group by USERNUM, TableNum order by USERNUM, TableNum"));

    found[TwoOrders] = breakingRows(db, QStringLiteral(
                                            "select TableNum, USERNUM, count(*) as open_lines from Shekvetebi where STATUSI <> 100 and TableNum in "
                                            "(select TableNum from Shekvetebi where STATUSI <> 100 group by TableNum having count(distinct USERNUM) > 1) "
                                            "group by TableNum, USERNUM order by TableNum, USERNUM"));
    found[TwoOrders] << breakingRows(db, QStringLiteral(
                                             "select TableNum, count(*) as busy_rows from busytable where Busy = 1 group by TableNum having count(*) > 1"));

    found[BusyHasLines] = breakingRows(db, QStringLiteral(
                                               "select b.TableNum, b.USERNUM, b.GadaxdiliTanxa from busytable b where b.Busy = 1 and not exists "
                                               "(select 1 from Shekvetebi s where s.USERNUM = b.USERNUM and s.TableNum = b.TableNum and s.STATUSI <> 100) "
                                               "order by b.TableNum"));

    found[LineHasTable] = breakingRows(db, QStringLiteral(
                                               "select s.ID, s.USERNUM, s.TableNum, s.STATUSI from Shekvetebi s where s.STATUSI <> 100 and not exists "
                                               "(select 1 from busytable b where b.Busy = 1 and b.TableNum = s.TableNum and b.USERNUM = s.USERNUM) "
                                               "order by s.ID"));

    // What the lines hold now is what was sold less what was given back; what
    // was received came in on top.
    QList<std::pair<qint64, double>> cutReceipts = logs.cutReceipts;
    QSqlQuery stock = run(db, QStringLiteral(
                                  "select k.ID, k.raodenoba, coalesce(sum(s.Raodenoba), 0) from kerdzebi k "
                                  "left join Shekvetebi s on s.Kerdzi_N = k.ID group by k.ID, k.raodenoba order by k.ID"));
    while (stock.next()) {
        const qint64 item = stock.value(0).toLongLong();
        const double start = startStock.value(item);
        const double now = stock.value(1).toDouble();
        const double held = stock.value(2).toDouble();
        const double expected = start - held + logs.received.value(item);
        if (startStock.contains(item) && !same(now, expected)) {
            // A receipt cut short by a kill may have been written.
            const auto it = std::find_if(cutReceipts.begin(), cutReceipts.end(), [&](const auto& c) {
                return c.first == item && same(now, expected + c.second);
            });
            if (it != cutReceipts.end()) {
                cutReceipts.erase(it);
                continue;
            }
        }
        if (!startStock.contains(item) || !same(now, expected))
            found[StockBalance] << QStringLiteral("item=%1: start %2, lines hold %3, stock %4 (expected %5)")
                                       .arg(item)
                                       .arg(start)
                                       .arg(held)
                                       .arg(now)
                                       .arg(expected);
    }

    found[Counter] = breakingRows(db, QStringLiteral(
                                          "select 'Shekvetebi' as source, ID, USERNUM as num from Shekvetebi where USERNUM > (select max(inctb) from Parametres) "
                                          "union all select 'busytable', ID, USERNUM from busytable where USERNUM > (select max(inctb) from Parametres) "
                                          "union all select 'DELS', ID, SHEKVETISN from DELS where SHEKVETISN > (select max(inctb) from Parametres)"));

    found[DelsMatch] = breakingRows(db, QStringLiteral("select d.ID, d.KERid, d.das, d.RAODENOBA, d.RAQNA, d.MAGIDA, d.SHEKVETISN from DELS d "
                                                       "where d.RAQNA is null or d.RAQNA not in (?, ?, ?) or d.RAODENOBA is null or d.RAODENOBA < 0 "
                                                       "or d.SHEKVETISN is null or d.SHEKVETISN <= 0 or d.MAGIDA is null "
                                                       "or not exists (select 1 from kerdzebi k where k.ID = d.KERid and k.Dasaxeleba = d.das) order by d.ID"),
                                    {Corrections::RaqnaDeleted, Corrections::RaqnaDecreased, Corrections::RaqnaIncreased});
    found[DelsMatch] << delsBalance(db, logs);

    struct Line
    {
        int state;
        double quantity;
    };
    QHash<qint64, Line> lines;
    QSqlQuery all = run(db, QStringLiteral("select ID, USERNUM, TableNum, STATUSI, Raodenoba from Shekvetebi order by ID"));
    while (all.next()) {
        const qint64 id = all.value(0).toLongLong();
        lines.insert(id, {all.value(3).toInt(), all.value(4).toDouble()});
        if (all.value(3).toInt() == 100 && !logs.billed.contains(id))
            found[ClearedBilled] << QStringLiteral("ID=%1, USERNUM=%2, TableNum=%3, Raodenoba=%4")
                                        .arg(id)
                                        .arg(all.value(1).toLongLong())
                                        .arg(all.value(2).toLongLong())
                                        .arg(all.value(4).toDouble());
    }
    for (const Logs::BilledLine& b : logs.cleared) {
        const auto it = lines.constFind(b.id);
        if (it == lines.cend())
            found[SettledAsBilled] << QStringLiteral("ID=%1 of order %2, billed %3: gone").arg(b.id).arg(b.order).arg(b.quantity);
        else if (it->state != 100 || !same(it->quantity, b.quantity))
            found[SettledAsBilled] << QStringLiteral("ID=%1 of order %2, billed %3: STATUSI=%4, Raodenoba=%5")
                                          .arg(b.id)
                                          .arg(b.order)
                                          .arg(b.quantity)
                                          .arg(it->state)
                                          .arg(it->quantity);
    }

    found[KnownState] = breakingRows(db, QStringLiteral(
                                             "select ID, USERNUM, STATUSI, povari from Shekvetebi where STATUSI is null "
                                             "or STATUSI not in (0, 1, 2, 3, 4, -5, 100) or (povari = 0 and STATUSI not in (0, 100)) order by ID"));

    // The bill of every order, as its lines hold it now (the fiscal table's
    // orders only ever gain lines).
    QHash<qint64, double> bills;
    QSqlQuery sums = run(db, QStringLiteral("select USERNUM, sum(Raodenoba * GFASI) from Shekvetebi group by USERNUM"));
    while (sums.next())
        bills.insert(sums.value(0).toLongLong(), sums.value(1).toDouble());

    QSqlQuery tables = run(db, QStringLiteral("select TableNum, USERNUM, FiskaluriTanxa from busytable where Busy = 1 order by TableNum"));
    while (tables.next()) {
        const double registered = tables.value(2).toDouble();
        const double bill = bills.value(tables.value(1).toLongLong());
        if (registered > bill + Cent)
            found[RegisteredWithinBill] << QStringLiteral("TableNum=%1, USERNUM=%2: registered %3, bill %4")
                                               .arg(tables.value(0).toLongLong())
                                               .arg(tables.value(1).toLongLong())
                                               .arg(registered)
                                               .arg(bill);
    }

    // No order had more registered than its bill, and the driver registered
    // what the stations kept as registered: no more (a sale sent twice), no
    // less, beyond the bills of registrations a kill cut short.
    for (auto it = logs.registered.cbegin(); it != logs.registered.cend(); ++it)
        if (it.value() > bills.value(it.key()) + Cent)
            found[RegisteredOnce] << QStringLiteral("order %1: registered %2 for a bill of %3")
                                         .arg(it.key())
                                         .arg(it.value())
                                         .arg(bills.value(it.key()));
    if (!journalPath.isEmpty()) {
        QFile journal(journalPath);
        double atDriver = 0;
        int sales = 0;
        if (journal.open(QIODevice::ReadOnly))
            for (const QByteArray& line : journal.readAll().split('\n'))
                if (const QList<QByteArray> f = line.split('\t'); f.size() >= 3 && f[2].trimmed() == "00") {
                    atDriver += f[1].toDouble();
                    ++sales;
                }
        const double extra = atDriver - logs.registeredTotal;
        if (extra < -Cent || extra > logs.cutBills + Cent)
            found[RegisteredOnce] << QStringLiteral("the driver registered %1 in %2 sales, the stations kept %3 "
                                                    "(cut short by kills: bills of %4)")
                                         .arg(atDriver)
                                         .arg(sales)
                                         .arg(logs.registeredTotal)
                                         .arg(logs.cutBills);
    }

    // A document is its supplier, number and day: one ledger row of a
    // supplier's debt holding the document's purchase total.
    struct Document
    {
        double total = 0;
        int rows = 0;
        double owed = 0;
    };
    QMap<QString, Document> documents;
    auto documentKey = [](const QVariant& supplier, const QVariant& number, const QVariant& day) {
        return QStringLiteral("%1 / %2 / %3").arg(supplier.toString(), number.toString(), day.toDate().toString(Qt::ISODate));
    };
    QSqlQuery received = run(db, QStringLiteral("select momwFN, sab_n, tarigi, sum(asagebi * raodenoba) from migeba "
                                                "where momwFN = ? group by momwFN, sab_n, tarigi"),
                             {RushFixture::Supplier});
    while (received.next())
        documents[documentKey(received.value(0), received.value(1), received.value(2))].total = received.value(3).toDouble();
    QSqlQuery ledger = run(db, QStringLiteral("select FN, USERNUM, tarigi, nisia from nisiebi where whois = ? and FN = ?"),
                           {Receiving::SupplierSide, RushFixture::Supplier});
    while (ledger.next()) {
        Document& d = documents[documentKey(ledger.value(0), ledger.value(1), ledger.value(2))];
        ++d.rows;
        d.owed += ledger.value(3).toDouble();
    }
    for (auto it = documents.cbegin(); it != documents.cend(); ++it)
        if (it->rows != 1 || std::abs(it->owed - it->total) > Cent)
            found[OneLedgerRow] << QStringLiteral("%1: %2 ledger rows owing %3, purchase total %4")
                                       .arg(it.key())
                                       .arg(it->rows)
                                       .arg(it->owed)
                                       .arg(it->total);

    QList<Violation> out;
    for (const QString& name : names())
        if (!found.value(name).isEmpty())
            out.append({name, found.value(name)});
    return out;
}

QString Invariants::describe(const QList<Violation>& violations, int rowsEach)
{
    QStringList out;
    for (const Violation& v : violations) {
        out << QStringLiteral("VIOLATED: %1 (%2 rows)").arg(v.invariant).arg(v.rows.size());
        for (qsizetype i = 0; i < v.rows.size() && i < rowsEach; ++i)
            out << QStringLiteral("    ") + v.rows[i];
        if (v.rows.size() > rowsEach)
            out << QStringLiteral("    ...");
    }
    return out.join(u'\n');
}
