#include "platform/kernel/Event.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "platform/kernel/NullOnFailure.h"

namespace {

UniqueFd NewEventDescriptor(bool initiallySet) {
    UniqueFd fd(::eventfd(initiallySet ? 1 : 0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!fd.IsValid()) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    return fd;
}

// Takes the counter to zero; true when it was above zero.
bool DrainCounter(int fd) {
    std::uint64_t count = 0;
    return ::read(fd, &count, sizeof count) == sizeof count;
}

}  // namespace

bool Waitable::IsReadable() const {
    pollfd probe{m_fd.Get(), POLLIN, 0};
    return ::poll(&probe, 1, 0) == 1 && (probe.revents & POLLIN) != 0;
}

Event::Event(EventReset reset, bool initiallySet)
    : Waitable(NewEventDescriptor(initiallySet)), m_reset(reset) {}

void Event::Set() {
    // A counter already above zero stays above zero: setting twice is still set.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_fd.Get(), &one, sizeof one);
}

void Event::Reset() {
    DrainCounter(m_fd.Get());
}

bool Event::TryAcquire() {
    return m_reset == EventReset::Auto ? DrainCounter(m_fd.Get()) : IsSet();
}

std::unique_ptr<Event> CreateEvent(EventReset reset, bool initiallySet) noexcept {
    return NullOnFailure([&] { return std::make_unique<Event>(reset, initiallySet); });
}
