#include <gtest/gtest.h>

#include <string>

#include "radio/CommandQueue.h"

TEST(CommandQueue, FillsLowestFreeSlotAndRefusesAnEleventh) {
    CommandQueue queue;
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(queue.QueueRadioCommand("C" + std::to_string(i)));
    }
    EXPECT_FALSE(queue.QueueRadioCommand("dropped"));
    for (std::size_t i = 0; i < CommandQueue::kSlots; ++i) {
        EXPECT_EQ(queue[i], "C" + std::to_string(i));
    }

    queue.Clear();
    for (std::size_t i = 0; i < CommandQueue::kSlots; ++i) {
        EXPECT_EQ(queue[i], "");
    }
    EXPECT_TRUE(queue.QueueRadioCommand("again"));
    EXPECT_EQ(queue[0], "again");
}
