// One receiving station recording as fast as it can: ROUNDS lines of QUANTITY
// for one item on one consignment document, from an item list read once at the
// start (as a clerk's screen holds it). Usage:
//   kelvora_stockracer UDL_PATH ITEM_ID ROUNDS QUANTITY DOCUMENT
// Exits 0 when every line was recorded.
#include "shell/inputerror.h"
#include "data/clock.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/datamodule.h"
#include "stock/receiving.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: kelvora_stockracer UDL ITEM ROUNDS QUANTITY DOCUMENT\n");
        return 2;
    }
    Formats::setDecimalSeparator(u'.');
    Connection::setDataLinkPath(args[1]);
    TDM dm;
    try {
        dm.kerdzebi2->reopen({{QStringLiteral("das"), QStringLiteral("%")},
                              {QStringLiteral("tp"), QStringLiteral("%")},
                              {QStringLiteral("mom"), QStringLiteral("%")}});
        ReceivedLine line;
        line.item = args[2].toLongLong();
        line.quantity = args[4];
        line.purchasePrice = QStringLiteral("2");
        line.salePrice = QStringLiteral("5");
        line.supplierNumber = QStringLiteral("205");
        line.supplier = QStringLiteral("შპს ალფა");
        line.document = args[5];
        line.day = Clock::today();
        line.consignment = true;
        const int rounds = args[3].toInt();
        for (int r = 0; r < rounds; ++r)
            Receiving::record(dm, line);
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    } catch (const InputError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
