// One station of a rush: a seeded random mix of what waiters and a cook do on
// the few tables of the floor (dishes added, quantities changed, lines deleted,
// orders moved, prepayments taken, tables cleared, lines taken, started and
// finished), as a separate process against a shared database. Usage:
//   kelvora_rushstation UDL_PATH STATION OPERATIONS SEED LOG_PATH [FIRST-LAST]
// FIRST-LAST keeps the station to those tables (all of the floor by default), so
// that stations on tables of their own share only the kitchen and the stock.
// After OPERATIONS the station goes on, for at most half a minute, until it has
// done every kind of operation at least once: on a busy machine one kind can be
// refused each time it comes up. Every operation is logged (see rushlog.h). An operation the program refuses
// for a reason a person is told (a table just cleared elsewhere, a line another
// station changed) counts as refused; anything else that fails (an engine's raw
// text, "database is locked", an error where none belongs) is a fault. Exits 0
// when there was no fault, 1 otherwise, 2 on a usage error.
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
#include "tests/race/rushfixture.h"
#include "tests/race/rushlog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <cstdio>
#include <random>

namespace {

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
    Station(int station, quint32 seed, const QString& logPath, int firstTable, int lastTable)
        : m_station(station), m_rng(seed), m_log(logPath), m_first(firstTable), m_last(lastTable)
    {
        m_waiter = QStringLiteral("მიმტანი %1").arg(station);
    }

    bool logOpen() const { return m_log.isOpen(); }
    const RushLog::Counts& counts() const { return m_counts; }
    bool everyKindDone() const
    {
        for (const char* op : {"add", "change", "delete", "move", "prepay", "clear", "cook"})
            if (!m_kindsDone.contains(QString::fromLatin1(op)))
                return false;
        return true;
    }

    void runOne()
    {
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
    void done(const Fields& fields)
    {
        m_log.write(m_op, QStringLiteral("ok"), fields);
        ++m_counts.done;
        m_kindsDone.insert(m_op);
        m_op.clear();
    }
    void refused(const QString& text)
    {
        m_log.write(m_op, QStringLiteral("refused"), {}, text);
        ++m_counts.refused;
        m_op.clear();
    }
    void fault(const QString& text)
    {
        m_log.write(m_op, QStringLiteral("fault"), {}, text);
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
        menu->moveTo(pick(menu->rowCount()));
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
    if (args.size() == 7) {
        first = args[6].section(u'-', 0, 0).toInt();
        last = args[6].section(u'-', 1, 1).toInt();
    }
    if ((args.size() != 6 && args.size() != 7) || first < 1 || last < first || last > RushFixture::Tables) {
        std::fprintf(stderr, "usage: kelvora_rushstation UDL STATION OPERATIONS SEED LOG [FIRST-LAST]\n");
        return 2;
    }
    Formats::setDecimalSeparator(u'.');
    Connection::setDataLinkPath(args[1]);
    Station station(args[2].toInt(), args[4].toUInt(), args[5], first, last);
    if (!station.logOpen()) {
        std::fprintf(stderr, "cannot write the log %s\n", qPrintable(args[5]));
        return 2;
    }
    const int operations = args[3].toInt();
    for (int i = 0; i < operations; ++i)
        station.runOne();
    QElapsedTimer more;
    more.start();
    while (!station.everyKindDone() && !more.hasExpired(30000))
        station.runOne();
    const RushLog::Counts& c = station.counts();
    std::printf("station %s: done %d refused %d faults %d\n", qPrintable(args[2]), c.done, c.refused, c.faults);
    return c.faults == 0 ? 0 : 1;
}
