#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The receiver commands waiting to be sent, oldest at index 0. A slot is
// free when its text is empty.
class CommandQueue {
public:
    static constexpr std::size_t kSlots = 10;

    // Copies `command` into the lowest free slot; false (command dropped)
    // when every slot is taken.
    bool QueueRadioCommand(std::string_view command);
    // Moves the oldest command into `command` and the rest up one slot;
    // false when slot 0 is free, whatever the later slots hold.
    bool TakeOldest(std::string& command);
    void Clear();

    const std::string& operator[](std::size_t index) const { return m_slots[index]; }

private:
    std::array<std::string, kSlots> m_slots;
};
