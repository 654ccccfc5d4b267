#pragma once

#include <functional>
#include <map>

#include "platform/kernel/UniqueFd.h"

// A new epoll set, closed on exec. Throws std::system_error when the
// process has no descriptor left.
UniqueFd NewEpoll();

// Descriptors, each with what to do when it turns readable, behind one
// descriptor that is readable while any of them is: a wait watches them all
// as one input, and whoever takes that input calls Dispatch.
class DescriptorWatch {
public:
    using Handler = std::function<void()>;

    // Throws std::system_error when the process has no descriptor left.
    DescriptorWatch();

    // Readable while a watched descriptor is.
    int Descriptor() const { return m_epoll.Get(); }

    // Watches `descriptor` until it is removed, which must happen before it
    // is closed. The handler must take what made it readable, or remove it,
    // else the watch stays readable; an empty handler only wakes the wait.
    // False, with errno set, when the descriptor cannot be watched.
    bool Add(int descriptor, Handler onReadable);
    void Remove(int descriptor);

    // Calls the handlers of the descriptors readable now, without blocking.
    // A handler may add and remove watches, its own included; so a handler
    // may find its descriptor no longer readable when it is called.
    void Dispatch();

private:
    UniqueFd m_epoll;
    std::map<int, Handler> m_handlers;
};
