#pragma once

#include <cstdint>

// A moment on the UTC scale as a Julian date held in two parts: a day
// that ends in .5 (a midnight) and the fraction of the day since. One double
// for the whole date would keep only about 40 microseconds.
struct JulianDate {
    double day = 0;
    double fraction = 0;

    // Days from `earlier` to this moment.
    double DaysSince(const JulianDate& earlier) const {
        return (day - earlier.day) + (fraction - earlier.fraction);
    }
};

inline constexpr double kSecondsPerDay = 86400.0;
inline constexpr double kMinutesPerDay = 1440.0;
// The Julian date of 1970-01-01 00:00 UTC.
inline constexpr double kUnixEpochJulianDay = 2440587.5;

JulianDate JulianDateFromUnix(double unixSeconds);
double UnixFromJulianDate(const JulianDate& date);

// The moment `dayOfYear` days after 0 January of `year` (day 1.5 is noon on
// 1 January), as element sets give their epoch.
JulianDate JulianDateOfYearDay(std::int32_t year, std::int32_t wholeDay, double dayFraction);
