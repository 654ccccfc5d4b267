#pragma once

#include <chrono>

#include "platform/kernel/Wait.h"
#include "platform/kernel/Waitable.h"

// How a receiver's reply is awaited. By default the thread simply blocks; a
// window that must keep painting meanwhile supplies its own.
class ReplyWait {
public:
    virtual ~ReplyWait() = default;
    // True when `event` is signalled within `timeout`; the event is looked
    // at, not consumed.
    virtual bool WaitForReply(Waitable& event, std::chrono::milliseconds timeout) = 0;
};

// Awaits `event` through `wait`, or blocks the thread when it is null.
inline bool AwaitReply(ReplyWait* wait, Waitable& event, std::chrono::milliseconds timeout) {
    if (wait != nullptr) {
        return wait->WaitForReply(event, timeout);
    }
    return WaitForSingleObject(event, static_cast<std::uint32_t>(timeout.count())) == WAIT_OBJECT_0;
}
