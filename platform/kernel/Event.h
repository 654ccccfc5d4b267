#pragma once

#include <memory>

#include "platform/kernel/Waitable.h"

enum class EventReset {
    Manual,  // stays set until Reset
    Auto,    // a completed wait clears it
};

// An event object over an eventfd. Set, Reset and waits may come from any thread.
class Event final : public Waitable {
public:
    // Throws std::system_error when the process has no descriptor left.
    Event(EventReset reset, bool initiallySet);

    void Set();
    void Reset();
    bool IsSet() const { return IsReadable(); }
    EventReset ResetMode() const { return m_reset; }

    bool TryAcquire() override;

private:
    EventReset m_reset;
};

// As the constructor, but null (errno set) instead of an exception.
std::unique_ptr<Event> CreateEvent(EventReset reset, bool initiallySet) noexcept;
