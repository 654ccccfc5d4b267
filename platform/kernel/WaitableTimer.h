#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/kernel/FileTime.h"
#include "platform/kernel/Waitable.h"

// A synchronisation timer over a timerfd: it becomes signalled at its due
// time, and a completed wait on it clears it again.
class WaitableTimer final : public Waitable {
public:
    // The wall clock due times are given on, on the file-time scale.
    using WallClock = std::function<std::int64_t()>;

    // Throws std::system_error when the process has no descriptor left.
    explicit WaitableTimer(WallClock wallClock = CurrentFileTime);

    // Arms the timer to fire once at an absolute due time on the file-time
    // scale (positive); a due time already past fires at once. The span
    // until then is waited out in elapsed time, time asleep included, so a
    // step of the wall clock after arming (NTP at boot, date -s) neither
    // delays nor advances it. Arming clears an expiry nobody has waited for
    // yet. False (errno set) when it failed.
    bool Set(std::int64_t dueTime);
    // Disarms the timer and clears an expiry nobody has waited for yet.
    void Cancel();

    bool TryAcquire() override;

private:
    WallClock m_wallClock;
};

// As the constructor, but null (errno set) instead of an exception.
std::unique_ptr<WaitableTimer> CreateWaitableTimer() noexcept;
