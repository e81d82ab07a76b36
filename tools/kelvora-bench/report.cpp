#include "tools/kelvora-bench/report.h"
#include "tools/kelvora-bench/benchoptions.h"

#include <QStringList>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 FullSize = 2000000;

void out(const QString& text)
{
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

QString mb(qint64 kb)
{
    return QString::number(double(kb) / 1024.0, 'f', 1);
}

QString ms(double v)
{
    return QString::number(v, 'f', v < 10 ? 2 : 1);
}

QString verdict(bool ok)
{
    return ok ? QStringLiteral("ok") : QStringLiteral("MISSED");
}

const Operation* operation(const QString& name)
{
    return findOperation(name);
}

}  // namespace

void Report::generation(Engine engine, const GenerationReport& g)
{
    out(QStringLiteral("generated on %1 in %2 s (two years of closed orders: %3 s, %4 lines/s), writer: %5")
            .arg(engineName(engine))
            .arg(g.totalSeconds, 0, 'f', 1)
            .arg(g.historySeconds, 0, 'f', 1)
            .arg(qint64(double(g.orderLines - g.openLines) / std::max(g.historySeconds, 1e-9)))
            .arg(g.writer));
    out(QStringLiteral("  %1 order lines in %2 orders (%3 lines open today), %4 deletion log rows, "
                       "%5 receipt lines, %6 ledger rows")
            .arg(g.orderLines)
            .arg(g.orders)
            .arg(g.openLines)
            .arg(g.deletions)
            .arg(g.receipts)
            .arg(g.credits));
}

