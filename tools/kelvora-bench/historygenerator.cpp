#include "tools/kelvora-bench/historygenerator.h"
#include "tools/kelvora-bench/batchsink.h"
#include "tools/kelvora-bench/datasetsink.h"
#include "data/clock.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/money.h"
#include "data/datamodule.h"
#include "data/storedvalues.h"
#include "data/transaction.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

constexpr int TableCount = 100;
constexpr int OpenOrders = 15;
constexpr int DaysPerTransaction = 20;

struct MenuType
{
    const char* type;
    std::vector<const char*> items;
    double lowPrice;
    double highPrice;
    double popularity;  // relative share of the lines
};

// The menu: about 60 items in ten types.
const std::vector<MenuType>& menu()
{
    static const std::vector<MenuType> all = {
        {"ცხელი კერძები",
         {"ჩაქაფული", "ოჯახური", "ჩახოხბილი", "ჩაშუშული", "ჩკმერული", "შქმერული", "კუჭმაჭი", "ლობიო ქოთანში"},
         14,
         28,
         1.2},
        {"ხინკალი", {"ხინკალი ქალაქური", "ხინკალი მთიულური", "ხინკალი სოკოთი", "ხინკალი ყველით", "ხინკალი კარტოფილით"}, 1, 1.6, 1.5},
        {"მწვადი", {"ღორის მწვადი", "ხბოს მწვადი", "ქათმის მწვადი", "ლულა ქაბაბი", "ბატკნის მწვადი"}, 16, 32, 0.9},
        {"ცომეული",
         {"ხაჭაპური იმერული", "ხაჭაპური მეგრული", "ხაჭაპური აჭარული", "ლობიანი", "კუბდარი", "ფხლოვანი"},
         9,
         22,
         1.0},
        {"სალათები", {"ქართული სალათი", "ცეზარი", "ბადრიჯანი ნიგვზით", "ფხალი ასორტი", "ჯონჯოლი", "მჟავეული"}, 6, 16, 1.0},
        {"ცივი კერძები", {"ყველის ასორტი", "საცივი", "ბაჟე", "სულგუნი შებოლილი", "ხორცის ასორტი", "ელარჯი"}, 8, 24, 0.6},
        {"წვნიანები", {"ხარჩო", "ჩიხირთმა", "სოკოს წვნიანი", "ლობიოს წვნიანი"}, 8, 14, 0.5},
        {"დესერტები", {"ჩურჩხელა", "გოზინაყი", "ნაპოლეონი", "ფელამუში", "ნაყინი"}, 5, 12, 0.4},
        {"სასმელები",
         {"ლიმონათი ტარხუნა", "ლიმონათი მსხალი", "ბორჯომი", "ნაბეღლავი", "ყავა", "ჩაი", "ატმის წვენი", "ფორთოხლის ფრეში"},
         3,
         9,
         1.4},
        {"ღვინო", {"საფერავი", "მუკუზანი", "ქინძმარაული", "წინანდალი", "რქაწითელი", "ხვანჭკარა", "ჭაჭა"}, 18, 60, 0.7},
    };
    return all;
}

// Who cooks what. Bakery has two cooks, so its lines are not routed; drinks and
// wine have none.
const std::vector<std::pair<const char*, const char*>>& routing()
{
    static const std::vector<std::pair<const char*, const char*>> all = {
        {"ცხელი კერძები", "ნინო ბერიძე"},
        {"წვნიანები", "ნინო ბერიძე"},
        {"ხინკალი", "გიორგი კაპანაძე"},
        {"ცომეული", "გიორგი კაპანაძე"},
        {"ცომეული", "ლევან გელაშვილი"},
        {"მწვადი", "დავით ლომიძე"},
        {"სალათები", "თამარ ჯაფარიძე"},
        {"ცივი კერძები", "თამარ ჯაფარიძე"},
        {"დესერტები", "თამარ ჯაფარიძე"},
    };
    return all;
}

