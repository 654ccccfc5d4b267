#include "radio/CommandQueue.h"

#include <algorithm>

bool CommandQueue::QueueRadioCommand(std::string_view command) {
    const auto free = std::find_if(m_slots.begin(), m_slots.end(),
                                   [](const std::string& slot) { return slot.empty(); });
    if (free == m_slots.end()) {
        return false;
    }
    free->assign(command);
    return true;
}

void CommandQueue::Clear() {
    for (std::string& slot : m_slots) {
        slot.clear();
    }
}
