#include "tools/kelvora-bench/reportoperations.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/postgresstatement.h"
#include "data/sqltext.h"
#include "data/datamodule.h"
#include "reports/ordercredit.h"
#include "reports/salessearch.h"

#include <QSqlDriver>
#include <libpq-fe.h>
#include <memory>
#include <sqlite3.h>

namespace {

const QString All = QStringLiteral("%");

qint64 readSqlite(sqlite3* h, const SqlText::Bound& sql)
{
    const QByteArray text = sql.text.toUtf8();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK)
        throw DbError(QString::fromUtf8(sqlite3_errmsg(h)));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> finalize(st, sqlite3_finalize);
    std::vector<QByteArray> held;
    for (int i = 0; i < sql.values.size(); ++i) {
        if (sql.values[i].isNull()) {
            sqlite3_bind_null(st, i + 1);
        } else {
            held.push_back(sql.values[i].toString().toUtf8());
            sqlite3_bind_text(st, i + 1, held.back().constData(), int(held.back().size()), SQLITE_STATIC);
        }
    }
    const int n = sqlite3_column_count(st);
    qint64 rows = 0;
    volatile double sink = 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (int i = 0; i < n; ++i) {
            switch (sqlite3_column_type(st, i)) {
            case SQLITE_INTEGER: sink = sink + double(sqlite3_column_int64(st, i)); break;
            case SQLITE_FLOAT: sink = sink + sqlite3_column_double(st, i); break;
            case SQLITE_TEXT: sink = sink + sqlite3_column_bytes(st, i) + *sqlite3_column_text(st, i); break;
            default: break;
            }
        }
        ++rows;
    }
    if (rc != SQLITE_DONE)
        throw DbError(QString::fromUtf8(sqlite3_errmsg(h)));
    return rows;
}

qint64 readPostgres(PGconn* c, const SqlText::Bound& sql)
{
    const QByteArray text = sql.text.toUtf8();
    // Bound as the data layer binds them, so that the reference cannot drift
    // from what it is measured against.
    const PostgresStatement::Params params(sql.values);
    // Row by row, as the data layer reads, so that the whole result is never
    // held at once.
    if (!PQsendQueryParams(c, text.constData(), params.count(), nullptr, params.values(), nullptr, nullptr, 0))
        throw DbError(QString::fromUtf8(PQerrorMessage(c)).trimmed());
    PQsetSingleRowMode(c);
    qint64 rows = 0;
    QString error;
    volatile qint64 sink = 0;
    while (PGresult* r = PQgetResult(c)) {
        const std::unique_ptr<PGresult, void (*)(PGresult*)> clear(r, PQclear);
        const ExecStatusType status = PQresultStatus(r);
        if (status == PGRES_SINGLE_TUPLE) {
            const int n = PQnfields(r);
            for (int i = 0; i < n; ++i)
                if (!PQgetisnull(r, 0, i))
                    sink = sink + PQgetlength(r, 0, i) + *PQgetvalue(r, 0, i);
            ++rows;
        } else if (status != PGRES_TUPLES_OK && error.isEmpty()) {
            error = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
        }
    }
    if (!error.isEmpty())
        throw DbError(error);
    return rows;
}

void setSales(BenchContext& c, NamedQuery* q, const QDate& first, const QDate& last)
{
    q->setParam(QStringLiteral("USR"), All);
    q->setParam(QStringLiteral("OF"), All);
    q->setParam(QStringLiteral("TB"), All);
    q->setParam(QStringLiteral("das"), All);
    q->setParam(QStringLiteral("ST"), first);
    q->setParam(QStringLiteral("EN"), last);
    (void)c;
}

// The sales search as the search button runs it, every filter blank.
qint64 salesSearch(BenchContext& c, const QDate& first, const QDate& last)
{
    SalesSearch::Filter f;
    f.st = first;
    f.en = last;
    SalesSearch(c.dm).run(f);
    return c.dm->History_shekvetebi->rowCount();
}

// The search as it ran before the sums were taken from the lines: the same
// search with sul_his_shek and magidebis_raod opened on the filter it left
// them, timed beside the search itself so that both meet the same load.
qint64 salesSearchWithSumQueries(BenchContext& c, const QDate& first, const QDate& last)
{
    const qint64 rows = salesSearch(c, first, last);
    c.dm->sul_his_shek->open();
    c.dm->magidebis_raod->open();
    return rows;
}

