#include <gtest/gtest.h>
#include <poll.h>

#include <ctime>

#include "platform/kernel/FileTime.h"
#include "platform/kernel/Wait.h"
#include "platform/kernel/WaitableTimer.h"

TEST(FileTime, IsTheCalendarClockWithItsSubSecondPart) {
    const auto ticks = [](const timespec& t) {
        return kFileTimeUnixEpoch + static_cast<std::int64_t>(t.tv_sec) * kFileTimeTicksPerSecond +
               static_cast<std::int64_t>(t.tv_nsec) / 100;
    };
    timespec before{};
    timespec after{};
    ::clock_gettime(CLOCK_REALTIME, &before);
    const std::int64_t now = CurrentFileTime();
    ::clock_gettime(CLOCK_REALTIME, &after);
    EXPECT_GE(now, ticks(before));
    EXPECT_LE(now, ticks(after));
}

TEST(WaitableTimer, FiresAtItsDueTimeAndTheWaitClearsIt) {
    WaitableTimer timer;
    EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(timer.Set(CurrentFileTime() + 3600 * kFileTimeTicksPerSecond));
    EXPECT_EQ(WaitForSingleObject(timer, 20), WAIT_TIMEOUT);
    // Due within the next second: a clock or timer that drops the sub-second
    // part fires early.
    const std::int64_t due = CurrentFileTime() + kFileTimeTicksPerSecond * 3 / 10;
    ASSERT_TRUE(timer.Set(due));
    EXPECT_EQ(WaitForSingleObject(timer, 10000), WAIT_OBJECT_0);
    EXPECT_GE(CurrentFileTime(), due);
    EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT);
}

// The wall clock reads an hour ahead of the system's: as if it was stepped
// back an hour (NTP at boot, date -s) right after the due time was taken.
TEST(WaitableTimer, AWallClockSteppedAfterArmingNeitherDelaysNorAdvancesIt) {
    constexpr std::int64_t kHour = 3600 * kFileTimeTicksPerSecond;
    for (const std::int64_t step : {kHour, -kHour}) {
        WaitableTimer timer([step] { return CurrentFileTime() + step; });
        ASSERT_TRUE(timer.Set(CurrentFileTime() + step + kFileTimeTicksPerSecond / 5));
        EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT) << step;
        EXPECT_EQ(WaitForSingleObject(timer, 10000), WAIT_OBJECT_0) << step;
    }
}

TEST(WaitableTimer, CancelAndRearmingClearAnUnclaimedExpiry) {
    WaitableTimer timer;
    // Fired but not yet claimed by a wait, as the run loop's poll sees it.
    const auto firedUnclaimed = [&timer] {
        pollfd probe{timer.Descriptor(), POLLIN, 0};
        return timer.Set(CurrentFileTime() - kFileTimeTicksPerSecond) &&
               ::poll(&probe, 1, 10000) == 1;
    };
    ASSERT_TRUE(firedUnclaimed());
    timer.Cancel();
    EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT);

    ASSERT_TRUE(firedUnclaimed());
    ASSERT_TRUE(timer.Set(CurrentFileTime() + 3600 * kFileTimeTicksPerSecond));
    EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT);
}
