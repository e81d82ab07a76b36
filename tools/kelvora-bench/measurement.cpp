#include "tools/kelvora-bench/measurement.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <algorithm>
#include <cmath>
#include <sys/resource.h>

namespace {

qint64 statusField(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

QJsonArray toArray(const std::vector<double>& v)
{
    QJsonArray a;
    for (double d : v)
        a.append(d);
    return a;
}

std::vector<double> fromArray(const QJsonArray& a)
{
    std::vector<double> v;
    for (const QJsonValue& d : a)
        v.push_back(d.toDouble());
    return v;
}

// One timed run, untimed preparation first; its wall-clock time goes to `ms`
// and its processor time to `cpu`.
qint64 timedRun(const Operation& op, const std::function<qint64(BenchContext&)>& f, BenchContext& c,
                std::vector<double>* ms, std::vector<double>* cpu)
{
    if (op.beforeEach)
        op.beforeEach(c);
    const double cpu0 = Measurement::cpuMs();
    QElapsedTimer t;
    t.start();
    const qint64 rows = f(c);
    ms->push_back(double(t.nsecsElapsed()) / 1e6);
    cpu->push_back(Measurement::cpuMs() - cpu0);
    return rows;
}

qint64 untimedRun(const Operation& op, const std::function<qint64(BenchContext&)>& f, BenchContext& c)
{
    if (op.beforeEach)
        op.beforeEach(c);
    return f(c);
}

}  // namespace

QJsonObject OperationResult::toJson() const
{
    return {{QStringLiteral("name"), name},
            {QStringLiteral("rows"), double(rows)},
            {QStringLiteral("layerMs"), layerMs},
            {QStringLiteral("bareMs"), bareMs},
            {QStringLiteral("layerCpuMs"), layerCpuMs},
            {QStringLiteral("bareCpuMs"), bareCpuMs},
            {QStringLiteral("layerRuns"), toArray(layerRuns)},
            {QStringLiteral("bareRuns"), toArray(bareRuns)},
            {QStringLiteral("baseKb"), double(baseKb)},
            {QStringLiteral("bareHwmKb"), double(bareHwmKb)},
            {QStringLiteral("layerHwmKb"), double(layerHwmKb)},
            {QStringLiteral("load"), load},
            {QStringLiteral("statements"), double(statements)},
            {QStringLiteral("rtt"), rtt},
            {QStringLiteral("rttMs"), rttMs},
            {QStringLiteral("rttRuns"), toArray(rttRuns)},
            {QStringLiteral("error"), error}};
}

OperationResult OperationResult::fromJson(const QJsonObject& o)
{
    OperationResult r;
    r.name = o.value(QStringLiteral("name")).toString();
    r.rows = qint64(o.value(QStringLiteral("rows")).toDouble());
    r.layerMs = o.value(QStringLiteral("layerMs")).toDouble();
    r.bareMs = o.value(QStringLiteral("bareMs")).toDouble();
    r.layerCpuMs = o.value(QStringLiteral("layerCpuMs")).toDouble();
    r.bareCpuMs = o.value(QStringLiteral("bareCpuMs")).toDouble();
    r.layerRuns = fromArray(o.value(QStringLiteral("layerRuns")).toArray());
    r.bareRuns = fromArray(o.value(QStringLiteral("bareRuns")).toArray());
    r.baseKb = qint64(o.value(QStringLiteral("baseKb")).toDouble());
    r.bareHwmKb = qint64(o.value(QStringLiteral("bareHwmKb")).toDouble());
    r.layerHwmKb = qint64(o.value(QStringLiteral("layerHwmKb")).toDouble());
    r.load = o.value(QStringLiteral("load")).toString();
    r.statements = qint64(o.value(QStringLiteral("statements")).toDouble(-1));
    r.rtt = o.value(QStringLiteral("rtt")).toDouble();
    r.rttMs = o.value(QStringLiteral("rttMs")).toDouble();
    r.rttRuns = fromArray(o.value(QStringLiteral("rttRuns")).toArray());
    r.error = o.value(QStringLiteral("error")).toString();
    return r;
}

double OperationResult::layerP95() const
{
    return Measurement::percentile(layerRuns, 0.95);
}

double OperationResult::bareP95() const
{
    return Measurement::percentile(bareRuns, 0.95);
}

qint64 Measurement::residentKb()
{
    return statusField("VmRSS");
}

qint64 Measurement::peakKb()
{
    return statusField("VmHWM");
}

double Measurement::cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3
           + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

QString Measurement::loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll().split(' ').value(0));
}

double Measurement::median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Measurement::percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    // Nearest rank: the smallest value with at least p of the values at or below it.
    const std::size_t rank = std::size_t(std::ceil(p * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

OperationResult Measurement::measure(const Operation& op, BenchContext& context, int runs, int warmups)
{
    OperationResult r;
    r.name = QString::fromLatin1(op.name);
    if (op.minRuns > runs) {
        runs = op.minRuns;
        warmups = std::max(warmups, 3);
    }
    if (op.prepare)
        op.prepare(context);
    r.load = loadAverage();
    r.baseKb = residentKb();
    qint64 bareRows = 0;
    for (int i = 0; i < warmups && op.bare; ++i)
        bareRows = untimedRun(op, op.bare, context);
    r.bareHwmKb = peakKb();
    for (int i = 0; i < warmups; ++i)
        r.rows = untimedRun(op, op.run, context);
    std::vector<double> bareCpu, layerCpu;
    for (int i = 0; i < runs; ++i) {
        if (op.bare)
            bareRows = timedRun(op, op.bare, context, &r.bareRuns, &bareCpu);
        r.rows = timedRun(op, op.run, context, &r.layerRuns, &layerCpu);
    }
    r.layerHwmKb = peakKb();
    if (op.finish)
        op.finish(context);
    r.bareMs = median(r.bareRuns);
    r.layerMs = median(r.layerRuns);
    r.bareCpuMs = median(bareCpu);
    r.layerCpuMs = median(layerCpu);
    if (op.bare && bareRows != r.rows)
        r.error = QStringLiteral("the bare engine read %1 rows, the data layer %2").arg(bareRows).arg(r.rows);
    return r;
}

qint64 Measurement::countStatements(const Operation& op, BenchContext& context, const std::function<qint64()>& sent)
{
    if (op.prepare)
        op.prepare(context);
    // One run first, so that the count meets the connection and the window as
    // the timed runs met them.
    untimedRun(op, op.run, context);
    if (op.beforeEach)
        op.beforeEach(context);
    const qint64 before = sent();
    op.run(context);
    const qint64 count = sent() - before;
    if (op.finish)
        op.finish(context);
    return count;
}

void Measurement::timeAtRtt(const Operation& op, BenchContext& context, int runs, double rtt, OperationResult& r)
{
    if (op.prepare)
        op.prepare(context);
    untimedRun(op, op.run, context);
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i)
        timedRun(op, op.run, context, &r.rttRuns, &cpu);
    if (op.finish)
        op.finish(context);
    r.rtt = rtt;
    r.rttMs = median(r.rttRuns);
}