const std::vector<std::pair<const char*, bool>>& waiters()
{
    static const std::vector<std::pair<const char*, bool>> all = {
        {"ანა მაისურაძე", true},
        {"ნიკა ხარაძე", true},
        {"მარიამ წიკლაური", true},
        {"ლუკა ქავთარაძე", true},
        {"ეკა სამხარაძე", true},
        {"გიგა ნოზაძე", true},
        {"სალომე ბარამიძე", true},
        {"ირაკლი ტაბატაძე", true},
        {"ქეთი ჩიქოვანი", false},
        {"ზურაბ აბაშიძე", false},
    };
    return all;
}

const std::vector<std::pair<const char*, const char*>>& suppliers()
{
    static const std::vector<std::pair<const char*, const char*>> all = {
        {"404512377", "შპს ფერმერი"},
        {"205166981", "შპს ნატახტარი"},
        {"400087123", "შპს ვაზი"},
        {"01008012345", "ი/მ გოგი ბერიძე"},
        {"204455901", "შპს ბაზარი"},
    };
    return all;
}

const std::vector<const char*>& clients()
{
    static const std::vector<const char*> all = {"შპს ტელეკომი", "შპს სამშენებლო ჯგუფი", "ბანკის ოფისი",
                                                 "საკრებულო", "ლევან მჭედლიძე", "თეა გოგოლაძე"};
    return all;
}

const QString& Deleted = StoredValues::LineDeleted;
const QString& Decreased = StoredValues::LineDecreased;
const QString& Increased = StoredValues::LineIncreased;
const QString& ActiveWaiter = StoredValues::ActiveWaiter;
const QString& PassiveWaiter = StoredValues::PassiveWaiter;
const QString& SupplierRow = StoredValues::SupplierSide;
const QString& ClientRow = StoredValues::ClientSide;
const QString& WithoutSupplier = StoredValues::NoSupplier;

const QStringList LineColumns = {
    QStringLiteral("Kerdzi_N"), QStringLiteral("Kerdzi_DAS"), QStringLiteral("AFASI"),
    QStringLiteral("GFASI"), QStringLiteral("Raodenoba"), QStringLiteral("OFFICIANT"),
    QStringLiteral("Tarigi"), QStringLiteral("STATUSI"), QStringLiteral("Starttime"),
    QStringLiteral("endtime"), QStringLiteral("povari"), QStringLiteral("TableNum"),
    QStringLiteral("momsaxureoba"), QStringLiteral("USERNUM")};
const QStringList DelColumns = {QStringLiteral("KERid"), QStringLiteral("RAODENOBA"), QStringLiteral("MAGIDA"),
                                QStringLiteral("SHEKVETISN"), QStringLiteral("TARIGI"), QStringLiteral("RAQNA"),
                                QStringLiteral("das")};
const QStringList ReceiptColumns = {
    QStringLiteral("ID_DAS"), QStringLiteral("Dasaxeleba"), QStringLiteral("asagebi"), QStringLiteral("gasayidi"),
    QStringLiteral("raodenoba"), QStringLiteral("tipi"), QStringLiteral("momwSN"), QStringLiteral("momwFN"),
    QStringLiteral("sab_n"), QStringLiteral("tarigi")};
const QStringList CreditColumns = {QStringLiteral("SN"), QStringLiteral("FN"), QStringLiteral("whois"),
                                   QStringLiteral("nisia"), QStringLiteral("shettanxa"), QStringLiteral("tarigi"),
                                   QStringLiteral("USERNUM")};

QVariant nullValue()
{
    return QVariant();
}

// A moment of a day in the form the data layer stores: the day alone at
// midnight, else "YYYY-MM-DD HH:MM:SS". Made as text: a local QDateTime asks the
// C library for the time zone every time, which would be most of the work here.
QString momentText(const QString& dayText, int second)
{
    second = std::clamp(second, 0, 86399);
    if (second == 0)
        return dayText;
    char time[40];  // room for any int, though the clamp keeps each part to two digits
    std::snprintf(time, sizeof time, " %02d:%02d:%02d", second / 3600, second / 60 % 60, second % 60);
    return dayText + QLatin1String(time);
}

double cents(double v)
{
    return std::round(v * 100.0) / 100.0;
}

