#pragma once

#include <cstdint>
#include <memory>

#include "platform/kernel/Waitable.h"

// A synchronisation timer over a timerfd on CLOCK_REALTIME: it becomes
// signalled at its due time, and a completed wait on it clears it again.
class WaitableTimer final : public Waitable {
public:
    // Throws std::system_error when the process has no descriptor left.
    WaitableTimer();

    // Arms the timer to fire once at an absolute due time on the file-time
    // scale (positive); a due time already past fires at once. Arming clears
    // an expiry nobody has waited for yet. False (errno set) when it failed.
    bool Set(std::int64_t dueTime);
    // Disarms the timer and clears an expiry nobody has waited for yet.
    void Cancel();

    bool TryAcquire() override;
};

// As the constructor, but null (errno set) instead of an exception.
std::unique_ptr<WaitableTimer> CreateWaitableTimer() noexcept;