// Before the timed runs: the sums the search takes from the lines must be the
// very figures sul_his_shek gives for the same period.
void checkSalesSums(BenchContext& c, const QDate& first, const QDate& last)
{
    SalesSearch::Filter f;
    f.st = first;
    f.en = last;
    const SalesSearch::Totals t = SalesSearch(c.dm).run(f);
    NamedQuery* sums = c.dm->sul_his_shek;
    sums->open();
    const std::pair<const char*, QVariant> derived[] = {
        {"SULRAODENOBA", t.quantity}, {"SULAFASI", t.cost}, {"SULGFASI", t.withService}, {"SULGF", t.takings}};
    for (const auto& [field, value] : derived) {
        const QVariant engine = sums->value(QLatin1String(field));
        if (engine.isNull() != value.isNull()
            || Money::fromDoubleHalfEven(engine.toDouble()) != Money::fromDoubleHalfEven(value.toDouble()))
            throw DbError(QStringLiteral("%1: the lines give %2, the engine %3")
                              .arg(QLatin1String(field), value.toString(), engine.toString()));
    }
    sums->close();
}

// What the search sends: the stock for nashti, the lines, the client credit rows.
qint64 bareSalesSearch(BenchContext& c, const QDate& first, const QDate& last)
{
    TDM& dm = *c.dm;
    nativeBareRead(dm.kerdzebibyid);
    setSales(c, dm.History_shekvetebi, first, last);
    const qint64 rows = nativeBareRead(dm.History_shekvetebi);
    nativeBareRead(dm.query(QStringLiteral("klientis_nisiebi")));
    return rows;
}

// The month's orders, listed before the credit is timed.
void listMonthOrders(BenchContext& c)
{
    NamedQuery* q = c.dm->magidebis_raod;
    setSales(c, q, c.monthFirst, c.monthLast);
    q->close();
    q->open();
}

QVector<qint64> monthOrders(BenchContext& c)
{
    NamedQuery* q = c.dm->magidebis_raod;
    QVector<qint64> numbers;
    const int f = q->fieldIndex(QStringLiteral("USERNUM"));
    for (int r = 0; r < q->rowCount(); ++r)
        numbers << q->valueAt(r, f).toLongLong();
    return numbers;
}

qint64 creditAtOnce(BenchContext& c)
{
    OrderCredit credit(c.dm->query(QStringLiteral("klientis_nisiebi")));
    credit.reload();
    const QVector<qint64> numbers = monthOrders(c);
    credit.total(numbers);
    return numbers.size();
}

// What the credit sends: the client credit rows, read once by the bare engine.
qint64 bareCreditAtOnce(BenchContext& c)
{
    nativeBareRead(c.dm->query(QStringLiteral("klientis_nisiebi")));
    return monthOrders(c).size();
}

// The credit as one query per order: nisiebis_datvla for each listed order.
qint64 creditPerOrder(BenchContext& c)
{
    NamedQuery* q = c.dm->nisiebis_datvla;
    const QVector<qint64> numbers = monthOrders(c);
    for (qint64 order : numbers) {
        q->setParam(QStringLiteral("USR"), order);
        nativeBareRead(q);
    }
    return numbers.size();
}

void setReceiving(BenchContext& c)
{
    for (NamedQuery* q : {c.dm->migeba_new, c.dm->migeba_new_sum}) {
        q->setParam(QStringLiteral("SN"), All);
        q->setParam(QStringLiteral("FN"), All);
        q->setParam(QStringLiteral("Sab"), All);
        q->setParam(QStringLiteral("ST"), c.monthFirst);
        q->setParam(QStringLiteral("EN"), c.monthLast);
    }
}

qint64 receivingMonth(BenchContext& c)
{
    c.dm->migeba_new->reopen({{QStringLiteral("SN"), All}, {QStringLiteral("FN"), All}, {QStringLiteral("Sab"), All}, {QStringLiteral("ST"), c.monthFirst}, {QStringLiteral("EN"), c.monthLast}});
    c.dm->migeba_new_sum->reopen({{QStringLiteral("SN"), All}, {QStringLiteral("FN"), All}, {QStringLiteral("Sab"), All}, {QStringLiteral("ST"), c.monthFirst}, {QStringLiteral("EN"), c.monthLast}});
    c.dm->migeba_new_sum->asFloat(QStringLiteral("sulasagebi"));
    return c.dm->migeba_new->rowCount();
}

qint64 bareReceivingMonth(BenchContext& c)
{
    setReceiving(c);
    const qint64 rows = nativeBareRead(c.dm->migeba_new);
    nativeBareRead(c.dm->migeba_new_sum);
    return rows;
}

qint64 warehouse(BenchContext& c)
{
    c.dm->kerdzebi2->reopen({{QStringLiteral("das"), All}, {QStringLiteral("tp"), All}, {QStringLiteral("mom"), All}});
    return c.dm->kerdzebi2->rowCount();
}

