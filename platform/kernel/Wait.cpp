#include "platform/kernel/Wait.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <optional>

#include "platform/kernel/CompletionQueue.h"

namespace {

using Clock = std::chrono::steady_clock;

// The time left of a wait, measured on the monotonic clock so that setting
// the calendar clock neither shortens nor stretches it.
class Deadline {
public:
    explicit Deadline(std::uint32_t milliseconds) {
        if (milliseconds != INFINITE) {
            m_end = Clock::now() + std::chrono::milliseconds(milliseconds);
        }
    }

    // For poll(): -1 without limit, else the milliseconds left, rounded up.
    int PollTimeout() const {
        if (!m_end) {
            return -1;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*m_end - Clock::now());
        return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
    }

private:
    std::optional<Clock::time_point> m_end;
};

// Readiness of an input descriptor: data, or an end that a read would report.
constexpr short kInputReady = POLLIN | POLLHUP | POLLERR;

std::uint32_t WaitAny(std::span<Waitable* const> objects, std::uint32_t milliseconds,
                      CompletionQueue* alerts, int input = -1) {
    if (objects.size() > MAXIMUM_WAIT_OBJECTS ||
        std::find(objects.begin(), objects.end(), nullptr) != objects.end()) {
        errno = EINVAL;
        return WAIT_FAILED;
    }
    std::array<pollfd, MAXIMUM_WAIT_OBJECTS + 2> watched{};
    std::size_t count = 0;
    for (const Waitable* object : objects) {
        watched[count++] = pollfd{object->Descriptor(), POLLIN, 0};
    }
    if (alerts != nullptr) {
        watched[count++] = pollfd{alerts->Signal().Descriptor(), POLLIN, 0};
    }
    pollfd* const inputWatch = input >= 0 ? &watched[count++] : nullptr;
    if (inputWatch != nullptr) {
        *inputWatch = pollfd{input, POLLIN, 0};
    }

    const Deadline deadline(milliseconds);
    for (bool timeUp = false;;) {
        if (alerts != nullptr && alerts->RunPending()) {
            return WAIT_IO_COMPLETION;
        }
        for (std::size_t index = 0; index < objects.size(); ++index) {
            if (objects[index]->TryAcquire()) {
                return WAIT_OBJECT_0 + static_cast<std::uint32_t>(index);
            }
        }
        if (inputWatch != nullptr && (inputWatch->revents & kInputReady) != 0) {
            return WAIT_OBJECT_0 + static_cast<std::uint32_t>(objects.size());
        }
        if (timeUp) {
            return WAIT_TIMEOUT;
        }
        // Another waiter may take a readable object first; then we sleep again.
        const int timeout = deadline.PollTimeout();
        timeUp = timeout == 0;
        if (::poll(watched.data(), count, timeout) < 0) {
            if (errno != EINTR) {
                return WAIT_FAILED;
            }
            if (inputWatch != nullptr) {
                inputWatch->revents = 0;
            }
        }
    }
}

CompletionQueue* AlertsOfThisThread(bool alertable) {
    return alertable ? CompletionQueue::ForCurrentThread().get() : nullptr;
}

}  // namespace

std::uint32_t WaitForSingleObject(Waitable& object, std::uint32_t milliseconds) {
    Waitable* const objects[] = {&object};
    return WaitAny(objects, milliseconds, nullptr);
}

std::uint32_t WaitForMultipleObjects(std::span<Waitable* const> objects,
                                     std::uint32_t milliseconds) {
    return WaitForMultipleObjectsEx(objects, milliseconds, false);
}

std::uint32_t WaitForMultipleObjectsEx(std::span<Waitable* const> objects,
                                       std::uint32_t milliseconds, bool alertable) {
    if (objects.empty() && !alertable) {
        errno = EINVAL;
        return WAIT_FAILED;
    }
    return WaitAny(objects, milliseconds, AlertsOfThisThread(alertable));
}

std::uint32_t MsgWaitForMultipleObjects(std::span<Waitable* const> objects, int input,
                                        std::uint32_t milliseconds) {
    return WaitAny(objects, milliseconds, nullptr, input);
}

std::uint32_t SleepEx(std::uint32_t milliseconds, bool alertable) {
    const std::uint32_t result = WaitAny({}, milliseconds, AlertsOfThisThread(alertable));
    return result == WAIT_TIMEOUT ? 0 : result;
}
