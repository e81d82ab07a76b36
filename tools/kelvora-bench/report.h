#pragma once

#include "tools/kelvora-bench/historygenerator.h"
#include "tools/kelvora-bench/measurement.h"

#include <QString>
#include <optional>
#include <vector>

// The printed figures: one table per engine, then PostgreSQL against SQLite.
namespace Report {

void generation(Engine engine, const GenerationReport& g);
void engineTable(Engine engine, const QString& where, qint64 sizeBytes, qint64 lines, const BenchContext& context,
                 const std::vector<OperationResult>& results, bool separateProcesses);
void comparison(const std::vector<OperationResult>& sqlite, const std::vector<OperationResult>& postgres);

}  // namespace Report
