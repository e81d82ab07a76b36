#pragma once

#include "tools/kelvora-bench/operations.h"

#include <QJsonObject>
#include <QString>
#include <functional>
#include <vector>

// The figures of one operation on one engine.
struct OperationResult
{
    QString name;
    qint64 rows = 0;
    double layerMs = 0;  // medians of the wall-clock times
    double bareMs = 0;
    double layerCpuMs = 0;  // medians of this process's processor time (user and system)
    double bareCpuMs = 0;
    std::vector<double> layerRuns;
    std::vector<double> bareRuns;
    qint64 baseKb = 0;      // resident size before the first run
    qint64 bareHwmKb = 0;   // peak after the bare runs
    qint64 layerHwmKb = 0;  // peak after the data layer's runs (they come last)
    QString load;           // the load average when the operation was timed
    // A writing action: the statements one run sent (-1: not counted), and the
    // runs at a slowed link of `rtt` ms round trip (none without --rtt).
    qint64 statements = -1;
    double rtt = 0;
    double rttMs = 0;
    std::vector<double> rttRuns;
    QString error;

    double ratio() const { return bareMs > 0 ? layerMs / bareMs : 0; }
    double layerP95() const;
    double bareP95() const;
    QJsonObject toJson() const;
    static OperationResult fromJson(const QJsonObject& o);
};

namespace Measurement {

// VmRSS and VmHWM of this process, in kB (0 when /proc is not there).
qint64 residentKb();
qint64 peakKb();
// Processor time used by this process so far, in ms.
double cpuMs();
// The system's load average over the last minute, as /proc/loadavg has it.
QString loadAverage();

// Warm-up runs, the bare engine's first and then the data layer's, so that the
// peak read after each is its own; then the timed runs, bare and data layer in
// turn (ABAB), so that a change of the machine's load meets both alike.
OperationResult measure(const Operation& op, BenchContext& context, int runs, int warmups);

// A writing action run once more between prepare and finish: the statements it
// sent, as `sent` counts them before and after.
qint64 countStatements(const Operation& op, BenchContext& context, const std::function<qint64()>& sent);
// The action's timed runs on a slowed link (after one warm-up); their median
// goes to `r.rttMs`.
void timeAtRtt(const Operation& op, BenchContext& context, int runs, double rtt, OperationResult& r);

double median(std::vector<double> values);
double percentile(std::vector<double> values, double p);  // p in (0, 1]

}  // namespace Measurement
