#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// One pass as a line of PassList.txt gives it.
struct PassListEntry {
    std::time_t start = 0;
    // The satellite's heading at mid-pass.
    bool northbound = false;
    // Degrees east, 0 to 359, of the point below the satellite at mid-pass.
    int longitudeDeg = 0;
    std::int32_t lengthSeconds = 0;
    std::string name;
};

// The line, without its end, that PassListReader reads back as this pass:
// the same start, end and name. nullopt when it cannot be written so: a
// line longer than the reader takes whole, a name that is empty, has blanks
// at an end or holds control characters, or a start without a stamp.
std::optional<std::string> FormatPassListLine(const PassListEntry& entry);
