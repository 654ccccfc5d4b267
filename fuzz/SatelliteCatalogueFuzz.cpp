// Vantrel.ini as the user may have written it, and the satellite asked for.
// The input's first line is the name, the rest is the file.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "framework/AsciiText.h"
#include "fuzz/FuzzSupport.h"
#include "radio/SatelliteCatalogue.h"
#include "services/ActivityLog.h"
#include "services/MessageBoxPresenter.h"

namespace {

class CountedMessages final : public MessageBoxPresenter {
public:
    void ShowMessageBox(std::string_view) override { ++count; }
    int count = 0;
};

struct Outcome {
    bool loaded = false;
    std::array<std::string, CommandQueue::kSlots> queue;
    std::string loadedSatellite;
};

Outcome Load(SatelliteCatalogue& catalogue, const std::string& name) {
    Outcome outcome;
    outcome.loaded = catalogue.LoadSatellite(name);
    for (std::size_t slot = 0; slot < CommandQueue::kSlots; ++slot) {
        outcome.queue[slot] = catalogue.Queue()[slot];
    }
    outcome.loadedSatellite = catalogue.LoadedSatellite();
    return outcome;
}

bool operator==(const Outcome& a, const Outcome& b) {
    return a.loaded == b.loaded && a.queue == b.queue && a.loadedSatellite == b.loadedSatellite;
}

std::size_t QueuedCount(const Outcome& outcome) {
    const auto firstFree = std::find(outcome.queue.begin(), outcome.queue.end(), std::string());
    // No command stands after a free slot.
    FUZZ_CHECK(std::all_of(firstFree, outcome.queue.end(),
                           [](const std::string& slot) { return slot.empty(); }));
    return static_cast<std::size_t>(firstFree - outcome.queue.begin());
}

bool IsPercent(std::int32_t value) {
    return value >= 0 && value <= 100;
}

// The C runtime's reading of the number, where it has no case of its own.
// Hexadecimal forms, infinities, NaNs and values beyond double are the
// C runtime's cases that Vantrel refuses.
void CheckFrequency(const SatelliteSettings& s) {
    const std::string& text = s.m_strFrequency;
    errno = 0;
    const double value = std::strtod(text.c_str(), nullptr);
    if (errno == 0 && text.find('X') == std::string::npos && text.find("IN") == std::string::npos &&
        text.find("NA") == std::string::npos) {
        FUZZ_CHECK(s.m_dFrequencyMHz == value);
    }
}

void CheckPercent(std::int32_t converted, const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value >= INT32_MIN && value <= INT32_MAX) {
        FUZZ_CHECK(converted == value);
    }
}

// The DSP level counts from its first digit: "NR50" is 50.
long DspLevelPercent(const std::string& text) {
    const std::size_t digit = text.find_first_of("0123456789");
    return digit == std::string::npos ? 0 : std::strtol(text.c_str() + digit, nullptr, 10);
}

std::string ByteCommand(const char* prefix, int byte, bool upperCase) {
    char text[16];
    std::snprintf(text, sizeof text, upperCase ? "%s%02X\r\n" : "%s%02x\r\n", prefix, byte);
    return text;
}

int PercentByte(std::int32_t percent) {
    return static_cast<int>(percent * 255.0 / 100.0);
}

void CheckTuneCommand(const std::string& command, const SatelliteSettings& s) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "K0%010lld %02d%02d00\r\n",
                  static_cast<long long>(s.m_dFrequencyMHz * 1000000.0), s.m_nModeCode,
                  s.m_nFilterCode);
    FUZZ_CHECK(command == expected);
    FUZZ_CHECK(command.size() == 21);
}

void CheckLoaded(const Outcome& outcome, const SatelliteSettings& s, const std::string& name) {
    FUZZ_CHECK(outcome.loadedSatellite == name);
    constexpr std::string_view kModes[] = {"LSB", "USB", "AM", "CW", "", "FM", "WFM"};
    FUZZ_CHECK(s.m_nModeCode >= 0 && s.m_nModeCode <= 6);
    FUZZ_CHECK(s.m_strMode == kModes[s.m_nModeCode] ||
               (s.m_strMode == "WBFM" && s.m_nModeCode == 6));
    constexpr std::string_view kFilters[] = {"3", "6", "15", "50", "230"};
    FUZZ_CHECK(s.m_nFilterCode >= 0 && s.m_nFilterCode <= 4);
    FUZZ_CHECK(s.m_strFilter == kFilters[s.m_nFilterCode] ||
               (s.m_strFilter == "2.8" && s.m_nFilterCode == 0));
    FUZZ_CHECK(s.m_dFrequencyMHz >= 0.4 && s.m_dFrequencyMHz <= 1300.0);
    FUZZ_CHECK(IsPercent(s.m_nVolume) && IsPercent(s.m_nSquelch));

    const std::size_t count = QueuedCount(outcome);
    FUZZ_CHECK(count == 3 || count == 6);
    CheckTuneCommand(outcome.queue[0], s);
    FUZZ_CHECK(outcome.queue[1] == ByteCommand("J40", PercentByte(s.m_nVolume), true));
    FUZZ_CHECK(outcome.queue[2] == ByteCommand("J41", PercentByte(s.m_nSquelch), true));
    if (count == 6) {
        FUZZ_CHECK(outcome.queue[3] == "J8001\r\n" && s.m_strDsp == "J8001\r\n");
        FUZZ_CHECK(outcome.queue[4] == "J8101\r\n" || outcome.queue[4] == "J8100\r\n");
        const long percent = DspLevelPercent(s.m_strDspLevel);
        FUZZ_CHECK(percent >= 0 && percent <= 100);
        FUZZ_CHECK(outcome.queue[5] ==
                   ByteCommand("J82", static_cast<int>(percent * 16 / 100), false));
    }
}

