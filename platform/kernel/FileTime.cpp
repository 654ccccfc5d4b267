#include "platform/kernel/FileTime.h"

#include <time.h>

namespace {

constexpr std::int64_t kNanosecondsPerTick = 100;

timespec RealtimeNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

}  // namespace

std::time_t CurrentCalendarTime() {
    return RealtimeNow().tv_sec;
}

std::int64_t CurrentFileTime() {
    const timespec now = RealtimeNow();
    return kFileTimeUnixEpoch + now.tv_sec * kFileTimeTicksPerSecond +
           now.tv_nsec / kNanosecondsPerTick;
}

std::int64_t FileTimeAfter(std::chrono::milliseconds span) {
    return CurrentFileTime() + span.count() * (kFileTimeTicksPerSecond / 1000);
}
