#include "planning/PassListLine.h"

#include "framework/AsciiText.h"
#include "planning/PassListReader.h"
#include "planning/PassTimes.h"

std::optional<std::string> FormatPassListLine(const PassListEntry& entry) {
    const std::optional<std::string> stamp = FormatUtcStamp(entry.start);
    if (!stamp || !IsCleanName(entry.name) || entry.lengthSeconds < 0 || entry.longitudeDeg < 0 ||
        entry.longitudeDeg > 359) {
        return std::nullopt;
    }
    std::string line = *stamp + (entry.northbound ? " N " : " S ") +
                       std::to_string(entry.longitudeDeg) + ' ' +
                       std::to_string(entry.lengthSeconds) + ' ' + entry.name;
    if (line.size() > PassListReader::kLongestLine) {
        return std::nullopt;
    }
    return line;
}
