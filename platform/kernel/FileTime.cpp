#include "platform/kernel/FileTime.h"

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

timespec FileTimeToTimespec(std::int64_t fileTime) {
    const std::int64_t sinceUnixEpoch = fileTime - kFileTimeUnixEpoch;
    if (sinceUnixEpoch <= 0) {
        return timespec{0, 1};
    }
    return timespec{
        static_cast<time_t>(sinceUnixEpoch / kFileTimeTicksPerSecond),
        static_cast<long>(sinceUnixEpoch % kFileTimeTicksPerSecond) * kNanosecondsPerTick};
}
