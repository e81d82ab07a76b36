// The rush's fixture and invariant checker for runs driven by a script:
//   kelvora_rushcheck prepare UDL_PATH STOCK_FILE
//     fills a new database with the rush's floor and keeps its start stock
//   kelvora_rushcheck check UDL_PATH STOCK_FILE LOG...
//     checks every invariant, prints what the stations did and what broke
// Exits 0 when everything holds, 1 when an invariant is broken, 2 on a usage
// or database error.
#include "data/connection.h"
#include "data/datalink.h"
#include "data/dberror.h"
#include "tests/race/invariants.h"
#include "tests/race/rushfixture.h"
#include "tests/race/rushlog.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool prepare = args.size() == 4 && args[1] == QLatin1String("prepare");
    const bool check = args.size() >= 4 && args[1] == QLatin1String("check");
    if (!prepare && !check) {
        std::fprintf(stderr, "usage: kelvora_rushcheck prepare UDL STOCK | check UDL STOCK LOG...\n");
        return 2;
    }
    try {
        QSqlDatabase db = Connection::openNamed(DataLink::read(args[2]), QStringLiteral("rushcheck"));
        if (prepare) {
            if (!RushFixture::saveStock(RushFixture::prepare(db), args[3])) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(args[3]));
                return 2;
            }
            return 0;
        }
        const QStringList logs = args.mid(4);
        RushLog::Counts total;
        for (const QString& path : logs) {
            const RushLog::Counts c = RushLog::count(RushLog::read(path));
            total.done += c.done;
            total.refused += c.refused;
            total.faults += c.faults;
            total.cut += c.cut;
        }
        const QList<Invariants::Violation> broken =
            Invariants::check(db, RushFixture::loadStock(args[3]), logs);
        std::printf("operations: done %d refused %d faults %d cut %d; invariants checked %d, broken %d\n",
                    total.done, total.refused, total.faults, total.cut, int(Invariants::names().size()),
                    int(broken.size()));
        if (!broken.isEmpty())
            std::printf("%s\n", qPrintable(Invariants::describe(broken)));
        return broken.isEmpty() ? 0 : 1;
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 2;
    }
}
