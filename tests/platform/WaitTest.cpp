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

using namespace std::chrono_literals;

TEST(Event, AnAutoResetOneReleasesOneWaitHoweverOftenItWasSet) {
    Event event(EventReset::Auto, true);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    event.Set();
    event.Set();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(Wait, ServesTheLowestSignalledIndexAndConsumesOnlyThat) {
    Event radio(EventReset::Manual, false);
    Event write(EventReset::Manual, false);
    write.Set();
    write.Set();
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
    std::thread signaller([waiter = ::pthread_self()] {
        std::this_thread::sleep_for(30ms);
        ::pthread_kill(waiter, SIGUSR1);
    });
    Event never(EventReset::Manual, false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(never, 300), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    signaller.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
}

TEST(AlertableWait, RoutinesRunOnlyInAlertableWaitsOfTheirThreadBeforeSignalledObjects) {
    const std::shared_ptr<CompletionQueue> queue = CompletionQueue::ForCurrentThread();
    int runs = 0;
    std::thread([&] { queue->Post([&runs] { ++runs; }); }).join();
    Event event(EventReset::Auto, true);
    Waitable* const set[] = {&event};
    EXPECT_EQ(SleepEx(0, false), 0u);
    EXPECT_EQ(WaitForMultipleObjects(set, 0), WAIT_OBJECT_0);
    EXPECT_EQ(runs, 0);

    event.Set();
    EXPECT_EQ(WaitForMultipleObjectsEx(set, 0, true), WAIT_IO_COMPLETION);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(WaitForMultipleObjectsEx(set, 0, true), WAIT_OBJECT_0);

    // A routine posted while the thread sleeps wakes it.
    std::thread poster([&] {
        std::this_thread::sleep_for(50ms);
        queue->Post([&runs] { ++runs; });
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SleepEx(10000, true), WAIT_IO_COMPLETION);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    poster.join();
    EXPECT_EQ(runs, 2);
}
