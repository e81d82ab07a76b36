#pragma once

#include "tools/kelvora-bench/operations.h"

#include <vector>

// A waiter's writing actions beyond adding a dish: a quantity changed and a
// table cleared (fiscal exchange excluded), through the code the order window runs.
void appendActionOperations(std::vector<Operation>& all);
