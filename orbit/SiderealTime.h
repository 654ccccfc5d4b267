#pragma once

#include "orbit/JulianDate.h"

// Greenwich mean sidereal time in radians, 0 to 2 pi, by the IAU-82
// formula, with UTC standing in for UT1 (they differ by under a second).
double GreenwichMeanSiderealTime(const JulianDate& ut1);
