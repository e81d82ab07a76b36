#pragma once

#include "tools/kelvora-bench/operations.h"

#include <vector>

// The receiving and credit tabs' operations: recording one line, the document
// reload, the item search and the credit search. Their bare counterparts run the
// very text the data layer sends (with its values) through sqlite3 or libpq.
const std::vector<Operation>& stockOperations();
