// One station of a rush: a seeded random mix of what waiters and a cook do on
// the few tables of the floor (dishes added, quantities changed, lines deleted,
// orders moved, prepayments taken, tables cleared, lines taken, started and
// finished), as a separate process against a shared database. Usage:
//   kelvora_rushstation UDL_PATH STATION OPERATIONS SEED LOG_PATH [FIRST-LAST] [OPTIONS]
// FIRST-LAST keeps the station to those tables (all of the floor by default), so
// that stations on tables of their own share only the kitchen and the stock.
// After OPERATIONS the station goes on, for at most half a minute, until it has
// done every kind of operation at least once: on a busy machine one kind can be
// refused each time it comes up. Every operation is logged (see rushlog.h). An operation the program refuses
// for a reason a person is told (a table just cleared elsewhere, a line another
// station changed) counts as refused; anything else that fails (an engine's raw
// text, "database is locked", an error where none belongs) is a fault. Exits 0
// when there was no fault, 1 otherwise, 2 on a usage error.
// OPERATIONS 0 runs until the station is told to stop (SIGTERM), which it does
// between two operations. Options:
//   --print       also add dishes to the fiscal table and register its bill with
//                 the fiscal driver (the paths of the settings row)
//   --only-print  every operation registers the fiscal table's bill
//   --receive     also receive the goods item on consignment, on documents that
//                 every station receiving in the same two seconds shares
//   --only-receive  every operation receives the goods item so
//   --freeze-after N  after N operations, stop (SIGSTOP) inside a transaction
//                 that holds the order lock and a dish's stock row, and carry
//                 on once continued (SIGCONT)
//   --start-at MS wait until that moment (milliseconds since the epoch) first
// Every operation is logged (see rushlog.h) with the milliseconds it took. An
// operation the program refuses for a reason a person is told (a table just
// cleared elsewhere, a line another station changed, a lock another station
// holds) counts as refused; anything else that fails (an engine's raw text,
// "database is locked", an error where none belongs) is a fault. Exits 0 when
// there was no fault, 1 otherwise, 2 on a usage error.
#include "shell/inputerror.h"
#include "shell/linestates.h"
#include "data/clock.h"
#include "data/connection.h"
#include "data/datamodule.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "orders/corrections.h"
#include "orders/orderentry.h"
#include "orders/settlement.h"
#include "billing/fiscalexchange.h"
#include "data/transaction.h"
#include "stock/receiving.h"
#include "tests/race/rushfixture.h"
#include "tests/race/rushlog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <random>

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void requestStop(int)
{
    g_stop = 1;
}

struct Options
{
    bool print = false;
    bool onlyPrint = false;
    bool receive = false;
    bool onlyReceive = false;
    int freezeAfter = -1;
    qint64 startAt = 0;
};

using Fields = QList<std::pair<QString, QString>>;

// The clearing as the order window does it after the bill was printed from
// `billed`. Returns the number of the order's lines left open.
int clearOrder(TDM& dm, const QString& tableText, const QString& orderNumber, double servicePercent,
               const QList<Settlement::BilledLine>& billed)
{
    return Settlement::clearTable(dm, tableText, orderNumber, servicePercent, billed);
}

// A text the program wrote for a person (Georgian, no engine's words in it).
bool isRefusal(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 128 && c.isLetter())
            return false;
    return !text.isEmpty() && !text.contains(QStringLiteral("ტრანზაქცია უკვე დაწყებულია"));
}

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

class Station
{
public:
    Station(int station, quint32 seed, const QString& logPath, int firstTable, int lastTable, const Options& options)
        : m_station(station), m_rng(seed), m_log(logPath), m_first(firstTable), m_last(lastTable), m_options(options)
    {
        m_waiter = QStringLiteral("მიმტანი %1").arg(station);
    }

    bool logOpen() const { return m_log.isOpen(); }
    const RushLog::Counts& counts() const { return m_counts; }
    bool everyKindDone() const
    {
        // A station that does one kind only, or stops itself on purpose, has no mix to complete.
        if (m_options.onlyReceive || m_options.onlyPrint || m_options.freezeAfter >= 0)
            return true;
        for (const char* op : {"add", "change", "delete", "move", "prepay", "clear", "cook"})
            if (!m_kindsDone.contains(QString::fromLatin1(op)))
                return false;
        return true;
    }

