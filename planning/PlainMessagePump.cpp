#include "planning/PlainMessagePump.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "platform/kernel/Wait.h"

PlainMessagePump::PlainMessagePump()
    : m_quits(::eventfd(0, EFD_SEMAPHORE | EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (!m_quits.IsValid()) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    // PumpInput takes the quits itself, one per call.
    if (!m_input.Add(m_quits.Get(), {})) {
        throw std::system_error(errno, std::generic_category(), "epoll_ctl");
    }
}

void PlainMessagePump::RequestQuit() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_quits.Get(), &one, sizeof one);
}

std::size_t PlainMessagePump::WaitForSourcesOrInput(std::span<Waitable* const> sources) {
    const std::uint32_t result = MsgWaitForMultipleObjects(sources, m_input.Descriptor(), INFINITE);
    return result < sources.size() ? result : sources.size();
}

bool PlainMessagePump::PumpInput() {
    m_input.Dispatch();
    std::uint64_t taken = 0;
    return ::read(m_quits.Get(), &taken, sizeof taken) == sizeof taken;
}

bool PlainMessagePump::WatchDescriptor(int descriptor, std::function<void()> onReadable) {
    return m_input.Add(descriptor, std::move(onReadable));
}

void PlainMessagePump::UnwatchDescriptor(int descriptor) {
    m_input.Remove(descriptor);
}
