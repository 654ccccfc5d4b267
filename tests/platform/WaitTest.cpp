#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <chrono>
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

TEST(Wait, ASignalWhoseHandlerDoesNotRestartCallsNeitherEndsNorFailsTheWait) {
    struct sigaction interrupting {};
    interrupting.sa_handler = [](int) {};  // no SA_RESTART: poll() returns EINTR
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &interrupting, &previous), 0);
    const pthread_t waiter = ::pthread_self();
    const auto interrupt = [waiter] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ::pthread_kill(waiter, SIGUSR1);
    };

    Event never(EventReset::Manual, false);
    std::thread signaller(interrupt);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(never, 300), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    signaller.join();

    Event later(EventReset::Auto, false);
    Waitable* const set[] = {&never, &later};
    std::thread interrupter(interrupt);
    std::thread setter([&later] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        later.Set();
    });
    EXPECT_EQ(WaitForMultipleObjects(set, 10000), WAIT_OBJECT_0 + 1);
    interrupter.join();
    setter.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
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
