#pragma once

#include <cstdio>

#include "tools/pcr1000-sim/SimulatorOptions.h"

// Plays the receiver on a new pseudo-terminal until SIGINT or SIGTERM. The
// terminal's path, through this process's own descriptor, is the first line
// on `out`, each change of the receiver's settings a line after it; problems
// go to `err`. Returns the exit status.
int RunSimulator(const SimulatorOptions& options, std::FILE* out, std::FILE* err);
