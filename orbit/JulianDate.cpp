#include "orbit/JulianDate.h"

#include <cmath>

namespace {

// Days from 1970-01-01 to 1 January of `year` in the Gregorian calendar.
std::int64_t DaysToNewYear(std::int64_t year) {
    const std::int64_t before = year - 1;
    const auto leapDaysBefore = [](std::int64_t y) { return y / 4 - y / 100 + y / 400; };
    return (year - 1970) * 365 + leapDaysBefore(before) - leapDaysBefore(1969);
}

}  // namespace

JulianDate JulianDateFromUnix(double unixSeconds) {
    const double days = std::floor(unixSeconds / kSecondsPerDay);
    return {kUnixEpochJulianDay + days, (unixSeconds - days * kSecondsPerDay) / kSecondsPerDay};
}

double UnixFromJulianDate(const JulianDate& date) {
    return ((date.day - kUnixEpochJulianDay) + date.fraction) * kSecondsPerDay;
}

JulianDate JulianDateOfYearDay(std::int32_t year, std::int32_t wholeDay, double dayFraction) {
    const auto days = static_cast<double>(DaysToNewYear(year) + wholeDay - 1);
    return {kUnixEpochJulianDay + days, dayFraction};
}
