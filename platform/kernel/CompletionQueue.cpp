#include "platform/kernel/CompletionQueue.h"

#include <utility>

std::shared_ptr<CompletionQueue> CompletionQueue::ForCurrentThread() {
    thread_local const std::shared_ptr<CompletionQueue> queue = std::make_shared<CompletionQueue>();
    return queue;
}

void CompletionQueue::Post(std::function<void()> routine) {
    {
        const std::lock_guard lock(m_mutex);
        m_routines.push_back(std::move(routine));
    }
    m_posted.Set();
}

bool CompletionQueue::RunPending() {
    // Clearing the signal before taking the routines means a post that races
    // with us leaves it set, so the next wait looks again instead of sleeping.
    m_posted.Reset();
    std::deque<std::function<void()>> due;
    {
        const std::lock_guard lock(m_mutex);
        due.swap(m_routines);
    }
    for (const std::function<void()>& routine : due) {
        routine();
    }
    return !due.empty();
}
