#include "orbit/JulianDate.h"

#include <cmath>

#include "framework/CivilDate.h"

JulianDate JulianDateFromUnix(double unixSeconds) {
    const double days = std::floor(unixSeconds / kSecondsPerDay);
    return {kUnixEpochJulianDay + days, (unixSeconds - days * kSecondsPerDay) / kSecondsPerDay};
}

double UnixFromJulianDate(const JulianDate& date) {
    return ((date.day - kUnixEpochJulianDay) + date.fraction) * kSecondsPerDay;
}

JulianDate JulianDateOfYearDay(std::int32_t year, std::int32_t wholeDay, double dayFraction) {
    const auto days = static_cast<double>(DaysToMonth(year, 1) + wholeDay - 1);
    return {kUnixEpochJulianDay + days, dayFraction};
}
