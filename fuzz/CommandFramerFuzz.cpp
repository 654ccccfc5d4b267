// The simulator's side of the serial line: bytes cut into commands and the
// simulated receiver's answer to each. The input is what Vantrel (or anyone
// holding the other end) writes.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "tools/pcr1000-sim/CommandFramer.h"
#include "tools/pcr1000-sim/ReceiverModel.h"

namespace {

std::optional<int> HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return std::nullopt;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

struct Tuning {
    std::uint64_t hertz = 0;
    int mode = 0;
    int filter = 0;
};

// A tune command the PCR-1000 takes: "K0", ten digits of Hz from 10 kHz to
// 1300 MHz, perhaps a blank, "0" and a mode digit, "0" and a filter digit, "00".
std::optional<Tuning> ValidTune(std::string_view text) {
    if (!text.starts_with("K0") || text.size() < 18) {
        return std::nullopt;
    }
    Tuning tuning;
    for (const char c : text.substr(2, 10)) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        tuning.hertz = tuning.hertz * 10 + static_cast<std::uint64_t>(c - '0');
    }
    std::string_view rest = text.substr(12);
    if (rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    constexpr std::string_view kModes = "012356";
    constexpr std::string_view kFilters = "01234";
    if (rest.size() != 6 || rest[0] != '0' || kModes.find(rest[1]) == std::string_view::npos ||
        rest[2] != '0' || kFilters.find(rest[3]) == std::string_view::npos ||
        rest.substr(4) != "00" || tuning.hertz < 10'000 || tuning.hertz > 1'300'000'000) {
        return std::nullopt;
    }
    tuning.mode = rest[1] - '0';
    tuning.filter = rest[3] - '0';
    return tuning;
}

// "J", two characters naming the setting, two hexadecimal digits.
std::optional<int> SettingValue(std::string_view text) {
    if (text.size() != 5 || text[0] != 'J') {
        return std::nullopt;
    }
    const std::optional<int> high = HexDigit(text[3]);
    const std::optional<int> low = HexDigit(text[4]);
    if (!high || !low) {
        return std::nullopt;
    }
    return *high * 16 + *low;
}

bool SameState(const ReceiverState& a, const ReceiverState& b) {
    return a.poweredOn == b.poweredOn && a.frequencyHz == b.frequencyHz && a.mode == b.mode &&
           a.filter == b.filter && a.volume == b.volume && a.squelch == b.squelch &&
           a.dspUnit == b.dspUnit && a.noiseReduction == b.noiseReduction &&
           a.noiseReductionLevel == b.noiseReductionLevel;
}

// The state a well-formed setting leads to; nullopt when the receiver must
// refuse it.
std::optional<ReceiverState> AfterSetting(ReceiverState state, std::string_view text) {
    const std::optional<int> value = SettingValue(text);
    if (!value) {
        return std::nullopt;
    }
    const std::string_view setting = text.substr(1, 2);
    if (setting == "40") {
        state.volume = *value;
    } else if (setting == "41") {
        state.squelch = *value;
    } else if (setting == "80" && *value <= 1) {
        state.dspUnit = *value == 1;
    } else if (setting == "81" && *value <= 1) {
        state.noiseReduction = *value == 1;
    } else if (setting == "82" && *value <= 0x10) {
        state.noiseReductionLevel = *value;
    } else {
        return std::nullopt;
    }
    return state;
}

void CheckCommandText(std::string_view raw) {
    const std::string_view text = CommandText(raw);
    std::string_view unpadded = raw.substr(std::min(raw.find_first_not_of('\0'), raw.size()));
    FUZZ_CHECK(unpadded.starts_with(text));
    const std::string_view lineEnd = unpadded.substr(text.size());
    FUZZ_CHECK(lineEnd == (unpadded.ends_with("\r\n") ? "\r\n"
                           : unpadded.ends_with('\n') ? "\n"
                                                      : ""));
}

void CheckAnswer(ReceiverModel& model, std::string_view text) {
    const ReceiverState before = model.State();
    const ReceiverResponse response = model.Handle(text);
    const ReceiverState& after = model.State();
    if (text == "H1?") {
        FUZZ_CHECK(response.answer == (before.poweredOn ? "H101\r\n" : "H100\r\n"));
        FUZZ_CHECK(SameState(before, after));
        return;
    }
    if (text == "H101" || text == "H100") {
        FUZZ_CHECK(response.answer == "G000\r\n");
        FUZZ_CHECK(after.poweredOn == (text == "H101"));
        return;
    }
    if (!before.poweredOn) {
        FUZZ_CHECK(!response.answer && response.changes.empty() && SameState(before, after));
        return;
    }
    std::optional<ReceiverState> expected;
    if (const std::optional<Tuning> tuning = ValidTune(text)) {
        expected = before;
        expected->frequencyHz = static_cast<std::uint32_t>(tuning->hertz);
        expected->mode = tuning->mode;
        expected->filter = tuning->filter;
    } else if (!text.starts_with("K0")) {
        expected = AfterSetting(before, text);
    }
    FUZZ_CHECK(response.answer == (expected ? "G000\r\n" : "G001\r\n"));
    FUZZ_CHECK(SameState(after, expected.value_or(before)));
    FUZZ_CHECK(response.changes.empty() || expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = InputText(data, size);

    CommandFramer whole;
    const std::vector<std::string> commands = whole.Feed(bytes);

    // The line delivers bytes in pieces of any size; the commands must not
    // depend on where a piece ends.
    const std::size_t piece = bytes.empty() ? 1 : static_cast<unsigned char>(bytes[0]) % 17 + 1;
    CommandFramer pieces;
    std::vector<std::string> pieceCommands;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        for (std::string& command : pieces.Feed(bytes.substr(at, piece))) {
            pieceCommands.push_back(std::move(command));
        }
    }
    FUZZ_CHECK(pieceCommands == commands);

    // No byte is lost or reordered: the commands are the input up to the
    // last line end or cut, and what is left waits for more.
    std::string joined;
    for (const std::string& command : commands) {
        FUZZ_CHECK(!command.empty() && command.size() <= CommandFramer::kLongestCommand);
        FUZZ_CHECK(command.back() == '\n' || command.size() == CommandFramer::kLongestCommand);
        FUZZ_CHECK(command.find('\n') == command.size() - 1 ||
                   command.find('\n') == std::string::npos);
        joined += command;
    }
    FUZZ_CHECK(bytes.starts_with(joined));
    const std::string_view waiting = bytes.substr(joined.size());
    FUZZ_CHECK(waiting.find('\n') == std::string_view::npos);
    FUZZ_CHECK(waiting.size() < CommandFramer::kLongestCommand);

    ReceiverModel model(false);
    for (const std::string& command : commands) {
        CheckCommandText(command);
        CheckAnswer(model, CommandText(command));
    }
    return 0;
}
