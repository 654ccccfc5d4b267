#include "platform/kernel/WaitableTimer.h"

#include <sys/timerfd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>

#include "framework/Diagnostics.h"
#include "platform/kernel/NullOnFailure.h"

namespace {

constexpr std::int64_t kNanosecondsPerTick = 100;
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

UniqueFd NewTimerDescriptor() {
    // Elapsed time since boot, suspend included: no one can step it.
    UniqueFd fd(::timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC));
    if (!fd.IsValid()) {
        throw std::system_error(errno, std::generic_category(), "timerfd_create");
    }
    return fd;
}

}  // namespace

WaitableTimer::WaitableTimer(WallClock wallClock)
    : Waitable(NewTimerDescriptor()), m_wallClock(std::move(wallClock)) {}

bool WaitableTimer::Set(std::int64_t dueTime) {
    VANTREL_ASSERT(dueTime > 0);
    // A zero span would disarm the timer; a due time already past fires at once.
    constexpr std::int64_t kLongest =
        std::numeric_limits<std::int64_t>::max() / kNanosecondsPerTick;
    const std::int64_t span =
        std::clamp<std::int64_t>(dueTime - m_wallClock(), 0, kLongest) * kNanosecondsPerTick + 1;
    // timerfd_settime also zeroes the expiry count, which is the clearing we want.
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(span / kNanosecondsPerSecond);
    when.it_value.tv_nsec = static_cast<long>(span % kNanosecondsPerSecond);
    return ::timerfd_settime(m_fd.Get(), 0, &when, nullptr) == 0;
}

void WaitableTimer::Cancel() {
    const itimerspec disarmed{};
    ::timerfd_settime(m_fd.Get(), 0, &disarmed, nullptr);
}

bool WaitableTimer::TryAcquire() {
    std::uint64_t expirations = 0;
    return ::read(m_fd.Get(), &expirations, sizeof expirations) == sizeof expirations;
}

std::unique_ptr<WaitableTimer> CreateWaitableTimer() noexcept {
    return NullOnFailure([&] { return std::make_unique<WaitableTimer>(); });
}
