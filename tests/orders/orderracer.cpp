// One station adding dishes as fast as it can: for each round, one line of the
// given dish on every table of the list. Or, with --clear, a station clearing
// those tables over and over: it reads a busy table's lines as its bill would,
// then clears exactly those, writing the IDs it billed to stdout, one a line. Usage:
//   kelvora_orderracer UDL_PATH DISH ROUNDS TABLE[,TABLE...] WAITER
//   kelvora_orderracer UDL_PATH --clear ROUNDS TABLE[,TABLE...]
// Exits 0 when every line was written (every clearing was done).
#include "shell/inputerror.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "orders/orderentry.h"
#include "orders/settlement.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

void clearTables(TDM& dm, int rounds, const QStringList& tables)
{
    NamedQuery* occupancy = dm.busytables;
    NamedQuery* lines = dm.shekvet;
    for (int r = 0; r < rounds; ++r) {
        for (const QString& table : tables) {
            occupancy->reopen({{QStringLiteral("TB"), table}});
            if (occupancy->isEmpty() || occupancy->asInteger(QStringLiteral("Busy")) == 0)
                continue;
            const qint64 order = occupancy->asInteger(QStringLiteral("USERNUM"));
            lines->reopen({{QStringLiteral("USR"), order}});
            QList<Settlement::BilledLine> billed;
            for (int row = 0; row < lines->rowCount(); ++row)
                billed.append({lines->valueAt(row, lines->fieldIndex(QStringLiteral("ID"))).toLongLong(),
                               lines->valueAt(row, lines->fieldIndex(QStringLiteral("Raodenoba"))).toDouble()});
            Settlement::clearTable(dm, table, QString::number(order), 10, billed);
            for (const Settlement::BilledLine& line : billed)
                std::printf("%lld\n", static_cast<long long>(line.id));
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
                             "       kelvora_orderracer UDL --clear ROUNDS TABLES\n");
        return 2;
    }
    Formats::setDecimalSeparator(u'.');
    Connection::setDataLinkPath(args[1]);
    TDM dm;
    try {
        const int rounds = args[3].toInt();
        const QStringList tables = args[4].split(u',');
        if (clearing) {
            clearTables(dm, rounds, tables);
            return 0;
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
