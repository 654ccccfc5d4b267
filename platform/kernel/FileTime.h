#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

// Times on the file-time scale: 100-nanosecond intervals since
// 1601-01-01 00:00:00 UTC, as the satellite timer's due times are given.

inline constexpr std::int64_t kFileTimeTicksPerSecond = 10'000'000;
// 1970-01-01 00:00:00 UTC on the file-time scale.
inline constexpr std::int64_t kFileTimeUnixEpoch = 116'444'736'000'000'000;

// The current calendar time in whole seconds since 1970 UTC, from
// CLOCK_REALTIME: the clock timers' due times are reckoned on (see
// CurrentFileTime), so once a timer has fired "now" is not behind it.
std::time_t CurrentCalendarTime();

// The current calendar time from CLOCK_REALTIME (not time(), whose coarse
// clock lags just after a second boundary).
std::int64_t CurrentFileTime();

// The file time `span` from now.
std::int64_t FileTimeAfter(std::chrono::milliseconds span);
