#include "network/DescriptorReadiness.h"

#include <sys/epoll.h>

#include "platform/kernel/DescriptorWatch.h"

// A level-triggered epoll set is readable while a descriptor in it is ready,
// and is never waited on itself, so its readiness mirrors the descriptor's.
DescriptorReadiness::DescriptorReadiness() : Waitable(NewEpoll()) {}

bool DescriptorReadiness::Watch(int descriptor, Direction direction) {
    epoll_event watched{};
    // An end or an error makes a read or write return at once: ready too.
    watched.events = direction == Direction::Read ? EPOLLIN | EPOLLRDHUP : EPOLLOUT;
    watched.data.fd = descriptor;
    if (descriptor == m_watched &&
        ::epoll_ctl(m_fd.Get(), EPOLL_CTL_MOD, descriptor, &watched) == 0) {
        return true;
    }
    Forget();
    if (::epoll_ctl(m_fd.Get(), EPOLL_CTL_ADD, descriptor, &watched) != 0) {
        return false;
    }
    m_watched = descriptor;
    return true;
}

void DescriptorReadiness::Forget() {
    if (m_watched >= 0) {
        ::epoll_ctl(m_fd.Get(), EPOLL_CTL_DEL, m_watched, nullptr);
        m_watched = -1;
    }
}
