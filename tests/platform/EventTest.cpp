#include <gtest/gtest.h>
#include <poll.h>

#include "platform/kernel/Event.h"
#include "platform/kernel/Wait.h"

namespace {

// What a run loop watching the descriptor sees.
bool Readable(const Waitable& object) {
    pollfd probe{object.Descriptor(), POLLIN, 0};
    return ::poll(&probe, 1, 0) == 1;
}

}  // namespace

TEST(Event, ManualResetStaysSetThroughWaitsUntilReset) {
    Event event(EventReset::Manual, false);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    event.Set();
    event.Set();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(Readable(event));

    // One reset clears it however often it was set.
    event.Reset();
    EXPECT_FALSE(Readable(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(Event, AutoResetIsClearedByTheWaitItEnds) {
    Event event(EventReset::Auto, true);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_FALSE(Readable(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    // Setting twice before a wait still releases one wait only.
    event.Set();
    event.Set();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}
