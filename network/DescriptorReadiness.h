#pragma once

#include "platform/kernel/Waitable.h"

// Whether a descriptor can be read or written without blocking, as a
// Waitable: signalled exactly while the watched descriptor is ready, so a
// ReplyWait, poll() or a Qt socket notifier awaits a socket as it awaits
// an event. Waiting consumes nothing.
class DescriptorReadiness final : public Waitable {
public:
    enum class Direction { Read, Write };

    // Throws std::system_error when the process has no descriptor left.
    DescriptorReadiness();

    // Watches `descriptor` in `direction` instead of what was watched
    // before; it must stay open until Forget or the next Watch. False, with
    // errno set, when it cannot be watched.
    bool Watch(int descriptor, Direction direction);
    void Forget();

    bool TryAcquire() override { return IsReadable(); }

private:
    int m_watched = -1;
};
