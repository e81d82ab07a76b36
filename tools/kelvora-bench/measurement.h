#pragma once

#include "tools/kelvora-bench/operations.h"

#include <QJsonObject>
#include <QString>
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

// Warm-up runs, then timed runs: first the bare engine's, then the data layer's,
// so that the peak read last is the data layer's own.
OperationResult measure(const Operation& op, BenchContext& context, int runs, int warmups);

double median(std::vector<double> values);
double percentile(std::vector<double> values, double p);  // p in (0, 1]

}  // namespace Measurement
