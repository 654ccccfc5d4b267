#include "tools/pcr1000-sim/ReceiverModel.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "framework/StringFormat.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kOk = "G000";
constexpr std::string_view kRejected = "G001";
constexpr std::uint32_t kLowestHz = 10'000;
constexpr std::uint32_t kHighestHz = 1'300'000'000;
constexpr std::size_t kFrequencyDigits = 10;
constexpr int kHighestNoiseReductionLevel = 0x10;

constexpr std::array<std::string_view, 7> kModeNames{"LSB", "USB", "AM", "CW", "", "NFM", "WFM"};
constexpr std::array<std::string_view, 5> kFilterNames{"3 kHz", "6 kHz", "15 kHz", "50 kHz",
                                                       "230 kHz"};

std::string Answer(std::string_view text) {
    return std::string(text) + std::string(kLineEnd);
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The value of exactly two hexadecimal digits. Read as unsigned, since a
// signed read takes "-1" for two digits.
std::optional<int> HexByte(std::string_view text) {
    unsigned value = 0;
    if (text.size() != 2 ||
        std::from_chars(text.data(), text.data() + 2, value, 16).ptr != text.data() + 2) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// "0" and a digit that indexes `names` where a name is given.
template <std::size_t N>
std::optional<int> CodeDigit(std::string_view text, const std::array<std::string_view, N>& names) {
    if (text.size() != 2 || text[0] != '0' || text[1] < '0') {
        return std::nullopt;
    }
    const auto code = static_cast<std::size_t>(text[1] - '0');
    if (code >= N || names[code].empty()) {
        return std::nullopt;
    }
    return static_cast<int>(code);
}

template <class Value>
void Change(Value& held, Value wanted, std::vector<std::string>& changes, std::string line) {
    if (held != wanted) {
        held = wanted;
        changes.push_back(std::move(line));
    }
}

const char* OnOff(bool on) {
    return on ? "on" : "off";
}

}  // namespace

ReceiverResponse ReceiverModel::Handle(std::string_view command) {
    ReceiverResponse response;
    if (command == "H1?") {
        response.answer = Answer(m_state.poweredOn ? "H101" : "H100");
    } else if (command == "H101" || command == "H100") {
        const bool on = command == "H101";
        Change(m_state.poweredOn, on, response.changes, StringPrintf("Power %s", OnOff(on)));
        response.answer = Answer(kOk);
    } else if (m_state.poweredOn) {
        const bool accepted = command.starts_with("K0") ? HandleTune(command, response.changes)
                                                        : HandleSetting(command, response.changes);
        response.answer = Answer(accepted ? kOk : kRejected);
    }
    return response;
}

bool ReceiverModel::HandleTune(std::string_view command, std::vector<std::string>& changes) {
    // "K0", ten digits of Hz, "0" mode, "0" filter, "00"; Vantrel puts one
    // space between the frequency and the mode.
    std::string_view rest = command.substr(2);
    const std::string_view digits = rest.substr(0, kFrequencyDigits);
    if (digits.size() != kFrequencyDigits || !AllDigits(digits)) {
        return false;
    }
    rest.remove_prefix(kFrequencyDigits);
    const bool spaced = rest.starts_with(' ');
    if (spaced) {
        rest.remove_prefix(1);
    }
    if (rest.size() != 6 || rest.substr(4) != "00") {
        return false;
    }
    std::uint64_t hertz = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), hertz);
    const std::optional<int> mode = CodeDigit(rest.substr(0, 2), kModeNames);
    const std::optional<int> filter = CodeDigit(rest.substr(2, 2), kFilterNames);
    if (!mode || !filter || hertz < kLowestHz || hertz > kHighestHz) {
        return false;
    }
    const bool changed =
        m_state.frequencyHz != hertz || m_state.mode != *mode || m_state.filter != *filter;
    m_state.frequencyHz = static_cast<std::uint32_t>(hertz);
    m_state.mode = *mode;
    m_state.filter = *filter;
    if (changed || spaced) {
        changes.push_back(StringPrintf(
            "Tuned %u.%06u MHz %s %s%s", m_state.frequencyHz / 1'000'000,
            m_state.frequencyHz % 1'000'000, kModeNames[static_cast<std::size_t>(*mode)].data(),
            kFilterNames[static_cast<std::size_t>(*filter)].data(),
            spaced ? " (unusual spacing: a space before the mode digits)" : ""));
    }
    return true;
}

bool ReceiverModel::HandleSetting(std::string_view command, std::vector<std::string>& changes) {
    if (command.size() != 5 || command[0] != 'J') {
        return false;
    }
    const std::optional<int> value = HexByte(command.substr(3));
    if (!value) {
        return false;
    }
    const std::string_view setting = command.substr(1, 2);
    const bool switchValue = *value <= 1;
    if (setting == "40") {
        Change(m_state.volume, *value, changes, StringPrintf("Volume %d of 255", *value));
    } else if (setting == "41") {
        Change(m_state.squelch, *value, changes, StringPrintf("Squelch %d of 255", *value));
    } else if (setting == "80" && switchValue) {
        Change(m_state.dspUnit, *value == 1, changes,
               StringPrintf("DSP unit %s", OnOff(*value == 1)));
    } else if (setting == "81" && switchValue) {
        Change(m_state.noiseReduction, *value == 1, changes,
               StringPrintf("DSP noise reduction %s", OnOff(*value == 1)));
    } else if (setting == "82" && *value <= kHighestNoiseReductionLevel) {
        Change(m_state.noiseReductionLevel, *value, changes,
               StringPrintf("DSP noise reduction level %d", *value));
    } else {
        return false;
    }
    return true;
}
