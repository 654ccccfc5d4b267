#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>
#include <vector>

#include "planning/PassScheduler.h"
#include "planning/PassTable.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

using Strings = std::vector<std::string>;
using OptionalTime = std::optional<std::time_t>;

Strings Starts(const PassRows& table) {
    Strings texts;
    for (int row = 0; row < table.GetItemCount(); ++row) {
        texts.push_back(table.GetItemText(row, PassColumnStart));
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
    EXPECT_EQ(table.InsertItem(9, "d"), 3);
    EXPECT_EQ(table.GetItemText(3, PassColumnName), "");
    table.InsertRows(0, {Row("r1"), Row("r2")});
    table.InsertRows(3, {Row("r3")});
    table.InsertRows(99, {Row("r4")});
    EXPECT_EQ(Starts(table), (Strings{"r1", "r2", "b", "r3", "c", "a", "d", "r4"}));
    EXPECT_EQ(table.GetItemText(7, PassColumnName), "NAME");
}

TEST(PassRows, AStoredTimeStandsUntilItsCellIsSetAsText) {
    const ScopedTimeZone tz("<+04>-4");
    PassRows table;
    table.InsertRows(0, {Row("not a time", 42, 43), Row("19  5 2002 18 30  0")});
    EXPECT_EQ(table.GetItemTime(1, PassColumnStart), OptionalTime(1021818600));
    EXPECT_EQ(table.GetItemTime(1, PassColumnEnd), std::nullopt);
    table.SetItemText(0, PassColumnName, "NOAA 15");
    EXPECT_EQ(table.GetItemTime(0, PassColumnStart), OptionalTime(42));
    table.SetItemText(0, PassColumnEnd, "19  5 2002 18 45  0");
    EXPECT_EQ(table.GetItemTime(0, PassColumnStart), OptionalTime(42));
    EXPECT_EQ(table.GetItemTime(0, PassColumnEnd), OptionalTime(1021818600 + 900));
    table.SetItemText(0, PassColumnStart, "gone");
    EXPECT_EQ(table.GetItemTime(0, PassColumnStart), std::nullopt);
}

TEST(PassScheduler, SatTimerDueTimeIsTheWholeSecondsFromNowOnTheFileTimeScale) {
    const auto wholeSeconds = [] {
        return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now())
            .time_since_epoch()
            .count();
    };
    const ScopedTimeZone tz("<-0930>9:30");
    for (const std::int32_t seconds : {10, -1, INT32_MAX}) {
        const std::int64_t before = wholeSeconds();
        const std::int64_t due = PassScheduler::SatTimerDueTime(seconds);
        const std::int64_t after = wholeSeconds();
        // 1970-01-01 is 116444736000000000 ticks of 100 ns after 1601-01-01.
        const std::int64_t sinceEpoch = due - 116'444'736'000'000'000;
        EXPECT_EQ(sinceEpoch % 10'000'000, 0) << seconds;
        EXPECT_GE(sinceEpoch / 10'000'000, before + seconds) << seconds;
        EXPECT_LE(sinceEpoch / 10'000'000, after + seconds) << seconds;
    }
}
