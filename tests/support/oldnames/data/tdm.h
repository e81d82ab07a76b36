#pragma once

// The data module's header under its former name, for the data layer's tests
// until their includes name data/datamodule.h.
#include "data/datamodule.h"
