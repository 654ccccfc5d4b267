#include "platform/kernel/WaitableTimer.h"

#include <sys/timerfd.h>

#include <cerrno>
#include <system_error>

#include "framework/Diagnostics.h"
#include "platform/kernel/FileTime.h"
#include "platform/kernel/NullOnFailure.h"

namespace {

UniqueFd NewTimerDescriptor() {
    UniqueFd fd(::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC));
    if (!fd.IsValid()) {
        throw std::system_error(errno, std::generic_category(), "timerfd_create");
    }
    return fd;
}

}  // namespace

WaitableTimer::WaitableTimer() : Waitable(NewTimerDescriptor()) {}

bool WaitableTimer::Set(std::int64_t dueTime) {
    VANTREL_ASSERT(dueTime > 0);
    // timerfd_settime also zeroes the expiry count, which is the clearing we want.
    itimerspec when{};
    when.it_value = FileTimeToTimespec(dueTime);
    return ::timerfd_settime(m_fd.Get(), TFD_TIMER_ABSTIME, &when, nullptr) == 0;
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