void CheckTexts(const SatelliteSettings& s) {
    for (const std::string* text : {&s.m_strFrequency, &s.m_strMode, &s.m_strFilter, &s.m_strVolume,
                                    &s.m_strSquelch, &s.m_strDspLevel}) {
        FUZZ_CHECK(text->find(' ') == std::string::npos);
        FUZZ_CHECK(
            std::none_of(text->begin(), text->end(), [](char c) { return c >= 'a' && c <= 'z'; }));
    }
    for (const std::string* text :
         {&s.m_strFrequency, &s.m_strMode, &s.m_strFilter, &s.m_strVolume, &s.m_strSquelch}) {
        FUZZ_CHECK(text->find(',') == std::string::npos);
    }
    FUZZ_CHECK(s.m_strSquelch.find('\n') == std::string::npos);
    FUZZ_CHECK(s.m_strDspLevel.find('\n') == std::string::npos);
}

// In a file of plain lines (none longer than the reader's piece, no zero
// byte) the line used is one that is no comment, holds the name and has the
// fields that were read.
void CheckLineUsed(std::string_view file, const std::string& name, const SatelliteSettings& s) {
    if (file.find('\0') != std::string_view::npos) {
        return;
    }
    // Compared without blanks, as the fields are.
    std::string blankless(name);
    RemoveAll(blankless, ' ');
    const std::string fields = "," + s.m_strFrequency + "," + s.m_strMode + "," + s.m_strFilter +
                               "," + s.m_strVolume + ",";
    bool found = false;
    while (!file.empty()) {
        const std::size_t lineEnd = file.find('\n');
        const std::size_t end = lineEnd == std::string_view::npos ? file.size() : lineEnd + 1;
        if (end > 99) {
            return;
        }
        std::string line(file.substr(0, end));
        file.remove_prefix(end);
        AsciiUpperCase(line);
        RemoveAll(line, ' ');
        found = found || (!line.starts_with('#') && line.find(blankless) != std::string::npos &&
                          line.find(fields) != std::string::npos);
    }
    FUZZ_CHECK(found);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = InputText(data, size);
    const std::size_t nameEnd = std::min(input.find('\n'), input.size());
    const std::string name(input.substr(0, nameEnd));
    const std::string_view file = input.substr(std::min(nameEnd + 1, input.size()));

    LogLines lines;
    ActivityLog log(lines);
    CountedMessages messages;
    SatelliteCatalogue catalogue(log, messages,
                                 ScratchFolder().Write("Vantrel.ini", file).string());
    const Outcome first = Load(catalogue, name);
    FUZZ_CHECK(messages.count == 0);
    const SatelliteSettings& settings = catalogue.Settings();

    const bool wrote = std::find(lines.NewestFirst().begin(), lines.NewestFirst().end(),
                                 "Writing Radio Commands") != lines.NewestFirst().end();
    FUZZ_CHECK(wrote == first.loaded);
    if (first.loaded) {
        FUZZ_CHECK(lines.NewestFirst().front() == "Writing Radio Commands");
        CheckLoaded(first, settings, name);
        CheckLineUsed(file, name, settings);
    } else {
        FUZZ_CHECK(QueuedCount(first) == 0);
    }
    if (!lines.NewestFirst().empty()) {
        FUZZ_CHECK(lines.NewestFirst().back() ==
                   "Found Sat <" + name.substr(0, name.find('\0')) + ">");
        CheckTexts(settings);
        CheckFrequency(settings);
        CheckPercent(settings.m_nVolume, settings.m_strVolume);
        CheckPercent(settings.m_nSquelch, settings.m_strSquelch);
    }

    // Nothing is kept between calls: the same file gives the same answer.
    const Outcome second = Load(catalogue, name);
    FUZZ_CHECK(second == first);
    return 0;
}
