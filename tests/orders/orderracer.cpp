// One station adding dishes as fast as it can: for each round, one line of the
// given dish on every table of the list. Usage:
//   kelvora_orderracer UDL_PATH DISH ROUNDS TABLE[,TABLE...] WAITER
// Exits 0 when every line was written.
#include "data/connection.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "orders/orderentry.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: kelvora_orderracer UDL DISH ROUNDS TABLES WAITER\n");
        return 2;
    }
    Formats::setDecimalSeparator(u'.');
    Connection::setDataLinkPath(args[1]);
    TDM dm;
    try {
        dm.kerdzebi->setParam(QStringLiteral("das"), args[2]);
        dm.kerdzebi->setParam(QStringLiteral("tp"), QStringLiteral("%"));
        dm.kerdzebi->open();
        const int rounds = args[3].toInt();
        const QStringList tables = args[4].split(u',');
        for (int r = 0; r < rounds; ++r)
            for (const QString& table : tables)
                OrderEntry::addLine(dm, table, args[5], QStringLiteral("1"));
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
