// dxu-sim --count: the options of each of several controllers served side by side.
#pragma once

#include "sim/SimOptions.h"

// The options of controller index (from 1) of nCount: its own faults added, and the trace, control,
// flash dump and receive folder paths made its own ("dump.srec" -> "dump-3.srec") when there are more.
SimOptions SimOptionsForController(const SimOptions& options, unsigned index);
