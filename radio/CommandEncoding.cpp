#include "radio/CommandEncoding.h"

#include <algorithm>
#include <array>
#include <utility>

#include "framework/AsciiText.h"
#include "framework/StringFormat.h"

namespace {

using Keyword = std::pair<std::string_view, std::int32_t>;

constexpr std::array<Keyword, 7> kModes{{
    {"LSB", 0},
    {"USB", 1},
    {"AM", 2},
    {"CW", 3},
    {"FM", 5},
    {"WFM", 6},
    {"WBFM", 6},
}};

constexpr std::array<Keyword, 6> kFilters{{
    {"3", 0},
    {"2.8", 0},
    {"6", 1},
    {"15", 2},
    {"50", 3},
    {"230", 4},
}};

template <std::size_t N>
std::optional<std::int32_t> Lookup(const std::array<Keyword, N>& table, std::string_view key) {
    const auto found = std::find_if(table.begin(), table.end(),
                                    [key](const Keyword& entry) { return entry.first == key; });
    if (found == table.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::int32_t PercentToByte(std::int32_t percent) {
    return static_cast<std::int32_t>(percent * 255.0 / 100.0);
}

std::string UpperCased(std::string text) {
    AsciiUpperCase(text);
    return text;
}

}  // namespace

std::optional<std::int32_t> ModeCode(std::string_view keyword) {
    return Lookup(kModes, keyword);
}

std::optional<std::int32_t> FilterCode(std::string_view keyword) {
    return Lookup(kFilters, keyword);
}

std::string TuneCommand(double frequencyMHz, std::int32_t modeCode, std::int32_t filterCode) {
    const auto hertz = static_cast<std::int32_t>(frequencyMHz * 1000000.0);
    return StringPrintf("K0%10.10d %2.2d%2.2d00\r\n", hertz, modeCode, filterCode);
}

std::string VolumeCommand(std::int32_t percent) {
    return UpperCased(StringPrintf("J40%2.2x\r\n", static_cast<unsigned>(PercentToByte(percent))));
}

std::string SquelchCommand(std::int32_t percent) {
    return UpperCased(StringPrintf("J41%2.2x\r\n", static_cast<unsigned>(PercentToByte(percent))));
}

std::string DspLevelCommand(std::int32_t levelByte) {
    return StringPrintf("J82%2.2x\r\n", static_cast<unsigned>(levelByte));
}
