#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// The times of the pass table. Times are seconds since 1970-01-01 00:00:00
// UTC in 64 bits, so passes after 2038 convert like any other.

// YYYYMMDDhhmmss in UTC, as WxTrack writes the start of a pass.
inline constexpr std::size_t kUtcStampLength = 14;
// A pass-time text with a four-digit year.
inline constexpr std::size_t kPassTimeLength = 19;

// The UTC time the stamp names, plus `seconds`. Each field is read as atoi
// would read it, and values out of their range carry over as the calendar
// functions carry them (second 60 is the next minute, 31 April is 1 May).
// Independent of the host's time zone.
std::time_t UtcStampToTime(std::string_view stamp, std::int32_t seconds);

// The stamp of `time` that UtcStampToTime reads back; nullopt for a year
// outside 0 to 9999, which has no stamp.
std::optional<std::string> FormatUtcStamp(std::time_t time);

// `time` as local time (TZ honoured) in the layout "%2d %2d %4d %2d %2d %2d":
// day, month, year, hour, minute, second.
std::string FormatPassTime(std::time_t time);

// The time of a FormatPassTime text read as local time, the calendar library
// deciding on daylight saving. Of a longer text only the first
// kPassTimeLength characters count; a field that does not read counts as 0.
std::time_t ParsePassTime(std::string_view text);

// As ParsePassTime, but nullopt unless the text holds all six numbers.
std::optional<std::time_t> ReadPassTime(std::string_view text);
