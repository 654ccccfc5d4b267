#include "platform/kernel/DescriptorWatch.h"

#include <sys/epoll.h>

#include <array>
#include <cerrno>
#include <system_error>

UniqueFd NewEpoll() {
    UniqueFd fd(::epoll_create1(EPOLL_CLOEXEC));
    if (!fd.IsValid()) {
        throw std::system_error(errno, std::generic_category(), "epoll_create1");
    }
    return fd;
}

DescriptorWatch::DescriptorWatch() : m_epoll(NewEpoll()) {}

bool DescriptorWatch::Add(int descriptor, Handler onReadable) {
    epoll_event watched{};
    watched.events = EPOLLIN;
    watched.data.fd = descriptor;
    if (::epoll_ctl(m_epoll.Get(), EPOLL_CTL_ADD, descriptor, &watched) != 0) {
        return false;
    }
    m_handlers[descriptor] = std::move(onReadable);
    return true;
}

void DescriptorWatch::Remove(int descriptor) {
    if (m_handlers.erase(descriptor) != 0) {
        ::epoll_ctl(m_epoll.Get(), EPOLL_CTL_DEL, descriptor, nullptr);
    }
}

void DescriptorWatch::Dispatch() {
    // Those left over stay readable and are reported at the next call.
    std::array<epoll_event, 16> ready{};
    const int count = ::epoll_wait(m_epoll.Get(), ready.data(), ready.size(), 0);
    for (int index = 0; index < count; ++index) {
        // An earlier handler may have removed this one.
        const auto found = m_handlers.find(ready[static_cast<std::size_t>(index)].data.fd);
        if (found != m_handlers.end() && found->second) {
            const Handler handler = found->second;
            handler();
        }
    }
}
