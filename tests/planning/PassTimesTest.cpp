#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <string>
#include <vector>

#include "planning/PassTimes.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

constexpr const char* kUtcPlus4 = "<+04>-4";
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* kUtc = "UTC0";

// The C library's own UTC conversion of the stamp's fields.
std::time_t TimegmOfStamp(const std::string& stamp) {
    const auto field = [&](std::size_t at, std::size_t length) {
        return std::atoi(stamp.substr(at, length).c_str());
    };
    std::tm utc{};
    utc.tm_year = field(0, 4) - 1900;
    utc.tm_mon = field(4, 2) - 1;
    utc.tm_mday = field(6, 2);
    utc.tm_hour = field(8, 2);
    utc.tm_min = field(10, 2);
    utc.tm_sec = field(12, 2);
    return timegm(&utc);
}

}  // namespace

TEST(PassTimes, UtcStampToTimeIsTheUtcTimeInEveryZone) {
    const std::vector<std::string> stamps = {
        "20020519143000", "20020110130723", "19700101000000", "20380119031408", "20400101000000",
        "21060207062816", "20000229235959", "19000301000000",
        // Values out of range carry over like the calendar functions carry them.
        "20020431120000", "20021301000000", "20020100000000", "20021231235960", "20020228246060",
        "2002-1150000-1", "2002AB19143000", "00000000000000", "99991231235959"};
    for (const char* zone : {kUtc, kUtcPlus4, kCentralEurope}) {
        const ScopedTimeZone tz(zone);
        for (const std::string& stamp : stamps) {
            EXPECT_EQ(UtcStampToTime(stamp, 0), TimegmOfStamp(stamp)) << stamp << " in " << zone;
        }
        EXPECT_EQ(UtcStampToTime("20020519143000", 0), 1021818600);
    }
}

TEST(PassTimes, UtcStampToTimeAddsSecondsBeyond2038) {
    EXPECT_EQ(UtcStampToTime("20380119031408", 0), std::time_t{INT32_MAX} + 1);
    EXPECT_EQ(UtcStampToTime("20380119031407", 1), std::time_t{INT32_MAX} + 1);
    EXPECT_EQ(UtcStampToTime("20020519143000", 900), 1021818600 + 900);
    EXPECT_EQ(UtcStampToTime("20020519143000", -1021818600), 0);
    EXPECT_EQ(UtcStampToTime("21060207062816", INT32_MAX), 4294967296LL + INT32_MAX);
}

TEST(PassTimes, FormatPassTimeWritesLocalTime) {
    {
        const ScopedTimeZone tz(kUtcPlus4);
        EXPECT_EQ(FormatPassTime(1021818600), "19  5 2002 18 30  0");
        EXPECT_EQ(FormatPassTime(1021818600 + 900), "19  5 2002 18 45  0");
    }
    {
        const ScopedTimeZone tz(kUtc);
        EXPECT_EQ(FormatPassTime(1021818600), "19  5 2002 14 30  0");
        EXPECT_EQ(FormatPassTime(UtcStampToTime("20020605090300", 0)), " 5  6 2002  9  3  0");
        EXPECT_EQ(FormatPassTime(UtcStampToTime("20400229235959", 0)), "29  2 2040 23 59 59");
    }
    {
        // Across the change to summer time the offset goes from +1 to +2.
        const ScopedTimeZone tz(kCentralEurope);
        EXPECT_EQ(FormatPassTime(UtcStampToTime("20020331005959", 0)), "31  3 2002  1 59 59");
        EXPECT_EQ(FormatPassTime(UtcStampToTime("20020331010000", 0)), "31  3 2002  3  0  0");
        EXPECT_EQ(FormatPassTime(UtcStampToTime("20020519143000", 0)), "19  5 2002 16 30  0");
        // Summer time still ends on the last Sunday of October after 2038.
        EXPECT_EQ(FormatPassTime(UtcStampToTime("20401028005959", 0)), "28 10 2040  2 59 59");
        EXPECT_EQ(FormatPassTime(UtcStampToTime("20401028010000", 0)), "28 10 2040  2  0  0");
    }
}

TEST(PassTimes, ParsePassTimeReadsWhatFormatPassTimeWrote) {
    const std::vector<std::time_t> times = {1021818600,
                                            1010668043,
                                            0,
                                            std::time_t{INT32_MAX} + 1,
                                            2208988800,
                                            UtcStampToTime("20020331005959", 0),
                                            UtcStampToTime("20020331010000", 0),
                                            UtcStampToTime("20021027005959", 0)};
    for (const char* zone : {kUtc, kUtcPlus4, kCentralEurope}) {
        const ScopedTimeZone tz(zone);
        for (const std::time_t time : times) {
            EXPECT_EQ(ParsePassTime(FormatPassTime(time)), time) << time << " in " << zone;
        }
    }
    // In the hour that repeats when summer time ends, either reading is right.
    const ScopedTimeZone tz(kCentralEurope);
    const std::time_t repeated = UtcStampToTime("20021027003000", 0);
    const std::time_t parsed = ParsePassTime(FormatPassTime(repeated));
    EXPECT_TRUE(parsed == repeated || parsed == repeated + 3600) << parsed;
}

TEST(PassTimes, ParsePassTimeOfOtherTexts) {
    const ScopedTimeZone tz(kUtc);
    // Only the first 19 characters count.
    EXPECT_EQ(ParsePassTime("19  5 2002 18 30  0 and more"), ParsePassTime("19  5 2002 18 30  0"));
    EXPECT_EQ(ParsePassTime("19  5 2002 18 30  05"), UtcStampToTime("20020519183000", 0));
    // Out-of-range fields carry; fields that do not read count as 0.
    EXPECT_EQ(ParsePassTime("31  4 2002 24  0  0"), UtcStampToTime("20020502000000", 0));
    EXPECT_EQ(ParsePassTime("19  5 2002"), UtcStampToTime("20020519000000", 0));
    EXPECT_EQ(ParsePassTime("DDE"), UtcStampToTime("00000000000000", 0));
    EXPECT_EQ(ParsePassTime(""), UtcStampToTime("00000000000000", 0));
}
