#include "radio/CommandEncoding.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "framework/AsciiText.h"
#include "framework/StringFormat.h"

namespace {

// A mode keyword of Vantrel.ini: the PCR-1000's code, and the name rigctl
// servers give the same mode.
struct ModeKeyword {
    std::string_view keyword;
    std::int32_t code;
    std::string_view hamlibName;
};

constexpr std::array<ModeKeyword, 7> kModes{{
    {"LSB", 0, "LSB"},
    {"USB", 1, "USB"},
    {"AM", 2, "AM"},
    {"CW", 3, "CW"},
    {"FM", 5, "FM"},
    {"WFM", 6, "WFM"},
    {"WBFM", 6, "WFM"},
}};

// A filter keyword: the PCR-1000's code and the width it stands for.
struct FilterKeyword {
    std::string_view keyword;
    std::int32_t code;
    std::int32_t hertz;
};

constexpr std::array<FilterKeyword, 6> kFilters{{
    {"3", 0, 3000},
    {"2.8", 0, 2800},
    {"6", 1, 6000},
    {"15", 2, 15000},
    {"50", 3, 50000},
    {"230", 4, 230000},
}};

// The `field` of the row of `table` for `key`; nullopt when there is none.
template <typename Row, std::size_t N, typename Field>
auto Lookup(const std::array<Row, N>& table, std::string_view key, Field Row::*field)
    -> std::optional<Field> {
    const auto found = std::find_if(table.begin(), table.end(),
                                    [key](const Row& row) { return row.keyword == key; });
    if (found == table.end()) {
        return std::nullopt;
    }
    return (*found).*field;
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
    return Lookup(kModes, keyword, &ModeKeyword::code);
}

std::optional<std::string_view> HamlibModeName(std::string_view keyword) {
    return Lookup(kModes, keyword, &ModeKeyword::hamlibName);
}

std::optional<std::int32_t> FilterCode(std::string_view keyword) {
    return Lookup(kFilters, keyword, &FilterKeyword::code);
}

std::optional<std::int32_t> FilterWidthHz(std::string_view keyword) {
    return Lookup(kFilters, keyword, &FilterKeyword::hertz);
}

std::int64_t FrequencyHz(double frequencyMHz) {
    return std::llround(frequencyMHz * 1000000.0);
}

std::string TuneCommand(double frequencyMHz, std::int32_t modeCode, std::int32_t filterCode) {
    // Ten digits hold every frequency Vantrel.ini allows. Truncated, as the
    // PCR-1000 has always been sent it.
    const auto hertz =
        static_cast<std::int32_t>(static_cast<std::int64_t>(frequencyMHz * 1000000.0));
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
