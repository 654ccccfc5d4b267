#pragma once

#include "planning/MessagePump.h"
#include "platform/kernel/DescriptorWatch.h"
#include "platform/kernel/UniqueFd.h"

// A message pump without a window: its input is quit requests, counted on a
// descriptor so that another thread or a signal handler may post them, and
// the descriptors it is asked to watch.
class PlainMessagePump final : public MessagePump {
public:
    // Throws std::system_error when the process has no descriptor left.
    PlainMessagePump();

    void RequestQuit() override;
    std::size_t WaitForSourcesOrInput(std::span<Waitable* const> sources) override;
    bool PumpInput() override;
    bool WatchDescriptor(int descriptor, std::function<void()> onReadable) override;
    void UnwatchDescriptor(int descriptor) override;

    // Writing an 8-byte 1 to this descriptor requests a quit: what a signal
    // handler may do, as write() is async-signal-safe.
    int QuitDescriptor() const { return m_quits.Get(); }

private:
    // An eventfd in semaphore mode: one count per request, one taken per read.
    UniqueFd m_quits;
    // The quits and the watched descriptors, as the wait's one input.
    DescriptorWatch m_input;
};
