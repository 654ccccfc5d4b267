#pragma once

#include <cstddef>
#include <functional>
#include <span>

#include "platform/kernel/Waitable.h"
#include "services/QuitRequester.h"

// The run loop's view of its thread's message queue: it waits for one of
// the loop's sources or for input, hands the input to whoever it is for,
// and carries quit requests (RequestQuit queues one and returns at once).
class MessagePump : public QuitRequester {
public:
    // Blocks until one of `sources` is signalled or input arrives, without
    // spinning. Returns the index of the lowest signalled source (a
    // completed wait on a source that resets itself clears it), else
    // sources.size() for input; a failed wait also counts as input.
    virtual std::size_t WaitForSourcesOrInput(std::span<Waitable* const> sources) = 0;
    // Handles the input that is there, without blocking; true when a quit
    // request was among it, which is then taken from the queue.
    virtual bool PumpInput() = 0;

    // Makes `descriptor` input: while it is readable, the pump calls
    // `onReadable` as it handles input, on its own thread, until the
    // descriptor is unwatched (which must come before it is closed). The
    // handler must take what made it readable or unwatch it. False, with
    // errno set, when the descriptor cannot be watched.
    virtual bool WatchDescriptor(int descriptor, std::function<void()> onReadable) = 0;
    virtual void UnwatchDescriptor(int descriptor) = 0;
};
