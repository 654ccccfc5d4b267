#include <gtest/gtest.h>
#include <poll.h>

#include <thread>

#include "platform/kernel/Event.h"
#include "platform/kernel/Wait.h"

namespace {

bool Readable(const Waitable& object) {
    pollfd probe{object.Descriptor(), POLLIN, 0};
    return ::poll(&probe, 1, 0) == 1;
}

}  // namespace

TEST(Event, ManualResetStaysSetThroughWaitsUntilReset) {
    Event event(EventReset::Manual, false);
    EXPECT_FALSE(event.IsSet());
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    event.Set();
    event.Set();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(Readable(event));

    // One reset clears it however often it was set.
    event.Reset();
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(Readable(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(Event, AutoResetIsClearedByTheWaitItEnds) {
    Event event(EventReset::Auto, true);
    EXPECT_TRUE(Readable(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(Readable(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    // Setting twice before a wait still releases one wait only.
    event.Set();
    event.Set();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(Event, SetFromAnotherThreadEndsABlockedWait) {
    Event event(EventReset::Auto, false);
    std::thread setter([&event] { event.Set(); });
    EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    setter.join();
    EXPECT_FALSE(event.IsSet());
}

TEST(Event, FactoryReportsTheModeItWasAskedFor) {
    const std::unique_ptr<Event> manual = CreateEvent(EventReset::Manual, true);
    ASSERT_NE(manual, nullptr);
    EXPECT_EQ(manual->ResetMode(), EventReset::Manual);
    EXPECT_TRUE(manual->IsSet());
    const std::unique_ptr<Event> automatic = CreateEvent(EventReset::Auto, false);
    ASSERT_NE(automatic, nullptr);
    EXPECT_EQ(automatic->ResetMode(), EventReset::Auto);
    EXPECT_FALSE(automatic->IsSet());
    EXPECT_NE(manual->Descriptor(), automatic->Descriptor());
}
