// The rush's fixture and invariant checker for runs driven by a script:
//   kelvora_rushcheck prepare UDL_PATH STOCK_FILE
//     fills a new database with the rush's floor and keeps its start stock
//   kelvora_rushcheck check UDL_PATH STOCK_FILE [--journal PATH] LOG...
//     checks every invariant, prints what the stations did, how long their
//     operations took and what broke; PATH is the fiscal driver simulator's
//     journal
// Exits 0 when everything holds, 1 when an invariant is broken, 2 on a usage
// or database error.
#include "data/connection.h"
#include "data/datalink.h"
#include "data/dberror.h"
#include "tests/race/invariants.h"
#include "tests/race/rushfixture.h"
#include "tests/race/rushlog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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
            // The fiscal driver's files beside the stock file.
            const QString fiscal = QFileInfo(args[3]).absolutePath() + QStringLiteral("/fiscal");
            QDir().mkpath(fiscal);
            if (!RushFixture::saveStock(RushFixture::prepare(db, fiscal), args[3])) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(args[3]));
                return 2;
            }
            return 0;
        }
        QStringList logs = args.mid(4);
        QString journal;
        if (logs.size() >= 2 && logs.first() == QLatin1String("--journal")) {
            journal = logs[1];
            logs = logs.mid(2);
        }
        RushLog::Counts total;
        RushLog::Times times;
        for (const QString& path : logs) {
            const QList<RushLog::Entry> entries = RushLog::read(path);
            times.add(entries);
            const RushLog::Counts c = RushLog::count(entries);
            total.done += c.done;
            total.refused += c.refused;
            total.faults += c.faults;
            total.cut += c.cut;
        }
        const QList<Invariants::Violation> broken =
            Invariants::check(db, RushFixture::loadStock(args[3]), logs, journal);
        std::printf("operations: done %d refused %d faults %d cut %d; invariants checked %d, broken %d\n",
                    total.done, total.refused, total.faults, total.cut, int(Invariants::names().size()),
                    int(broken.size()));
        QStringList worst;
        for (auto it = times.worst.cbegin(); it != times.worst.cend(); ++it)
            worst << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        worst.sort();
        std::printf("times (%s): p50 %lld ms, p99 %lld ms, max %lld ms; slowest by operation: %s\n",
                    Connection::engineOf(db) == Engine::PostgreSQL ? "PostgreSQL" : "SQLite",
                    static_cast<long long>(times.percentile(0.5)), static_cast<long long>(times.percentile(0.99)),
                    static_cast<long long>(times.percentile(1.0)), qPrintable(worst.join(QStringLiteral(", "))));
        if (!broken.isEmpty())
            std::printf("%s\n", qPrintable(Invariants::describe(broken)));
        return broken.isEmpty() ? 0 : 1;
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 2;
    }
}
