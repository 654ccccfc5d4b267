#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "planning/PassTimes.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

constexpr const char* kZones[] = {"UTC0", "<+04>-4", "CET-1CEST,M3.5.0,M10.5.0/3"};

}  // namespace

TEST(PassTimes, UtcStampToTimeIsTheUtcTimeWhateverTheZone) {
    const ScopedTimeZone tz("<+04>-4");
    EXPECT_EQ(UtcStampToTime("20020519143000", 0), 1021818600);
    EXPECT_EQ(UtcStampToTime("19700101000000", -1), -1);
    EXPECT_EQ(UtcStampToTime("21060207062816", INT32_MAX), 4294967296LL + INT32_MAX);
    EXPECT_EQ(UtcStampToTime("20000301000000", 0) - UtcStampToTime("20000228000000", 0), 2 * 86400);
    // Out-of-range values carry as the calendar functions carry them;
    // characters that are no digits end the number.
    for (const auto& [stamp, same] : {std::pair{"20020431120000", "20020501120000"},
                                      {"20021301000000", "20030101000000"},
                                      {"20020100000000", "20011231000000"},
                                      {"20020228246060", "20020301010100"},
                                      {"2002-1150000-1", "20011114235959"},
                                      {"2002AB19143000", "20011219143000"}}) {
        EXPECT_EQ(UtcStampToTime(stamp, 0), UtcStampToTime(same, 0)) << stamp;
    }
}

TEST(PassTimes, FormatPassTimeWritesLocalTimeAndParsePassTimeReadsIt) {
    const std::time_t examples[] = {1021818600, UtcStampToTime("20020331005959", 0),
                                    UtcStampToTime("20020331010000", 0),
                                    UtcStampToTime("20400715120000", 0)};
    const char* const texts[][4] = {{"19  5 2002 14 30  0", "31  3 2002  0 59 59",
                                     "31  3 2002  1  0  0", "15  7 2040 12  0  0"},
                                    {"19  5 2002 18 30  0", "31  3 2002  4 59 59",
                                     "31  3 2002  5  0  0", "15  7 2040 16  0  0"},
                                    // Summer time begins and ends, also after 2038.
                                    {"19  5 2002 16 30  0", "31  3 2002  1 59 59",
                                     "31  3 2002  3  0  0", "15  7 2040 14  0  0"}};
    for (std::size_t zone = 0; zone < std::size(kZones); ++zone) {
        const ScopedTimeZone tz(kZones[zone]);
        for (std::size_t i = 0; i < std::size(examples); ++i) {
            EXPECT_EQ(FormatPassTime(examples[i]), texts[zone][i]) << kZones[zone];
            EXPECT_EQ(ParsePassTime(texts[zone][i]), examples[i]) << kZones[zone];
        }
    }
    const ScopedTimeZone utc("UTC0");
    EXPECT_EQ(FormatPassTime(253'402'300'800), " 1  1 10000  0  0  0");
    // Only 19 characters count; unread fields are 0 and carry like the rest.
    EXPECT_EQ(ParsePassTime("19  5 2002 18 30  05"), UtcStampToTime("20020519183000", 0));
    EXPECT_EQ(ParsePassTime("31  4 2002 24"), UtcStampToTime("20020502000000", 0));
    EXPECT_EQ(ParsePassTime("DDE"), UtcStampToTime("00000000000000", 0));
    // ReadPassTime wants all six numbers.
    for (const auto& [text, time] : std::vector<std::pair<std::string, std::optional<std::time_t>>>{
             {"19  5 2002 14 30  0 and more", 1021818600},
             {"19  5 2002 14 30", std::nullopt},
             {"19  5 2002 14 30 x", std::nullopt}}) {
        EXPECT_EQ(ReadPassTime(text), time) << text;
    }
}
