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
}

TEST(Wait, AnObjectSignalledLaterEndsABlockedWaitForSeveral) {
    Event first(EventReset::Auto, false);
    Event second(EventReset::Auto, false);
    Waitable* const set[] = {&first, &second};
    std::thread setter([&second] { second.Set(); });
    EXPECT_EQ(WaitForMultipleObjects(set, 10000), WAIT_OBJECT_0 + 1);
    setter.join();
    EXPECT_FALSE(second.IsSet());
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

TEST(AlertableWait, RoutinesRunOnlyInAlertableWaitsOnTheirOwnThread) {
    const std::shared_ptr<CompletionQueue> queue = CompletionQueue::ForCurrentThread();
    const std::thread::id self = std::this_thread::get_id();
    std::vector<std::thread::id> ranOn;
    std::thread poster([&] {
        queue->Post([&ranOn] { ranOn.push_back(std::this_thread::get_id()); });
        queue->Post([&ranOn] { ranOn.push_back(std::this_thread::get_id()); });
    });
    poster.join();

    EXPECT_EQ(SleepEx(0, false), 0u);
    Event event(EventReset::Manual, false);
    Waitable* const set[] = {&event};
    EXPECT_EQ(WaitForMultipleObjects(set, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(ranOn.empty());

    EXPECT_EQ(SleepEx(INFINITE, true), WAIT_IO_COMPLETION);
    ASSERT_EQ(ranOn.size(), 2u);
    EXPECT_EQ(ranOn[0], self);
    EXPECT_EQ(ranOn[1], self);
    EXPECT_EQ(SleepEx(0, true), 0u);
}

TEST(AlertableWait, QueuedRoutinesComeBeforeSignalledObjects) {
    Event event(EventReset::Auto, true);
    Waitable* const set[] = {&event};
    int runs = 0;
    CompletionQueue::ForCurrentThread()->Post([&runs] { ++runs; });

    EXPECT_EQ(WaitForMultipleObjectsEx(set, 0, true), WAIT_IO_COMPLETION);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(event.IsSet());
    EXPECT_EQ(WaitForMultipleObjectsEx(set, 0, true), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjectsEx(set, 0, true), WAIT_TIMEOUT);
}

TEST(AlertableWait, ARoutinePostedLaterWakesASleepingThread) {
    const std::shared_ptr<CompletionQueue> queue = CompletionQueue::ForCurrentThread();
    bool ran = false;
    std::thread poster([&] { queue->Post([&ran] { ran = true; }); });
    EXPECT_EQ(SleepEx(10000, true), WAIT_IO_COMPLETION);
    poster.join();
    EXPECT_TRUE(ran);
}
