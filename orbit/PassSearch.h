#pragma once

#include <vector>

#include "orbit/SatelliteView.h"

// A time above the horizon: times in seconds since 1970 (UTC).
struct Pass {
    double rise = 0;
    double set = 0;
    double peakTime = 0;
    double peakElevationDeg = 0;
    double peakAzimuthDeg = 0;
};

struct PassWindow {
    double start = 0;
    double end = 0;
    // The pass begins and ends where the satellite crosses this elevation.
    double horizonDeg = 0;
};

// Every pass that is under way at some time in the window, with its whole
// extent (one already under way at the start keeps its true rise), sorted
// by rise; rise and set are found to a tenth of a second. The elevation is
// sampled at a fraction of the orbit; each of its highs is then refined, so
// a short grazing pass between two samples is found too. Throws
// PropagationFailure.
std::vector<Pass> FindPasses(const SatelliteView& view, const PassWindow& window);
