#pragma once

#include <cstdint>

// Days from 1970-01-01 to the first of `month` (1 to 12) of `year` in the
// proleptic Gregorian calendar.
constexpr std::int64_t DaysToMonth(std::int64_t year, std::int64_t month) {
    // Counting years from March puts the leap day at a year's end.
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}
