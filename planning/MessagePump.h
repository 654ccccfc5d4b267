#pragma once

#include <cstddef>
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
};
