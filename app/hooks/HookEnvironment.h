#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "radio/TuningExchange.h"

// The environment a hook runs in: `inherited` (entries "NAME=value", null
// terminated, as `environ`) with the tuning's VANTREL_ variables in place of
// any of the same names: the receiver's name, the Vantrel.ini line's values
// as written, the frequency in whole Hz as the receiver was tuned to it,
// and the pass's times. The pass's times are UTC seconds since 1970 and,
// with VANTREL_PASS_SECONDS (whole seconds from `now` to the pass's end, 0
// once it is over), empty when no pass was chosen.
std::vector<std::string> HookEnvironment(const SentTuning& tuning,
                                         std::chrono::system_clock::time_point now,
                                         const char* const* inherited);
