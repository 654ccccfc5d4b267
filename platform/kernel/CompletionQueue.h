#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/kernel/Event.h"

// The completion routines queued for one thread. Any thread may post to it;
// the routines run on the owning thread only, while it waits alertably
// (WaitForMultipleObjectsEx or SleepEx with alertable set).
class CompletionQueue {
public:
    CompletionQueue() : m_posted(EventReset::Auto, false) {}

    // The calling thread's queue, made on first use. Posters keep it alive,
    // so a routine posted after its thread ended is simply never run.
    static std::shared_ptr<CompletionQueue> ForCurrentThread();

    void Post(std::function<void()> routine);
    // Runs every routine queued so far, oldest first; true when any ran.
    bool RunPending();
    // Readable when routines may be waiting.
    const Waitable& Signal() const { return m_posted; }

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_routines;
    Event m_posted;
};
