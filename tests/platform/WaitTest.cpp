#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "platform/kernel/CompletionQueue.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/FileTime.h"
#include "platform/kernel/Wait.h"
#include "platform/kernel/WaitableTimer.h"

TEST(Wait, ServesTheLowestSignalledIndexAndConsumesOnlyThat) {
    Event radio(EventReset::Manual, false);
    Event write(EventReset::Manual, true);
    WaitableTimer timer;
    ASSERT_TRUE(timer.Set(CurrentFileTime() - 1));
    Waitable* const set[] = {&radio, &write, &timer};

    EXPECT_EQ(WaitForMultipleObjects(set, 1000), WAIT_OBJECT_0 + 1);
    // The manual event stays set, so it wins again; the timer keeps its expiry.
    EXPECT_EQ(WaitForMultipleObjects(set, 0), WAIT_OBJECT_0 + 1);
    write.Reset();
    EXPECT_EQ(WaitForMultipleObjects(set, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(set, 0), WAIT_TIMEOUT);
    radio.Set();
    write.Set();
    EXPECT_EQ(WaitForMultipleObjects(set, 0), WAIT_OBJECT_0);

    Event later(EventReset::Auto, false);
    Waitable* const blocked[] = {&timer, &later};
    std::thread setter([&later] { later.Set(); });
    EXPECT_EQ(WaitForMultipleObjects(blocked, 10000), WAIT_OBJECT_0 + 1);
    setter.join();
}

TEST(Wait, RejectsListsItCannotWaitOn) {
    Event event(EventReset::Manual, true);
    EXPECT_EQ(WaitForMultipleObjects({}, 0), WAIT_FAILED);
    EXPECT_EQ(errno, EINVAL);
    Waitable* const withNull[] = {&event, nullptr};
    EXPECT_EQ(WaitForMultipleObjects(withNull, 0), WAIT_FAILED);
    const std::vector<Waitable*> tooMany(MAXIMUM_WAIT_OBJECTS + 1, &event);
    EXPECT_EQ(WaitForMultipleObjects(tooMany, 0), WAIT_FAILED);
    const std::vector<Waitable*> most(MAXIMUM_WAIT_OBJECTS, &event);
    EXPECT_EQ(WaitForMultipleObjects(most, 0), WAIT_OBJECT_0);
}

TEST(AlertableWait, RoutinesRunOnlyInAlertableWaitsOfTheirThreadBeforeSignalledObjects) {
    const std::shared_ptr<CompletionQueue> queue = CompletionQueue::ForCurrentThread();
    int runs = 0;
    std::thread poster([&] { queue->Post([&runs] { ++runs; }); });
    poster.join();
    Event event(EventReset::Auto, true);
    Waitable* const set[] = {&event};
    EXPECT_EQ(SleepEx(0, false), 0u);
    EXPECT_EQ(WaitForMultipleObjects(set, 0), WAIT_OBJECT_0);
    EXPECT_EQ(runs, 0);

    event.Set();
    EXPECT_EQ(WaitForMultipleObjectsEx(set, 0, true), WAIT_IO_COMPLETION);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(WaitForMultipleObjectsEx(set, 0, true), WAIT_OBJECT_0);
    EXPECT_EQ(SleepEx(0, true), 0u);
}

TEST(AlertableWait, ARoutinePostedLaterWakesASleepingThread) {
    const std::shared_ptr<CompletionQueue> queue = CompletionQueue::ForCurrentThread();
    bool ran = false;
    std::thread poster([&] { queue->Post([&ran] { ran = true; }); });
    EXPECT_EQ(SleepEx(10000, true), WAIT_IO_COMPLETION);
    poster.join();
    EXPECT_TRUE(ran);
}