void runSql(const QString& sql)
{
    QSqlQuery q(Connection::database());
    if (!q.exec(sql))
        throw DbError(QStringLiteral("%1: %2").arg(sql, q.lastError().text()));
}

}  // namespace

HistoryGenerator::HistoryGenerator(TDM& dm, Engine engine, qint64 lines, bool viaDataLayer)
    : m_dm(dm), m_engine(engine), m_lines(lines), m_viaDataLayer(viaDataLayer)
{
}

HistoryGenerator::~HistoryGenerator() = default;

QDate HistoryGenerator::lastDay()
{
    return Clock::today();
}

int HistoryGenerator::uniform(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

bool HistoryGenerator::chance(double p)
{
    return std::uniform_real_distribution<double>(0, 1)(m_random) < p;
}

const HistoryGenerator::Item& HistoryGenerator::pickItem()
{
    return m_items[std::size_t(m_itemPick(m_random))];
}

std::unique_ptr<TableSink> HistoryGenerator::makeSink(const QString& table, const QStringList& columns,
                                                      int rowsPerStatement)
{
    if (!m_viaDataLayer)
        return std::make_unique<BatchSink>(Connection::database(), table, columns, rowsPerStatement);
    // The queries below list nothing while their parameters are unset (or -1),
    // so each is an empty list to append to, as the screens use them.
    NamedQuery* q = nullptr;
    std::function<void()> reopen;
    if (table == QLatin1String("Shekvetebi")) {
        q = m_dm.shekvet;
        reopen = [q] {
            q->close();
            q->setParam(QStringLiteral("USR"), qint64(-1));
            q->open();
        };
    } else {
        q = table == QLatin1String("DELS")     ? m_dm.dELS
            : table == QLatin1String("migeba") ? m_dm.migeba_new
                                               : m_dm.nisia_grid;
        reopen = [q] {
            q->close();
            q->open();
        };
    }
    return std::make_unique<DatasetSink>(q, columns, reopen);
}

GenerationReport HistoryGenerator::run(const QString& completeMarker, const Progress& progress)
{
    QElapsedTimer total;
    total.start();
    GenerationReport report;
    report.writer = m_viaDataLayer ? QStringLiteral("named queries, row by row (insert, setField, post)")
                                   : QStringLiteral("batched prepared multi-row inserts");

    {
        Transaction t;
        writeWaiters();
        writeMenu();
        writeRouting();
        writeTables();
        t.commit();
    }
    checkStoredForms();
    progress(QStringLiteral("menu of %1 items, %2 waiters, %3 tables written through the named queries")
                 .arg(m_items.size())
                 .arg(m_waiters.size())
                 .arg(TableCount));

    QElapsedTimer history;
    history.start();
    writeHistory(progress);
    report.historySeconds = double(history.nsecsElapsed()) / 1e9;

    {
        Transaction t;
        clearTables();
        setCounter(m_order);
        writeOpenOrders();
        t.commit();
    }
    finish(completeMarker);

    report.orderLines = m_linesWritten + m_openLines;
    report.openLines = m_openLines;
    report.orders = m_orders;
    report.deletions = m_delSink->rows();
    report.receipts = m_receiptSink->rows();
    report.credits = m_creditSink->rows();
    report.totalSeconds = double(total.nsecsElapsed()) / 1e9;
    return report;
}

void HistoryGenerator::writeWaiters()
{
    NamedQuery* q = m_dm.oficianti;
    q->close();
    q->open();
    for (const auto& [name, active] : waiters()) {
        q->insert();
        q->setField(QStringLiteral("Oficianti"), QString::fromUtf8(name));
        q->setField(QStringLiteral("mdgomareoba"), active ? ActiveWaiter : PassiveWaiter);
        q->post();
        m_waiters << QString::fromUtf8(name);
        if (active)
            m_activeWaiters << QString::fromUtf8(name);
    }
    q->close();
}

void HistoryGenerator::writeMenu()
{
    QHash<QString, int> cooks;
    for (const auto& [type, cook] : routing())
        ++cooks[QString::fromUtf8(type)];

    NamedQuery* q = m_dm.kerdzebi;
    q->close();
    q->setParam(QStringLiteral("das"), QStringLiteral("%"));
    q->setParam(QStringLiteral("tp"), QStringLiteral("%"));
    q->open();
    std::vector<double> weights;
    int priority = 0;
    for (const MenuType& type : menu()) {
        const int n = int(type.items.size());
        for (int i = 0; i < n; ++i) {
            Item item;
            item.name = QString::fromUtf8(type.items[std::size_t(i)]);
            item.type = QString::fromUtf8(type.type);
            const double step = n > 1 ? (type.highPrice - type.lowPrice) / (n - 1) : 0;
            item.sale = cents(type.lowPrice + step * i);
            item.purchase = cents(item.sale * (0.32 + 0.03 * (i % 5)));
            item.routed = cooks.value(item.type) == 1;
            q->insert();
            q->setField(QStringLiteral("Dasaxeleba"), item.name);
            q->setField(QStringLiteral("asagebi"), item.purchase);
            q->setField(QStringLiteral("gasayidi"), item.sale);
            q->setField(QStringLiteral("tipi"), item.type);
            q->setField(QStringLiteral("raodenoba"), double(uniform(-5, 120)));
            q->setField(QStringLiteral("momwodebeli"), WithoutSupplier);
            q->setField(QStringLiteral("prioriteti"), qint64(++priority));
            q->post();
            item.id = q->asInteger(QStringLiteral("ID"));
            m_items.push_back(item);
            // The first items of a type sell best.
            weights.push_back(type.popularity * 2.0 / (1.0 + i));
        }
    }
    q->close();
    m_itemPick = std::discrete_distribution<int>(weights.begin(), weights.end());
}

void HistoryGenerator::writeRouting()
{
    NamedQuery* q = m_dm.povrebis_uplebebi;
    q->close();
    q->setParam(QStringLiteral("GAN"), QString());  // lists nothing
    q->open();
    for (const auto& [type, cook] : routing()) {
        q->insert();
        q->setField(QStringLiteral("ganyofileba"), QString::fromUtf8(type));
        q->setField(QStringLiteral("povari"), QString::fromUtf8(cook));
        q->post();
    }
    q->close();
}

void HistoryGenerator::writeTables()
{
    // As the floor plan does at its first start: one free row per table.
    NamedQuery* q = m_dm.Tables;
    q->close();
    q->open();
    for (int t = 1; t <= TableCount; ++t) {
        q->insert();
        q->setField(QStringLiteral("Busy"), qint64(0));
        q->setField(QStringLiteral("TableNum"), qint64(t));
        q->setField(QStringLiteral("USERNUM"), qint64(0));
        q->post();
    }
    q->close();
}

void HistoryGenerator::checkStoredForms()
{
    // One line written through the order window's query and the same line through
    // a batch must be stored alike, or the benchmark would time a different table.
    const Item& item = m_items.front();
    const QDate day = lastDay().addYears(-3);
    const QString dayText = day.toString(Qt::ISODate);
    const QList<QVariant> row = {item.id, item.name, item.purchase, item.sale, 1.5, m_waiters.front(),
                                 dayText, qint64(100), momentText(dayText, 12 * 3600 + 34 * 60 + 56),
                                 QDateTime(day, QTime(18, 0, 5)), qint64(1), qint64(7), 10.0, qint64(-77)};
    Transaction t;
    NamedQuery* q = m_dm.shekvet;
    q->close();
    q->setParam(QStringLiteral("USR"), qint64(-1));
    q->open();
    q->insert();
    for (qsizetype i = 0; i < row.size(); ++i)
        if (!row[i].isNull())
            q->setField(LineColumns[i], row[i]);
    q->post();
    q->close();
    {
        BatchSink batch(Connection::database(), QStringLiteral("Shekvetebi"), LineColumns, 1);
        batch.add(row);
        batch.flush();
    }
    QStringList forms;
    for (const QString& c : LineColumns)
        forms << (m_engine == Engine::SQLite ? QStringLiteral("typeof(%1) || ':' || coalesce(%1, 'NULL')").arg(c)
                                             : QStringLiteral("coalesce(%1::text, 'NULL')").arg(c));
    QSqlQuery check(Connection::database());
    if (!check.exec(QStringLiteral("select %1 from Shekvetebi where USERNUM = -77 order by ID")
                        .arg(forms.join(QStringLiteral(", ")))))
        throw DbError(check.lastError().text());
    QStringList stored[2];
    for (int r = 0; r < 2; ++r) {
        if (!check.next())
            throw DbError(QStringLiteral("stored-form check: a row is missing"));
        for (int i = 0; i < LineColumns.size(); ++i)
            stored[r] << check.value(i).toString();
    }
    for (int i = 0; i < LineColumns.size(); ++i)
        if (stored[0][i] != stored[1][i])
            throw DbError(QStringLiteral("stored-form check: %1 is stored as \"%2\" by the data layer but as "
                                         "\"%3\" by the batch")
                              .arg(LineColumns[i], stored[0][i], stored[1][i]));
    t.rollback();
}

void HistoryGenerator::writeHistory(const Progress& progress)
{
    const bool pg = m_engine == Engine::PostgreSQL;
    // Rows per statement: PostgreSQL parses a longer statement more slowly per
    // row (1000 rows went at about half the rate of 100); SQLite hardly cares.
    m_lineSink = makeSink(QStringLiteral("Shekvetebi"), LineColumns, pg ? 100 : 200);
    m_delSink = makeSink(QStringLiteral("DELS"), DelColumns, 100);
    m_receiptSink = makeSink(QStringLiteral("migeba"), ReceiptColumns, 100);
    m_creditSink = makeSink(QStringLiteral("nisiebi"), CreditColumns, 50);

    const QDate last = lastDay();
    const QDate first = last.addYears(-2).addDays(1);
    const qint64 days = first.daysTo(last) + 1;
    // Today's open orders come on top of the history, about 8 lines each.
    const double linesPerDay = double(m_lines - OpenOrders * 8) / double(days);

    QElapsedTimer clock;
    clock.start();
    std::optional<Transaction> t;
    qint64 index = 0;
    for (QDate day = first; day <= last; day = day.addDays(1), ++index) {
        if (!t)
            t.emplace();
        writeDay(day, qint64(std::llround(linesPerDay * double(index + 1))), day == last);
        if ((index + 1) % DaysPerTransaction == 0 || day == last) {
            for (TableSink* s : {m_lineSink.get(), m_delSink.get(), m_receiptSink.get(), m_creditSink.get()})
                s->flush();
            t->commit();
            t.reset();
        }
        if ((index + 1) % 73 == 0 || day == last) {
            const double s = double(clock.nsecsElapsed()) / 1e9;
            progress(QStringLiteral("%1: %2 order lines, %3 s, %4 lines/s")
                         .arg(day.toString(Qt::ISODate))
                         .arg(m_linesWritten)
                         .arg(s, 0, 'f', 1)
                         .arg(qint64(double(m_linesWritten) / std::max(s, 1e-9))));
        }
    }
}

void HistoryGenerator::writeDay(const QDate& day, qint64 lineQuota, bool lastDay)
{
    // Today's open orders take tables of their own; the day's earlier guests
    // sat at any table and have all been cleared.
    if (lastDay) {
        std::vector<int> all;
        for (int i = 1; i <= TableCount; ++i)
            all.push_back(i);
        std::shuffle(all.begin(), all.end(), m_random);
        m_openTables.assign(all.begin(), all.begin() + OpenOrders);
    }
    while (m_linesWritten < lineQuota) {
        int table = uniform(1, TableCount);
        while (std::find(m_openTables.begin(), m_openTables.end(), table) != m_openTables.end())
            table = uniform(1, TableCount);
        writeOrder(day, table);
    }
    writeDeliveries(day);
}

void HistoryGenerator::writeOrder(const QDate& day, int table)
{
    const qint64 order = ++m_order;
    ++m_orders;
    if (day != m_day) {
        m_day = day;
        m_dayText = day.toString(Qt::ISODate);
    }
    const QString& waiter = m_waiters[uniform(0, int(m_waiters.size()) - 1)];
    const int opened = uniform(11 * 3600, 23 * 3600);
    const double service = chance(0.87) ? 10.0 : 0.0;
    const int lines = uniform(6, 10);
    double total = 0;
    const Item* someItem = nullptr;
    for (int l = 0; l < lines; ++l) {
        const Item& item = pickItem();
        someItem = &item;
        const int q = uniform(0, 9);
        const double quantity = q < 6 ? 1.0 : q < 8 ? 2.0
                                          : q < 9   ? 3.0
                                                    : 0.5;
        // Lines come in over the first hour or so of the visit; a cook takes a
        // routed line within minutes and finishes it within the hour.
        const int entered = opened + (l < 3 ? 0 : uniform(5, 70) * 60);
        const QVariant taken = momentText(m_dayText, item.routed ? entered + uniform(30, 600) : entered);
        const QVariant finished = item.routed ? QVariant(momentText(m_dayText, entered + uniform(8, 40) * 60))
                                              : nullValue();
        m_lineSink->add({item.id, item.name, item.purchase, item.sale, quantity, waiter, m_dayText, qint64(100),
                         taken, finished, qint64(item.routed ? 1 : 0), qint64(table), service, order});
        total += quantity * item.sale;
        ++m_linesWritten;
    }
    if (chance(0.08)) {
        const int entries = uniform(1, 2);
        for (int e = 0; e < entries; ++e) {
            const int kind = uniform(0, 9);
            const QString& what = kind < 5 ? Deleted : kind < 8 ? Decreased
                                                                : Increased;
            const QString when = momentText(m_dayText, opened + uniform(2, 90) * 60 + uniform(0, 59));
            m_delSink->add({someItem->id, double(uniform(1, 2)), qint64(table), order, when, what, someItem->name});
        }
    }
    if (chance(0.07)) {  // about 17 000 client debts in two years
        const double owed = cents(total + total / 100.0 * service);
        const bool old = day.daysTo(lastDay()) > 45;
        m_creditSink->add({nullValue(), QString::fromUtf8(clients()[std::size_t(uniform(0, int(clients().size()) - 1))]),
                           ClientRow, owed, old ? owed : 0.0, m_dayText, QString::number(order)});
    }
}

void HistoryGenerator::writeDeliveries(const QDate& day)
{
    // About 30 000 receiving lines in two years, 40 a day.
    const int deliveries = uniform(5, 10);
    for (int d = 0; d < deliveries; ++d) {
        const auto& [sn, name] = suppliers()[std::size_t(uniform(0, int(suppliers().size()) - 1))];
        const QString document = QStringLiteral("ზ-%1").arg(++m_documents, 6, 10, QLatin1Char('0'));
        const int lines = uniform(3, 8);
        double purchase = 0;
        for (int l = 0; l < lines; ++l) {
            const Item& item = m_items[std::size_t(uniform(0, int(m_items.size()) - 1))];
            const double quantity = double(uniform(5, 60));
            m_receiptSink->add({item.id, item.name, item.purchase, item.sale, quantity, item.type,
                                QString::fromLatin1(sn), QString::fromUtf8(name), document, m_dayText});
            purchase += quantity * item.purchase;
        }
        if (chance(0.5)) {  // on consignment: the supplier is owed the purchase total
            const bool old = day.daysTo(lastDay()) > 60;
            m_creditSink->add({nullValue(), QString::fromUtf8(name), SupplierRow, cents(purchase),
                               old ? cents(purchase) : 0.0, m_dayText, document});
        }
    }
}

void HistoryGenerator::clearTables()
{
    // Every table has been cleared at least once in two years.
    NamedQuery* q = m_dm.Tables;
    q->close();
    q->open();
    for (q->first(); !q->eof(); q->next()) {
        q->edit();
        q->setField(QStringLiteral("USERNUM"), qint64(-1));
        q->setField(QStringLiteral("GadaxdiliTanxa"), QVariant::fromValue(Money()));
        q->post();
    }
    q->close();
}

void HistoryGenerator::setCounter(qint64 value)
{
    NamedQuery* q = m_dm.setting;
    q->close();
    q->open();
    q->edit();
    q->setField(QStringLiteral("inctb"), value);
    q->post();
    q->close();
}

void HistoryGenerator::writeOpenOrders()
{
    // Today's open tables, entered as the order window enters them: draw the
    // order number, mark the table busy, add the lines; then the cooks move the
    // routed lines along.
    const QDate today = lastDay();
    NamedQuery* setting = m_dm.setting;
    NamedQuery* busy = m_dm.busytables;
    NamedQuery* lines = m_dm.shekvet;
    for (int table : m_openTables) {
        setting->close();
        setting->open();
        const qint64 order = setting->asInteger(QStringLiteral("inctb")) + 1;
        setting->edit();
        setting->setField(QStringLiteral("inctb"), order);
        setting->post();
        m_order = order;
        ++m_orders;

        const QString& waiter = m_activeWaiters[uniform(0, int(m_activeWaiters.size()) - 1)];
        busy->close();
        busy->setParam(QStringLiteral("TB"), qint64(table));
        busy->open();
        busy->edit();
        busy->setField(QStringLiteral("Busy"), qint64(1));
        busy->setField(QStringLiteral("USERNUM"), order);
        busy->setField(QStringLiteral("OFICIANT"), waiter);
        if (chance(0.2))
            busy->setField(QStringLiteral("GadaxdiliTanxa"), QVariant::fromValue(Money::fromInt(uniform(2, 10) * 10)));
        busy->post();

        lines->close();
        lines->setParam(QStringLiteral("USR"), order);
        lines->open();
        const QTime opened = QTime(0, 0).addSecs(uniform(12 * 3600, 15 * 3600));
        const int count = uniform(6, 10);
        for (int l = 0; l < count; ++l) {
            const Item& item = pickItem();
            const QDateTime entered(today, opened.addSecs(l * 90));
            lines->insert();
            lines->setField(QStringLiteral("Kerdzi_N"), item.id);
            lines->setField(QStringLiteral("Kerdzi_DAS"), item.name);
            lines->setField(QStringLiteral("AFASI"), item.purchase);
            lines->setField(QStringLiteral("GFASI"), item.sale);
            lines->setField(QStringLiteral("Raodenoba"), double(uniform(1, 3)));
            lines->setField(QStringLiteral("OFFICIANT"), waiter);
            lines->setField(QStringLiteral("Tarigi"), QDateTime(today, QTime(0, 0)));
            lines->setField(QStringLiteral("STATUSI"), qint64(item.routed ? 1 : 0));
            lines->setField(QStringLiteral("Starttime"), entered);
            lines->setField(QStringLiteral("povari"), qint64(item.routed ? 1 : 0));
            lines->setField(QStringLiteral("TableNum"), qint64(table));
            lines->setField(QStringLiteral("USERNUM"), order);
            lines->post();
            ++m_openLines;
            if (!item.routed)
                continue;
            // Taken (2), started (3), finished (4) or handed over (-5); the rest wait (1).
            const int roll = uniform(0, 99);
            const int state = roll < 35 ? 1 : roll < 55 ? 2
                                          : roll < 75   ? 3
                                          : roll < 90   ? 4
                                                        : -5;
            if (state == 1)
                continue;
            lines->edit();
            lines->setField(QStringLiteral("STATUSI"), qint64(state));
            lines->setField(QStringLiteral("Starttime"), entered.addSecs(uniform(60, 300)));
            if (state == 4 || state == -5)
                lines->setField(QStringLiteral("endtime"), entered.addSecs(uniform(10, 30) * 60));
            lines->post();
        }
    }
    lines->close();
    busy->close();
    setting->close();
}

void HistoryGenerator::finish(const QString& completeMarker)
{
    NamedQuery* q = m_dm.setting;
    q->close();
    q->open();
    q->edit();
    q->setField(QStringLiteral("dawesebuleba"), completeMarker);
    q->post();
    q->close();
    if (m_engine == Engine::PostgreSQL)
        runSql(QStringLiteral("vacuum analyze"));
    else
        runSql(QStringLiteral("pragma wal_checkpoint(truncate)"));
}
