#include "platform/kernel/StopSignals.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

namespace {

std::atomic<int> g_stopDescriptor{-1};
std::atomic<bool> g_stopReceived{false};

extern "C" void OnStopSignal(int /*signal*/) {
    const int saved = errno;
    g_stopReceived = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_stopDescriptor, &one, sizeof one);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(int descriptor) {
    g_stopDescriptor = descriptor;
    g_stopReceived = false;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t index = 0; index < std::size(kSignals); ++index) {
        ::sigaction(kSignals[index], &action, &m_previous[index]);
    }
}

StopSignals::~StopSignals() {
    for (std::size_t index = 0; index < std::size(kSignals); ++index) {
        ::sigaction(kSignals[index], &m_previous[index], nullptr);
    }
    g_stopDescriptor = -1;
}

bool StopSignals::Received() const {
    return g_stopReceived;
}