qint64 bareWarehouse(BenchContext& c)
{
    NamedQuery* q = c.dm->kerdzebi2;
    q->setParam(QStringLiteral("das"), All);
    q->setParam(QStringLiteral("tp"), All);
    q->setParam(QStringLiteral("mom"), All);
    return nativeBareRead(q);
}

// The deletions search for the month, its end day in full.
QString monthEnd(const BenchContext& c)
{
    return c.monthLast.toString(Qt::ISODate) + QStringLiteral(" 23:59:59");
}

qint64 deletionsMonth(BenchContext& c)
{
    c.dm->dELS->reopen({{QStringLiteral("MGD"), All}, {QStringLiteral("SHN"), All}, {QStringLiteral("ST"), c.monthFirst}, {QStringLiteral("EN"), monthEnd(c)}});
    return c.dm->dELS->rowCount();
}

qint64 bareDeletionsMonth(BenchContext& c)
{
    NamedQuery* q = c.dm->dELS;
    q->setParam(QStringLiteral("MGD"), All);
    q->setParam(QStringLiteral("SHN"), All);
    q->setParam(QStringLiteral("ST"), c.monthFirst);
    q->setParam(QStringLiteral("EN"), monthEnd(c));
    return nativeBareRead(q);
}

}  // namespace

qint64 nativeBareRead(const NamedQuery* query)
{
    const SqlText& text = query->sqlText();
    const QSqlDatabase db = Connection::database();
    const QVariant handle = db.driver()->handle();
    if (Connection::engineOf(db) == Engine::SQLite) {
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
            throw DbError(QStringLiteral("no sqlite3 handle"));
        return readSqlite(*static_cast<sqlite3* const*>(handle.data()), text.bound(SqlText::Marks::Question, true));
    }
    if (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0)
        throw DbError(QStringLiteral("no libpq handle"));
    return readPostgres(*static_cast<PGconn* const*>(handle.data()), text.bound(SqlText::Marks::Numbered, true));
}

void appendReportOperations(std::vector<Operation>& all)
{
    all.push_back({"sales-day", "sales search, the last day: lines, sums, orders and their credit",
                   [](BenchContext& c) { return salesSearch(c, c.lastDay, c.lastDay); },
                   [](BenchContext& c) { return bareSalesSearch(c, c.lastDay, c.lastDay); }, std::nullopt,
                   std::nullopt});
    all.push_back({"sales-month", "sales search, one month: lines, sums, orders and their credit",
                   [](BenchContext& c) { return salesSearch(c, c.monthFirst, c.monthLast); },
                   [](BenchContext& c) { return bareSalesSearch(c, c.monthFirst, c.monthLast); }, 100.0,
                   std::nullopt, 1.5, 0, [](BenchContext& c) { checkSalesSums(c, c.monthFirst, c.monthLast); }});
    all.push_back({"sales-month-sums", "sales search, one month, with sul_his_shek and magidebis_raod opened as well", [](BenchContext& c) { return salesSearchWithSumQueries(c, c.monthFirst, c.monthLast); }, {}, std::nullopt, std::nullopt});
    all.push_back({"sales-year", "sales search, twelve months: lines, sums, orders and their credit",
                   [](BenchContext& c) { return salesSearch(c, c.yearFirst, c.yearLast); },
                   [](BenchContext& c) { return bareSalesSearch(c, c.yearFirst, c.yearLast); }, 2000.0, 400.0, 1.5, 0,
                   [](BenchContext& c) { checkSalesSums(c, c.yearFirst, c.yearLast); }});
    all.push_back({"credit-month", "a month's credit: the client rows read once (klientis_nisiebi) and totalled",
                   creditAtOnce, bareCreditAtOnce, std::nullopt, std::nullopt, 1.5, 0, listMonthOrders});
    all.push_back({"credit-per-order", "a month's credit the other way: nisiebis_datvla once per listed order", creditPerOrder, {}, std::nullopt, std::nullopt, 1.5, 0, listMonthOrders});
    all.push_back({"receiving-month", "receiving report, one month: migeba_new + migeba_new_sum", receivingMonth,
                   bareReceivingMonth, std::nullopt, std::nullopt});
    all.push_back({"warehouse", "warehouse report: kerdzebi2, every box blank", warehouse, bareWarehouse,
                   std::nullopt, std::nullopt});
    all.push_back({"deletions-month", "deletions report, one month: dELS", deletionsMonth, bareDeletionsMonth,
                   std::nullopt, std::nullopt});
}
