#include <gtest/gtest.h>
#include <poll.h>

#include <ctime>

#include "platform/kernel/FileTime.h"
#include "platform/kernel/Wait.h"
#include "platform/kernel/WaitableTimer.h"

namespace {

constexpr std::int64_t kMillisecond = kFileTimeTicksPerSecond / 1000;

bool Readable(const Waitable& object) {
    pollfd probe{object.Descriptor(), POLLIN, 0};
    return ::poll(&probe, 1, 0) == 1;
}

}  // namespace

TEST(FileTime, ConvertsBetweenTheFileTimeScaleAndTheCalendarClock) {
    const timespec second = FileTimeToTimespec(kFileTimeUnixEpoch + kFileTimeTicksPerSecond + 5);
    EXPECT_EQ(second.tv_sec, 1);
    EXPECT_EQ(second.tv_nsec, 500);
    // 2040-01-01 00:00:00 UTC, past the 32-bit limit.
    const timespec later =
        FileTimeToTimespec(kFileTimeUnixEpoch + std::int64_t{2208988800} * kFileTimeTicksPerSecond);
    EXPECT_EQ(later.tv_sec, 2208988800);
    // Anything up to 1970 reads as "long past", never as a disarming zero.
    const timespec early = FileTimeToTimespec(1);
    EXPECT_EQ(early.tv_sec, 0);
    EXPECT_EQ(early.tv_nsec, 1);

    const std::int64_t before = (std::time(nullptr) * kFileTimeTicksPerSecond) + kFileTimeUnixEpoch;
    const std::int64_t now = CurrentFileTime();
    EXPECT_GE(now, before);
    EXPECT_LT(now, before + 2 * kFileTimeTicksPerSecond);
}

TEST(WaitableTimer, PastDueTimeFiresAndTheWaitClearsIt) {
    WaitableTimer timer;
    EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(timer.Set(CurrentFileTime() - kFileTimeTicksPerSecond));
    EXPECT_EQ(WaitForSingleObject(timer, 1000), WAIT_OBJECT_0);
    EXPECT_FALSE(Readable(timer));
    EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT);
}

TEST(WaitableTimer, FiresAtItsDueTimeNotBefore) {
    WaitableTimer timer;
    ASSERT_TRUE(timer.Set(CurrentFileTime() + 3600 * kFileTimeTicksPerSecond));
    EXPECT_EQ(WaitForSingleObject(timer, 20), WAIT_TIMEOUT);

    ASSERT_TRUE(timer.Set(CurrentFileTime() + 20 * kMillisecond));
    EXPECT_EQ(WaitForSingleObject(timer, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT);
}

TEST(WaitableTimer, CancelAndRearmingClearAnUnclaimedExpiry) {
    WaitableTimer timer;
    ASSERT_TRUE(timer.Set(CurrentFileTime() - 1));
    ASSERT_EQ(WaitForSingleObject(timer, 1000), WAIT_OBJECT_0);

    ASSERT_TRUE(timer.Set(CurrentFileTime() - 1));
    pollfd probe{timer.Descriptor(), POLLIN, 0};
    ASSERT_EQ(::poll(&probe, 1, 1000), 1);
    timer.Cancel();
    EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT);

    ASSERT_TRUE(timer.Set(CurrentFileTime() - 1));
    ASSERT_EQ(::poll(&probe, 1, 1000), 1);
    ASSERT_TRUE(timer.Set(CurrentFileTime() + 3600 * kFileTimeTicksPerSecond));
    EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT);
}
