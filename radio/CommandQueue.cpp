#include "radio/CommandQueue.h"

#include <algorithm>
#include <utility>

bool CommandQueue::QueueRadioCommand(std::string_view command) {
    const auto free = std::find_if(m_slots.begin(), m_slots.end(),
                                   [](const std::string& slot) { return slot.empty(); });
    if (free == m_slots.end()) {
        return false;
    }
    free->assign(command);
    return true;
}

bool CommandQueue::TakeOldest(std::string& command) {
    if (m_slots.front().empty()) {
        return false;
    }
    command = std::move(m_slots.front());
    std::move(m_slots.begin() + 1, m_slots.end(), m_slots.begin());
    m_slots.back().clear();
    return true;
}

void CommandQueue::Clear() {
    for (std::string& slot : m_slots) {
        slot.clear();
    }
}
