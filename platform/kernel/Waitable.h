#pragma once

#include <utility>

#include "platform/kernel/UniqueFd.h"

// A kernel object a thread can wait for: an event or a timer. Its descriptor
// is readable exactly while the object is signalled, so poll() or a Qt socket
// notifier can watch it alongside other sources.
class Waitable {
public:
    virtual ~Waitable() = default;
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;

    int Descriptor() const { return m_fd.Get(); }

    // Ends a wait on this object when it is signalled: true then, and an
    // object that resets itself is left unsignalled, so only one waiter gets it.
    virtual bool TryAcquire() = 0;

protected:
    explicit Waitable(UniqueFd fd) : m_fd(std::move(fd)) {}
    // True while the descriptor is readable; consumes nothing.
    bool IsReadable() const;

    UniqueFd m_fd;
};
