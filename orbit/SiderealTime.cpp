#include "orbit/SiderealTime.h"

#include <cmath>
#include <numbers>

double GreenwichMeanSiderealTime(const JulianDate& ut1) {
    constexpr double kJ2000 = 2451545.0;
    constexpr double kDaysPerCentury = 36525.0;
    const double tut1 = ((ut1.day - kJ2000) + ut1.fraction) / kDaysPerCentury;
    // Seconds of sidereal time.
    const double seconds = -6.2e-6 * tut1 * tut1 * tut1 + 0.093104 * tut1 * tut1 +
                           (876600.0 * 3600.0 + 8640184.812866) * tut1 + 67310.54841;
    // 240 seconds of time make one degree.
    const double angle =
        std::fmod(seconds * std::numbers::pi / 180.0 / 240.0, 2.0 * std::numbers::pi);
    return angle < 0.0 ? angle + 2.0 * std::numbers::pi : angle;
}
