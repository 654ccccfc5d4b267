#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>
#include <vector>

#include "planning/PassScheduler.h"
#include "planning/PassTable.h"
#include "planning/PassTimes.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

using Strings = std::vector<std::string>;
using OptionalTime = std::optional<std::time_t>;

constexpr const char* kZones[] = {"UTC0", "<+04>-4", "<-0930>9:30", "CET-1CEST,M3.5.0,M10.5.0/3"};

Strings Column(const PassRows& table, int column) {
    Strings texts;
    for (int row = 0; row < table.GetItemCount(); ++row) {
        texts.push_back(table.GetItemText(row, column));
    }
    return texts;
}

PassRow Row(const std::string& start, OptionalTime startTime = {}, OptionalTime endTime = {}) {
    return PassRow{{start, "end", "900", "NAME"}, startTime, endTime};
}

}  // namespace

TEST(PassRows, RowsGoWhereTheIndexSaysAndPastTheEndAppend) {
    PassRows table;
    EXPECT_EQ(table.InsertItem(5, "a"), 0);
    EXPECT_EQ(table.InsertItem(0, "b"), 0);
    EXPECT_EQ(table.InsertItem(1, "c"), 1);
    EXPECT_EQ(table.InsertItem(3, "d"), 3);
    EXPECT_EQ(table.InsertItem(9, "e"), 4);
    EXPECT_EQ(Column(table, PassColumnStart), (Strings{"b", "c", "a", "d", "e"}));
    EXPECT_EQ(Column(table, PassColumnName), Strings(5, ""));

    table.InsertRows(0, {Row("r1"), Row("r2")});
    table.InsertRows(3, {Row("r3")});
    table.InsertRows(99, {Row("r4"), Row("r5")});
    EXPECT_EQ(Column(table, PassColumnStart),
              (Strings{"r1", "r2", "b", "r3", "c", "a", "d", "e", "r4", "r5"}));
    EXPECT_EQ(table.GetItemText(8, PassColumnName), "NAME");
}

TEST(PassRows, AStoredTimeStandsUntilItsCellIsSetAsText) {
    const ScopedTimeZone tz("<+04>-4");
    PassRows table;
    table.InsertRows(0, {Row("not a time", 42, 43), Row("19  5 2002 18 30  0")});
    table.InsertItem(2, "DDE");
    table.SetItemText(2, PassColumnEnd, "19  5 2002 18 45");
    EXPECT_EQ(table.GetItemTime(0, PassColumnStart), OptionalTime(42));
    EXPECT_EQ(table.GetItemTime(0, PassColumnEnd), OptionalTime(43));
    EXPECT_EQ(table.GetItemTime(1, PassColumnStart), OptionalTime(1021818600));
    EXPECT_EQ(table.GetItemTime(1, PassColumnEnd), std::nullopt);
    EXPECT_EQ(table.GetItemTime(2, PassColumnStart), std::nullopt);
    EXPECT_EQ(table.GetItemTime(2, PassColumnEnd), std::nullopt);

    table.SetItemText(0, PassColumnName, "NOAA 15");
    table.SetItemText(0, PassColumnLength, "60");
    EXPECT_EQ(table.GetItemTime(0, PassColumnStart), OptionalTime(42));
    EXPECT_EQ(table.GetItemTime(0, PassColumnEnd), OptionalTime(43));
    table.SetItemText(0, PassColumnEnd, "19  5 2002 18 45  0");
    EXPECT_EQ(table.GetItemTime(0, PassColumnStart), OptionalTime(42));
    EXPECT_EQ(table.GetItemTime(0, PassColumnEnd), OptionalTime(1021818600 + 900));
    table.SetItemText(0, PassColumnStart, "gone");
    EXPECT_EQ(table.GetItemTime(0, PassColumnStart), std::nullopt);
}

TEST(PassTimes, ReadPassTimeWantsAllSixNumbers) {
    const ScopedTimeZone tz("<+04>-4");
    for (const auto& [text, time] : std::vector<std::pair<std::string, OptionalTime>>{
             {"19  5 2002 18 30  0", 1021818600},
             {"19  5 2002 18 30  0 and more", 1021818600},
             {"1 1 2040 4 0 0", UtcStampToTime("20400101000000", 0)},
             {"31  4 2002 24  0  0", UtcStampToTime("20020501200000", 0)},
             {"19  5 2002 18 30", std::nullopt},
             {"19  5 2002 18 30 x", std::nullopt},
             {"DDE", std::nullopt},
             {"", std::nullopt}}) {
        EXPECT_EQ(ReadPassTime(text), time) << text;
    }
}

TEST(PassScheduler, SatTimerDueTimeIsTheWholeSecondsFromNowOnTheFileTimeScale) {
    const auto wholeSeconds = [] {
        return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now())
            .time_since_epoch()
            .count();
    };
    for (const char* zone : kZones) {
        const ScopedTimeZone tz(zone);
        for (const std::int32_t seconds : {1, 10, 0, -1, INT32_MAX}) {
            const std::int64_t before = wholeSeconds();
            const std::int64_t due = PassScheduler::SatTimerDueTime(seconds);
            const std::int64_t after = wholeSeconds();
            // 1970-01-01 is 116444736000000000 ticks of 100 ns after 1601-01-01.
            const std::int64_t sinceEpoch = due - 116'444'736'000'000'000;
            EXPECT_EQ(sinceEpoch % 10'000'000, 0) << zone << " " << seconds;
            EXPECT_GE(sinceEpoch / 10'000'000, before + seconds) << zone << " " << seconds;
            EXPECT_LE(sinceEpoch / 10'000'000, after + seconds) << zone << " " << seconds;
        }
    }
}