    void runOne()
    {
        if (m_done == m_options.freezeAfter) {
            ++m_done;
            guarded(QStringLiteral("freeze"), [&] { freeze(); });
            return;
        }
        ++m_done;
        const QString fiscalTable = QString::number(RushFixture::PrintTable);
        if (m_options.onlyReceive) {
            guarded(QStringLiteral("receive"), [&] { receive(); });
            return;
        }
        if (m_options.onlyPrint) {
            guarded(QStringLiteral("print"), [&] { print(fiscalTable); });
            return;
        }
        if (m_options.print && pick(100) < 10) {
            if (pick(2))
                guarded(QStringLiteral("add"), [&] { add(fiscalTable); });
            else
                guarded(QStringLiteral("print"), [&] { print(fiscalTable); });
            return;
        }
        if (m_options.receive && pick(100) < 6) {
            guarded(QStringLiteral("receive"), [&] { receive(); });
            return;
        }
        const int roll = pick(100);
        const QString table = QString::number(m_first + pick(m_last - m_first + 1));
        if (roll < 35)
            guarded(QStringLiteral("add"), [&] { add(table); });
        else if (roll < 47)
            onOrder(table, QStringLiteral("change"), [&](qint64 order) { change(table, order); });
        else if (roll < 55)
            onOrder(table, QStringLiteral("delete"), [&](qint64 order) { remove(table, order); });
        else if (roll < 61)
            onOrder(table, QStringLiteral("move"), [&](qint64 order) { move(table, order); });
        else if (roll < 67)
            guarded(QStringLiteral("prepay"), [&] { prepay(table); });
        else if (roll < 77)
            onOrder(table, QStringLiteral("clear"), [&](qint64 order) { clear(table, order); });
        else
            guarded(QStringLiteral("cook"), [&] { cook(table); });
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

    // The operation runs; its outcome is logged and counted.
    template <typename F>
    void guarded(const QString& op, F&& f)
    {
        m_op = op;
        m_clock.start();
        try {
            f();
        } catch (const InputError& e) {
            refused(e.text());
        } catch (const DbError& e) {
            if (isRefusal(e.text()))
                refused(e.text());
            else
                fault(e.text());
        } catch (const std::exception& e) {
            fault(QString::fromLocal8Bit(e.what()));
        }
    }

    // An operation on the table's open order; a free table gets a dish instead,
    // as a waiter would give it.
    template <typename F>
    void onOrder(const QString& table, const QString& op, F&& f)
    {
        qint64 order = 0;
        guarded(op, [&] {
            NamedQuery* row = m_dm.busytables;
            row->reopen({{QStringLiteral("TB"), table}});
            if (!row->isEmpty() && row->asInteger(QStringLiteral("Busy")) == 1)
                order = row->asInteger(QStringLiteral("USERNUM"));
            if (order > 0) {
                m_dm.shekvet->reopen({{QStringLiteral("USR"), order}});
                if (m_dm.shekvet->isEmpty())
                    order = 0;
            }
        });
        if (m_op != op)
            return;  // reading the table failed, and was logged
        if (order > 0)
            guarded(op, [&] { f(order); });
        else
            guarded(QStringLiteral("add"), [&] { add(table); });
    }

    void tried(const Fields& fields) { m_log.write(m_op, QStringLiteral("try"), fields); }
    // How long the operation took, from its start to its outcome.
    Fields timed(Fields fields) const
    {
        fields.append({QStringLiteral("ms"), QString::number(m_clock.elapsed())});
        return fields;
    }
    void done(const Fields& fields)
    {
        m_log.write(m_op, QStringLiteral("ok"), timed(fields));
        ++m_counts.done;
        m_kindsDone.insert(m_op);
        m_op.clear();
    }
    void refused(const QString& text)
    {
        m_log.write(m_op, QStringLiteral("refused"), timed({}), text);
        ++m_counts.refused;
        m_op.clear();
    }
    void fault(const QString& text)
    {
        m_log.write(m_op, QStringLiteral("fault"), timed({}), text);
        std::fprintf(stderr, "station %d: %s: %s\n", m_station, qPrintable(m_op), qPrintable(text));
        ++m_counts.faults;
        m_op.clear();
    }

    void add(const QString& table)
    {
        static const QStringList quantities{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("0.5"),
                                            QStringLiteral("1.5"), QStringLiteral("3")};
        NamedQuery* menu = m_dm.kerdzebi;
        menu->reopen({{QStringLiteral("das"), QStringLiteral("%")}, {QStringLiteral("tp"), QStringLiteral("%")}});
        // The goods item is received, never sold.
        do
            menu->moveTo(pick(menu->rowCount()));
        while (menu->asString(QStringLiteral("Dasaxeleba")) == RushFixture::ReceivedItem);
        const QString item = QString::number(menu->asInteger(QStringLiteral("ID")));
        const QString quantity = quantities[pick(int(quantities.size()))];
        tried({{QStringLiteral("table"), table}, {QStringLiteral("item"), item}, {QStringLiteral("qty"), quantity}});
        const OrderEntry::Result r = OrderEntry::addLine(m_dm, table, m_waiter, quantity);
        done({{QStringLiteral("table"), table},
              {QStringLiteral("order"), QString::number(r.orderNumber)},
              {QStringLiteral("item"), item},
              {QStringLiteral("qty"), quantity},
              {QStringLiteral("line"), QString::number(m_dm.shekvet->asInteger(QStringLiteral("ID")))}});
    }

    // Stands on a random line of the order read by onOrder.
    void pickLine()
    {
        m_dm.shekvet->moveTo(pick(m_dm.shekvet->rowCount()));
    }

    void change(const QString& table, qint64 order)
    {
        static const QStringList quantities{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4"),
                                            QStringLiteral("0.5")};
        pickLine();
        NamedQuery* lines = m_dm.shekvet;
        const QString line = QString::number(lines->asInteger(QStringLiteral("ID")));
        const QString before = number(lines->asFloat(QStringLiteral("Raodenoba")));
        const QString after = quantities[pick(int(quantities.size()))];
        tried({{QStringLiteral("table"), table}, {QStringLiteral("line"), line}});
        Corrections::changeQuantity(m_dm, table, after);
        done({{QStringLiteral("table"), table},
              {QStringLiteral("order"), QString::number(order)},
              {QStringLiteral("line"), line},
              {QStringLiteral("old"), before},
              {QStringLiteral("new"), after}});
    }

    void remove(const QString& table, qint64 order)
    {
        pickLine();
        NamedQuery* lines = m_dm.shekvet;
        const QString line = QString::number(lines->asInteger(QStringLiteral("ID")));
        const QString quantity = number(lines->asFloat(QStringLiteral("Raodenoba")));
        tried({{QStringLiteral("table"), table}, {QStringLiteral("line"), line}});
        const bool freed = Corrections::deleteLine(m_dm, table);
        done({{QStringLiteral("table"), table},
              {QStringLiteral("order"), QString::number(order)},
              {QStringLiteral("line"), line},
              {QStringLiteral("qty"), quantity},
              {QStringLiteral("freed"), freed ? QStringLiteral("1") : QStringLiteral("0")}});
    }

    void move(const QString& table, qint64 order)
    {
        QStringList targets;
        for (const QString& t : Corrections::freeTables(m_dm))
            if (t != table && t.toInt() >= m_first && t.toInt() <= m_last)
                targets << t;
        if (targets.isEmpty()) {
            m_op.clear();
            guarded(QStringLiteral("add"), [&] { add(table); });
            return;
        }
        const QString target = targets[pick(int(targets.size()))];
        tried({{QStringLiteral("from"), table}, {QStringLiteral("to"), target}, {QStringLiteral("order"), QString::number(order)}});
        Corrections::moveOrder(m_dm, table, order, target);
        done({{QStringLiteral("from"), table}, {QStringLiteral("to"), target}, {QStringLiteral("order"), QString::number(order)}});
    }

    void prepay(const QString& table)
    {
        const QString amount = QStringLiteral("%1.5").arg(5 + pick(40));
        tried({{QStringLiteral("table"), table}, {QStringLiteral("amount"), amount}});
        if (!Settlement::savePrepayment(m_dm, table, amount))
            throw InputError(QStringLiteral("მაგიდა ვერ მოიძებნა"));
        done({{QStringLiteral("table"), table}, {QStringLiteral("amount"), amount}});
    }

    void clear(const QString& table, qint64 order)
    {
        // The bill is printed from the lines the order window holds.
        NamedQuery* lines = m_dm.shekvet;
        QList<Settlement::BilledLine> billed;
        QStringList billText;
        for (lines->first(); !lines->eof(); lines->next()) {
            billed.append({lines->asInteger(QStringLiteral("ID")), lines->asFloat(QStringLiteral("Raodenoba"))});
            billText << QStringLiteral("%1:%2").arg(billed.last().id).arg(number(billed.last().quantity));
        }
        const double service = pick(2) ? 10.0 : 0.0;
        tried({{QStringLiteral("table"), table},
               {QStringLiteral("order"), QString::number(order)},
               {QStringLiteral("lines"), billText.join(u',')}});
        const int left = clearOrder(m_dm, table, QString::number(order), service, billed);
        done({{QStringLiteral("table"), table},
              {QStringLiteral("order"), QString::number(order)},
              {QStringLiteral("left"), QString::number(left)}});
    }

    // The bill of the fiscal table registered with the fiscal driver, as the
    // order window does it once the bill is printed.
    void print(const QString& table)
    {
        NamedQuery* row = m_dm.busytables;
        row->reopen({{QStringLiteral("TB"), table}});
        if (row->isEmpty() || row->asInteger(QStringLiteral("Busy")) != 1) {
            m_op.clear();
            guarded(QStringLiteral("add"), [&] { add(table); });
            return;
        }
        const qint64 order = row->asInteger(QStringLiteral("USERNUM"));
        NamedQuery* sums = m_dm.sum_shekvetebi;
        sums->reopen({{QStringLiteral("USR"), order}});
        const Money bill = Money::fromDoubleHalfEven(sums->asFloat(QStringLiteral("sulfasi"))).roundedHalfEven(2);
        tried({{QStringLiteral("table"), table}, {QStringLiteral("order"), QString::number(order)}, {QStringLiteral("bill"), Formats::shortest(bill)}});
        FiscalExchange exchange(FiscalExchange::Timing{std::chrono::milliseconds(50), 400, std::chrono::milliseconds(50)},
                                FiscalExchange::Indicator::Hidden);
        double sent = 0;
        QString status;
        const QString message = Settlement::registerSale(m_dm, table, order, bill, [&](double amount, QString& s) {
            sent = amount;
            exchange.DPrint(m_dm, amount, s);
            status = s;
        });
        const bool registered = status == QLatin1String(FiscalExchange::SuccessCode)
                                || status == QLatin1String(FiscalExchange::StatusUnknown);
        if (!message.isEmpty() && !registered)
            throw InputError(message);  // surely not registered: told, nothing kept
        done({{QStringLiteral("table"), table},
              {QStringLiteral("order"), QString::number(order)},
              {QStringLiteral("bill"), Formats::shortest(bill)},
              {QStringLiteral("due"), registered ? number(sent) : QStringLiteral("0")},
              {QStringLiteral("status"), status.isEmpty() ? QStringLiteral("none") : status}});
    }

    // A line of the goods item received on consignment. Stations receiving in
    // the same two seconds write to one document, so its first lines race.
    void receive()
    {
        NamedQuery* items = m_dm.kerdzebi;
        items->reopen({{QStringLiteral("das"), RushFixture::ReceivedItem}, {QStringLiteral("tp"), QStringLiteral("%")}});
        if (items->isEmpty())
            throw std::runtime_error("the received item is missing");
        ReceivedLine line;
        line.item = items->asInteger(QStringLiteral("ID"));
        line.quantity = QStringLiteral("2");
        line.purchasePrice = QStringLiteral("1.5");
        line.salePrice = QStringLiteral("3");
        line.supplierNumber = QStringLiteral("204567890");
        line.supplier = RushFixture::Supplier;
        line.document = QStringLiteral("R%1").arg(QDateTime::currentMSecsSinceEpoch() / 2000);
        line.day = Clock::today();
        line.consignment = true;
        tried({{QStringLiteral("item"), QString::number(line.item)}, {QStringLiteral("qty"), line.quantity}, {QStringLiteral("document"), line.document}});
        Receiving::record(m_dm, line);
        done({{QStringLiteral("item"), QString::number(line.item)}, {QStringLiteral("qty"), line.quantity}, {QStringLiteral("document"), line.document}});
    }

    // As a station whose network drops mid-write: inside a transaction holding
    // the order lock and a dish's stock row, the process stops until continued.
    void freeze()
    {
        NamedQuery* menu = m_dm.kerdzebi;
        menu->reopen({{QStringLiteral("das"), QStringLiteral("%")}, {QStringLiteral("tp"), QStringLiteral("%")}});
        const qint64 item = menu->asInteger(QStringLiteral("ID"));
        tried({{QStringLiteral("item"), QString::number(item)}});
        {
            Transaction tx;
            tx.lockOrderNumbering();
            m_dm.addToStock(item, Money());
            std::raise(SIGSTOP);
            tx.commit();
        }
        done({{QStringLiteral("item"), QString::number(item)}});
    }

    // The cook screen: a double click in the queue takes a line, a click on
    // START or END of the work list starts or finishes it.
    void cook(const QString& table)
    {
        NamedQuery* queue = m_dm.Povari_left;
        NamedQuery* work = m_dm.povari_right;
        const std::initializer_list<NamedQuery::Param> cook{{QStringLiteral("UP"), RushFixture::Cook},
                                                            {QStringLiteral("TP"), QStringLiteral("%")}};
        queue->reopen(cook);
        work->reopen(cook);
        const bool take = !queue->isEmpty() && (work->isEmpty() || pick(2) == 0);
        NamedQuery* list = take ? queue : work;
        if (list->isEmpty()) {
            m_op.clear();
            guarded(QStringLiteral("add"), [&] { add(table); });
            return;
        }
        list->moveTo(pick(list->rowCount()));
        const QString line = QString::number(list->asInteger(QStringLiteral("ID")));
        const int from = int(list->asInteger(QStringLiteral("STATUSI")));
        const int to = take ? LineState::Taken : (pick(2) ? LineState::Started : LineState::Finished);
        tried({{QStringLiteral("line"), line}, {QStringLiteral("from"), QString::number(from)}, {QStringLiteral("to"), QString::number(to)}});
        try {
            list->edit();
            list->setField(QStringLiteral("STATUSI"), to);
            if (to == LineState::Taken)
                list->setField(QStringLiteral("Starttime"), Clock::now());
            else if (to == LineState::Finished)
                list->setField(QStringLiteral("endtime"), Clock::now());
            list->post();
        } catch (...) {
            list->cancel();
            throw;
        }
        done({{QStringLiteral("line"), line}, {QStringLiteral("from"), QString::number(from)}, {QStringLiteral("to"), QString::number(to)}});
    }

    int m_station;
    std::mt19937 m_rng;
    RushLog::Writer m_log;
    int m_first;
    int m_last;
    Options m_options;
    int m_done = 0;
    QElapsedTimer m_clock;
    TDM m_dm;
    QString m_waiter;
    QString m_op;
    RushLog::Counts m_counts;
    QSet<QString> m_kindsDone;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int first = 1;
    int last = RushFixture::Tables;
    Options options;
    bool usage = args.size() < 6;
    qsizetype next = 6;
    if (!usage && args.size() > 6 && !args[6].startsWith(QLatin1String("--"))) {
        first = args[6].section(u'-', 0, 0).toInt();
        last = args[6].section(u'-', 1, 1).toInt();
        next = 7;
    }
    for (qsizetype i = next; i < args.size() && !usage; ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--print"))
            options.print = true;
        else if (a == QLatin1String("--only-print"))
            options.onlyPrint = true;
        else if (a == QLatin1String("--receive"))
            options.receive = true;
        else if (a == QLatin1String("--only-receive"))
            options.onlyReceive = true;
        else if (a == QLatin1String("--freeze-after") && i + 1 < args.size())
            options.freezeAfter = args[++i].toInt();
        else if (a == QLatin1String("--start-at") && i + 1 < args.size())
            options.startAt = args[++i].toLongLong();
        else
            usage = true;
    }
    if (usage || first < 1 || last < first || last > RushFixture::Tables) {
        std::fprintf(stderr, "usage: kelvora_rushstation UDL STATION OPERATIONS SEED LOG [FIRST-LAST] [--print] "
                             "[--only-print] [--receive] [--only-receive] [--freeze-after N] [--start-at MS]\n");
        return 2;
    }
    Formats::setDecimalSeparator(u'.');
    Connection::setDataLinkPath(args[1]);
    Station station(args[2].toInt(), args[4].toUInt(), args[5], first, last, options);
    if (!station.logOpen()) {
        std::fprintf(stderr, "cannot write the log %s\n", qPrintable(args[5]));
        return 2;
    }
    struct sigaction stop = {};
    stop.sa_handler = requestStop;
    stop.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &stop, nullptr);
    const qint64 wait = options.startAt - QDateTime::currentMSecsSinceEpoch();
    if (wait > 0)
        QThread::msleep(static_cast<unsigned long>(wait));
    const int operations = args[3].toInt();
    for (int i = 0; (operations == 0 || i < operations) && !g_stop; ++i)
        station.runOne();
    QElapsedTimer more;
    more.start();
    while (operations > 0 && !g_stop && !station.everyKindDone() && !more.hasExpired(30000))
        station.runOne();
    const RushLog::Counts& c = station.counts();
    std::printf("station %s: done %d refused %d faults %d\n", qPrintable(args[2]), c.done, c.refused, c.faults);
    return c.faults == 0 ? 0 : 1;
}
