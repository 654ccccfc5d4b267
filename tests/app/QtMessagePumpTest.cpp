#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <chrono>
#include <memory>
#include <thread>

#include "app/widgets/QtMessagePump.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/UniqueFd.h"

namespace {

int g_argc = 1;
char g_name[] = "qtmessagepump_test";
char* g_argv[] = {g_name, nullptr};

class QtMessagePumpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_application = std::make_unique<QCoreApplication>(g_argc, g_argv);
    }
    static void TearDownTestSuite() { s_application.reset(); }

    // How long a wait with no source signalled took, in ms; a stray event
    // ends a wait that nothing else would after two seconds (and goes with
    // the wait, not to end the next one early).
    qint64 WaitMilliseconds() {
        QTimer stray;
        stray.setSingleShot(true);
        stray.start(2000);
        QElapsedTimer elapsed;
        elapsed.start();
        EXPECT_EQ(pump.WaitForSourcesOrInput(sources), sources.size());
        return elapsed.elapsed();
    }

    static std::unique_ptr<QCoreApplication> s_application;
    QObject receiver;
    QtMessagePump pump{receiver};
    Event radio{EventReset::Manual, false};
    Event write{EventReset::Manual, false};
    Event timer{EventReset::Auto, false};
    std::array<Waitable*, 3> sources{&radio, &write, &timer};
};

std::unique_ptr<QCoreApplication> QtMessagePumpTest::s_application;

}  // namespace

TEST_F(QtMessagePumpTest, SourcesComeLowestFirstAndAnAutoResetOneIsCleared) {
    timer.Set();
    write.Set();
    EXPECT_EQ(pump.WaitForSourcesOrInput(sources), 1u);
    EXPECT_EQ(pump.WaitForSourcesOrInput(sources), 1u);
    write.Reset();
    EXPECT_EQ(pump.WaitForSourcesOrInput(sources), 2u);
    EXPECT_FALSE(timer.IsSet());
}

TEST_F(QtMessagePumpTest, ASourceSignalledFromAnotherThreadWakesTheSleep) {
    QCoreApplication::processEvents();
    std::thread transfer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        radio.Set();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    // The notifier's wake-up counts as input; the next look finds the source.
    int wakeUps = 0;
    while (pump.WaitForSourcesOrInput(sources) == sources.size() && ++wakeUps < 10) {
    }
    transfer.join();
    EXPECT_LT(wakeUps, 10);
    EXPECT_GE(elapsed.elapsed(), 90);
    EXPECT_LT(elapsed.elapsed(), 10000);
}

TEST_F(QtMessagePumpTest, AQueuedQuitIsTakenOnceEvenWhenItsEventWasHandledElsewhere) {
    pump.RequestQuit();
    pump.RequestQuit();
    // The events are delivered by a loop that is not the run's, as during a
    // reply wait; the requests stay queued and the next wait must not sleep.
    QCoreApplication::processEvents();
    EXPECT_LT(WaitMilliseconds(), 1000);
    EXPECT_TRUE(pump.PumpInput());
    EXPECT_TRUE(pump.PumpInput());
    EXPECT_FALSE(pump.PumpInput());
    EXPECT_GE(WaitMilliseconds(), 1900);
}

TEST_F(QtMessagePumpTest, AWatchedDescriptorIsInputThatWaitsWhileAReplyIsAwaited) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
    const UniqueFd readEnd(ends[0]);
    const UniqueFd writeEnd(ends[1]);
    int served = 0;
    // As a hook's end is handled: taken once, and the watch ended at once.
    ASSERT_TRUE(pump.WatchDescriptor(readEnd.Get(), [&] {
        char byte = 0;
        while (::read(readEnd.Get(), &byte, 1) == 1) {
        }
        ++served;
        pump.UnwatchDescriptor(readEnd.Get());
    }));
    ASSERT_EQ(::write(writeEnd.Get(), "x", 1), 1);
    Event reply{EventReset::Manual, false};
    EXPECT_FALSE(pump.WaitForReply(reply, std::chrono::milliseconds(200)));
    EXPECT_EQ(served, 0);
    EXPECT_LT(WaitMilliseconds(), 1000);
    EXPECT_EQ(served, 1);
    ASSERT_EQ(::write(writeEnd.Get(), "x", 1), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(served, 1);
}
