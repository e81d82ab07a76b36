#pragma once

#include "tools/kelvora-bench/operations.h"

class NamedQuery;

// The bare engine as the reference: the engine's own C API (sqlite3 or libpq)
// running exactly the text the data layer sends for the query's present
// parameter values (with its "like '%'" filters as "is not null"), every value
// of every row read. Returns the rows read.
qint64 nativeBareRead(const NamedQuery* query);

// The report screens' searches: the whole sales search for a day, a month and
// a year, its credit against one query per order, and the receiving, warehouse
// and deletions searches for a month.
void appendReportOperations(std::vector<Operation>& all);
