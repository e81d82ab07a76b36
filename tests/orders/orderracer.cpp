// One station adding dishes as fast as it can: for each round, one line of the
// given dish on every table of the list. Or, with --clear, a station clearing
// those tables over and over: it reads a busy table's lines as its bill would,
// then clears exactly those, writing the IDs it billed to stdout, one a line.
// The clearer goes on until it has cleared at least AT_LEAST times and the
// adding stations are done, which the test tells it by closing its stdin; it
// gives up after two and a half minutes. Usage:
//   kelvora_orderracer UDL_PATH DISH ROUNDS TABLE[,TABLE...] WAITER
//   kelvora_orderracer UDL_PATH --clear AT_LEAST TABLE[,TABLE...]
// Exits 0 when every line was written (the clearer: when it cleared at least
// AT_LEAST times, or the adders were done and it cleared all they left).
#include "shell/inputerror.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "orders/orderentry.h"
#include "orders/settlement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {

// Whether stdin has reached its end: the adding stations are done.
std::atomic<bool> addersDone{false};

// Clears until at least `atLeast` clearings were done and the adders are done,
// then once more over every table, so that what they added last is cleared too.
// Returns false when the time ran out first.
bool clearTables(TDM& dm, int atLeast, const QStringList& tables)
{
    NamedQuery* occupancy = dm.busytables;
    NamedQuery* lines = dm.shekvet;
    QElapsedTimer time;
    time.start();
    int cleared = 0;
    for (;;) {
        // Read before the pass: a pass that began after the adders ended sees all they added.
        const bool lastPass = addersDone.load();
        bool anyBusy = false;
        for (const QString& table : tables) {
            occupancy->reopen({{QStringLiteral("TB"), table}});
            if (occupancy->isEmpty() || occupancy->asInteger(QStringLiteral("Busy")) == 0)
                continue;
            anyBusy = true;
            const qint64 order = occupancy->asInteger(QStringLiteral("USERNUM"));
            lines->reopen({{QStringLiteral("USR"), order}});
            QList<Settlement::BilledLine> billed;
            for (int row = 0; row < lines->rowCount(); ++row)
                billed.append({lines->valueAt(row, lines->fieldIndex(QStringLiteral("ID"))).toLongLong(),
                               lines->valueAt(row, lines->fieldIndex(QStringLiteral("Raodenoba"))).toDouble()});
            Settlement::clearTable(dm, table, QString::number(order), 10, billed);
            ++cleared;
            for (const Settlement::BilledLine& line : billed)
                std::printf("%lld\n", static_cast<long long>(line.id));
            std::fflush(stdout);
        }
        if (lastPass && (cleared >= atLeast || !anyBusy))
            return true;
        if (!anyBusy)
            QThread::msleep(5);  // nothing to clear yet: leave the adders the database
        if (time.hasExpired(150000)) {
            std::fprintf(stderr, "the clearer cleared %d times in 150 s (adders done: %d)\n", cleared,
                         int(addersDone.load()));
            return false;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool clearing = args.size() == 5 && args[2] == QLatin1String("--clear");
    if (args.size() != 6 && !clearing) {
        std::fprintf(stderr, "usage: kelvora_orderracer UDL DISH ROUNDS TABLES WAITER\n"
                             "       kelvora_orderracer UDL --clear AT_LEAST TABLES\n");
        return 2;
    }
    Formats::setDecimalSeparator(u'.');
    Connection::setDataLinkPath(args[1]);
    TDM dm;
    try {
        const int rounds = args[3].toInt();
        const QStringList tables = args[4].split(u',');
        if (clearing) {
            std::thread([] {
                while (std::fgetc(stdin) != EOF) {
                }
                addersDone = true;
            }).detach();
            return clearTables(dm, rounds, tables) ? 0 : 1;
        }
        dm.kerdzebi->setParam(QStringLiteral("das"), args[2]);
        dm.kerdzebi->setParam(QStringLiteral("tp"), QStringLiteral("%"));
        dm.kerdzebi->open();
        for (int r = 0; r < rounds; ++r)
            for (const QString& table : tables)
                OrderEntry::addLine(dm, table, args[5], QStringLiteral("1"));
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    } catch (const InputError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