void Report::engineTable(Engine engine, const QString& where, qint64 sizeBytes, qint64 lines,
                         const BenchContext& c, const std::vector<OperationResult>& results, bool separateProcesses)
{
    const bool pg = engine == Engine::PostgreSQL;
    const bool fullSize = lines >= FullSize;
    out(QString());
    out(QStringLiteral("== %1, %2 order lines: %3 (%4 MB)")
            .arg(pg ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"))
            .arg(lines)
            .arg(where, QString::number(double(sizeBytes) / 1048576.0, 'f', 0)));
    out(QStringLiteral("   month %1..%2, year %3..%4, cook \"%5\", waiter \"%6\", busy table %7; medians of the "
                       "timed runs after warm-up")
            .arg(c.monthFirst.toString(Qt::ISODate), c.monthLast.toString(Qt::ISODate),
                 c.yearFirst.toString(Qt::ISODate), c.yearLast.toString(Qt::ISODate), c.cook, c.waiter)
            .arg(c.busyTable));
    out(QStringLiteral("   load average %1 on %2 processors; cpu = this process's processor time (the server's "
                       "is not in it)")
            .arg(Measurement::loadAverage())
            .arg(QThread::idealThreadCount()));
    out(QStringLiteral("   peak = VmHWM of %1")
            .arg(separateProcesses ? QStringLiteral("the operation's own child process (base = its size before "
                                                    "the first run; the bare runs come first)")
                                   : QStringLiteral("this process so far (--in-process: it only grows)")));
    out(QStringLiteral("   p95 = 95th percentile (nearest rank) of the timed runs; a writing operation has no bare run"));
    out(QStringLiteral("   load = the load average when the operation was timed"));
    out(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13  %14")
            .arg(QStringLiteral("operation"), -16)
            .arg(QStringLiteral("rows"), 9)
            .arg(QStringLiteral("runs"), 5)
            .arg(QStringLiteral("layer ms"), 9)
            .arg(QStringLiteral("p95"), 8)
            .arg(QStringLiteral("bare ms"), 9)
            .arg(QStringLiteral("ratio"), 6)
            .arg(QStringLiteral("layer cpu"), 9)
            .arg(QStringLiteral("bare cpu"), 9)
            .arg(QStringLiteral("peak MB"), 8)
            .arg(QStringLiteral("bare MB"), 8)
            .arg(QStringLiteral("base MB"), 8)
            .arg(QStringLiteral("load"), 6)
            .arg(QStringLiteral("targets")));
    for (const OperationResult& r : results) {
        const Operation* op = operation(r.name);
        QStringList targets;
        if (op) {
            if (op->bare)
                targets << QStringLiteral("ratio <= %1 %2").arg(op->ratioTarget).arg(verdict(r.ratio() <= op->ratioTarget));
            if (op->sqliteTargetMs) {
                const double t = *op->sqliteTargetMs * (pg ? 2 : 1);
                targets << QStringLiteral("<= %1 ms %2").arg(t).arg(fullSize ? verdict(r.layerMs <= t) : QStringLiteral("(at 2M lines)"));
            }
            if (op->peakTargetMb) {
                targets << QStringLiteral("peak < %1 MB %2")
                               .arg(*op->peakTargetMb)
                               .arg(fullSize ? verdict(double(r.layerHwmKb) / 1024.0 < *op->peakTargetMb)
                                             : QStringLiteral("(at 2M lines)"));
            }
        }
        const bool bare = !r.bareRuns.empty();
        const QString none = QStringLiteral("-");
        out(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13  %14")
                .arg(r.name, -16)
                .arg(r.rows, 9)
                .arg(r.layerRuns.size(), 5)
                .arg(ms(r.layerMs), 9)
                .arg(ms(r.layerP95()), 8)
                .arg(bare ? ms(r.bareMs) : none, 9)
                .arg(bare ? QString::number(r.ratio(), 'f', 2) : none, 6)
                .arg(ms(r.layerCpuMs), 9)
                .arg(bare ? ms(r.bareCpuMs) : none, 9)
                .arg(mb(r.layerHwmKb), 8)
                .arg(mb(r.bareHwmKb), 8)
                .arg(mb(r.baseKb), 8)
                .arg(r.load, 6)
                .arg(targets.join(QStringLiteral("; "))));
        if (!r.error.isEmpty())
            out(QStringLiteral("   %1: %2").arg(r.name, r.error));
    }
    out(QStringLiteral("   runs (ms), data layer | bare engine (many runs: min median p95 max):"));
    const auto summary = [](const std::vector<double>& runs) {
        QStringList a;
        if (runs.size() > 12) {
            a << ms(*std::min_element(runs.begin(), runs.end())) << ms(Measurement::median(runs))
              << ms(Measurement::percentile(runs, 0.95)) << ms(*std::max_element(runs.begin(), runs.end()));
        } else {
            for (double v : runs)
                a << ms(v);
        }
        return a.join(u' ');
    };
    for (const OperationResult& r : results)
        out(QStringLiteral("   %1 %2 | %3").arg(r.name, -16).arg(summary(r.layerRuns), summary(r.bareRuns)));

    bool actions = false;
    for (const OperationResult& r : results)
        actions = actions || r.statements >= 0;
    if (!actions)
        return;
    out(QString());
    out(QStringLiteral("   writing actions: statements one run sends (%1); ms = the direct link's median%2")
            .arg(pg ? QStringLiteral("round trips on the wire: simple queries and extended-protocol syncs, "
                                     "counted by the benchmark's proxy")
                    : QStringLiteral("statements begun on the connection"),
                 pg ? QStringLiteral(", at rtt = through the proxy delaying each way by half the round trip")
                    : QString()));
    out(QStringLiteral("%1 %2 %3 %4 %5 %6  %7")
            .arg(QStringLiteral("action"), -16)
            .arg(QStringLiteral("statements"), 10)
            .arg(QStringLiteral("ms"), 9)
            .arg(QStringLiteral("p95"), 8)
            .arg(QStringLiteral("rtt ms"), 7)
            .arg(QStringLiteral("at rtt"), 9)
            .arg(QStringLiteral("targets")));
    for (const OperationResult& r : results) {
        const Operation* op = operation(r.name);
        if (!op || !op->statementTarget || r.statements < 0)
            continue;
        QStringList targets;
        targets << QStringLiteral("<= %1 statements %2")
                       .arg(*op->statementTarget)
                       .arg(pg ? verdict(r.statements <= *op->statementTarget) : QStringLiteral("(PostgreSQL's)"));
        const bool slowed = !r.rttRuns.empty();
        if (r.name == QLatin1String("add-dish") && pg) {
            const bool fourMs = slowed && r.rtt >= 3.5 && r.rtt <= 4.5;
            targets << QStringLiteral("<= 60 ms at 4 ms %1").arg(fourMs ? verdict(r.rttMs <= 60) : QStringLiteral("(with --rtt 4)"));
        }
        out(QStringLiteral("%1 %2 %3 %4 %5 %6  %7")
                .arg(r.name, -16)
                .arg(r.statements, 10)
                .arg(ms(r.layerMs), 9)
                .arg(ms(r.layerP95()), 8)
                .arg(slowed ? QString::number(r.rtt, 'f', 1) : QStringLiteral("-"), 7)
                .arg(slowed ? ms(r.rttMs) : QStringLiteral("-"), 9)
                .arg(targets.join(QStringLiteral("; "))));
    }
}

void Report::comparison(const std::vector<OperationResult>& sqlite, const std::vector<OperationResult>& postgres)
{
    out(QString());
    out(QStringLiteral("== PostgreSQL against SQLite (target: at most twice the SQLite figures)"));
    out(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8  %9")
            .arg(QStringLiteral("operation"), -16)
            .arg(QStringLiteral("sqlite ms"), 10)
            .arg(QStringLiteral("p95"), 8)
            .arg(QStringLiteral("pg ms"), 10)
            .arg(QStringLiteral("p95"), 8)
            .arg(QStringLiteral("x"), 6)
            .arg(QStringLiteral("bare x"), 7)
            .arg(QStringLiteral("peak x"), 7)
            .arg(QStringLiteral("verdict")));
    for (const OperationResult& s : sqlite)
        for (const OperationResult& p : postgres) {
            if (s.name != p.name)
                continue;
            const double x = s.layerMs > 0 ? p.layerMs / s.layerMs : 0;
            const double bx = s.bareMs > 0 ? p.bareMs / s.bareMs : 0;
            const double px = s.layerHwmKb > 0 ? double(p.layerHwmKb) / double(s.layerHwmKb) : 0;
            out(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8  %9")
                    .arg(s.name, -16)
                    .arg(ms(s.layerMs), 10)
                    .arg(ms(s.layerP95()), 8)
                    .arg(ms(p.layerMs), 10)
                    .arg(ms(p.layerP95()), 8)
                    .arg(QString::number(x, 'f', 2), 6)
                    .arg(QString::number(bx, 'f', 2), 7)
                    .arg(QString::number(px, 'f', 2), 7)
                    .arg(verdict(x <= 2.0)));
        }
}
