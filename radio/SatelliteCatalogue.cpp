#include "radio/SatelliteCatalogue.h"

#include <array>
#include <utility>

#include "framework/AsciiText.h"
#include "framework/LeadingNumber.h"
#include "framework/StringFormat.h"
#include "framework/TextFileReader.h"
#include "radio/CommandEncoding.h"

namespace {

// Name, frequency, mode, filter, volume, squelch, then DSP and DSP level.
constexpr std::size_t kRequiredCommas = 5;
constexpr std::size_t kMostCommas = 7;

bool IsPercent(const std::optional<std::int32_t>& value) {
    return value && *value >= 0 && *value <= kHighestPercent;
}

}  // namespace

bool IsCatalogueComment(std::string_view line) {
    return line.starts_with('#');
}

bool CatalogueLineNames(std::string_view line, std::string_view name) {
    if (IsCatalogueComment(line)) {
        return false;
    }
    std::string upper(line);
    AsciiUpperCase(upper);
    return upper.find(name) != std::string::npos;
}

SatelliteCatalogue::SatelliteCatalogue(ActivityLog& log, MessageBoxPresenter& messages,
                                       std::string path)
    : m_log(log), m_messages(messages), m_path(std::move(path)) {}

bool SatelliteCatalogue::LoadSatellite(const std::string& name) {
    TextFileReader file(m_path.c_str());
    if (!file.IsOpen()) {
        m_messages.ShowMessageBox("Could not Open file Vantrel.ini");
        return false;
    }
    m_commandQueue.Clear();

    std::string line;
    while (file.ReadLine(line)) {
        if (!CatalogueLineNames(line, name)) {
            continue;
        }
        AsciiUpperCase(line);
        m_log.LogMessage(ReportVerbose, StringPrintf("Found Sat <%s>", name.c_str()));
        m_strLoadedSat = name;
        if (!ReadFields(line)) {
            continue;
        }
        // Every check runs, so one line can report several faults.
        const bool valid = ValidateSettings();
        const std::optional<DspCommands> dsp = ValidateDsp();
        if (!valid) {
            continue;
        }
        m_log.LogMessage(ReportTuningOnly, "Writing Radio Commands");
        QueueCommands(dsp);
        return true;
    }
    return false;
}

bool SatelliteCatalogue::ReadFields(const std::string& line) {
    std::array<std::size_t, kMostCommas> comma{};
    std::size_t commas = 0;
    for (std::size_t at = line.find(','); at != std::string::npos && commas < kMostCommas;
         at = line.find(',', at + 1)) {
        comma[commas++] = at;
    }
    if (commas < kRequiredCommas) {
        return false;
    }
    const auto between = [&](std::size_t first, std::size_t second) {
        return line.substr(comma[first] + 1, comma[second] - comma[first] - 1);
    };
    const auto after = [&](std::size_t last) { return line.substr(comma[last] + 1); };

    SatelliteSettings& s = m_settings;
    s.m_strFrequency = between(0, 1);
    s.m_strMode = between(1, 2);
    s.m_strFilter = between(2, 3);
    s.m_strVolume = between(3, 4);
    s.m_strSquelch = commas == kRequiredCommas ? after(4) : between(4, 5);
    // DSP settings count only as a pair.
    const bool hasDsp = commas == kMostCommas;
    s.m_strDsp = hasDsp ? between(5, 6) : std::string();
    s.m_strDspLevel = hasDsp ? after(6) : std::string();

    for (std::string* field : {&s.m_strFrequency, &s.m_strMode, &s.m_strFilter, &s.m_strVolume,
                               &s.m_strSquelch, &s.m_strDsp, &s.m_strDspLevel}) {
        RemoveAll(*field, ' ');
    }
    for (std::string* lastField : {&s.m_strSquelch, &s.m_strDsp, &s.m_strDspLevel}) {
        RemoveAll(*lastField, '\n');
    }
    return true;
}

bool SatelliteCatalogue::ValidateSettings() {
    SatelliteSettings& s = m_settings;
    bool valid = true;
    const auto reject = [&](std::string message) {
        m_log.LogMessage(ReportVerbose, message);
        valid = false;
    };

    if (const auto mode = ModeCode(s.m_strMode)) {
        s.m_nModeCode = *mode;
    } else {
        reject(StringPrintf("Bad Mode Parameter <%s>", s.m_strMode.c_str()));
    }
    if (const auto filter = FilterCode(s.m_strFilter)) {
        s.m_nFilterCode = *filter;
    } else {
        reject(StringPrintf("Bad BandW Parameter <%s>", s.m_strFilter.c_str()));
    }

    // A text that reads as no finite number is as bad as one out of range.
    const std::optional<double> frequency = LeadingDecimal(s.m_strFrequency);
    s.m_dFrequencyMHz = frequency.value_or(0.0);
    if (!frequency || *frequency < kLowestFrequencyMHz || *frequency > kHighestFrequencyMHz) {
        reject(StringPrintf("Bad Frequency Parameter <%s>", s.m_strFrequency.c_str()));
    }

    const std::optional<std::int32_t> volume = LeadingInt32(s.m_strVolume);
    s.m_nVolume = volume.value_or(0);
    if (!IsPercent(volume)) {
        reject(StringPrintf("Bad Volume Parameter <%s>", s.m_strVolume.c_str()));
    }
    const std::optional<std::int32_t> squelch = LeadingInt32(s.m_strSquelch);
    s.m_nSquelch = squelch.value_or(0);
    if (!IsPercent(squelch)) {
        reject(StringPrintf("Bad Squelch Parameter <%s>", s.m_strSquelch.c_str()));
    }
    return valid;
}

std::optional<SatelliteCatalogue::DspCommands> SatelliteCatalogue::ValidateDsp() {
    SatelliteSettings& s = m_settings;
    if (s.m_strDsp.empty()) {
        return std::nullopt;
    }
    std::string_view function;
    if (s.m_strDsp == "DSPON") {
        function = kDspFunctionOnCommand;
    } else if (s.m_strDsp == "DSPOFF") {
        function = kDspFunctionOffCommand;
    } else {
        m_log.LogMessage(ReportVerbose,
                         StringPrintf("DSP Command Unknown <%s>", s.m_strDsp.c_str()));
        return std::nullopt;
    }
    s.m_strDsp = kDspUnitOnCommand;

    // Whatever stands before the first digit is skipped: "NR50" means 50.
    std::int32_t level = 0;
    if (const auto digit = s.m_strDspLevel.find_first_of("0123456789");
        digit != std::string::npos) {
        const std::optional<std::int32_t> value =
            LeadingInt32(std::string_view(s.m_strDspLevel).substr(digit));
        if (!value || *value > kHighestPercent) {
            return std::nullopt;
        }
        level = *value;
    }
    return DspCommands{function, level * 16 / kHighestPercent};
}

void SatelliteCatalogue::QueueCommands(const std::optional<DspCommands>& dsp) {
    const SatelliteSettings& s = m_settings;
    m_commandQueue.QueueRadioCommand(
        TuneCommand(s.m_dFrequencyMHz, s.m_nModeCode, s.m_nFilterCode));
    m_commandQueue.QueueRadioCommand(VolumeCommand(s.m_nVolume));
    m_commandQueue.QueueRadioCommand(SquelchCommand(s.m_nSquelch));
    if (dsp) {
        m_commandQueue.QueueRadioCommand(s.m_strDsp);
        m_commandQueue.QueueRadioCommand(dsp->function);
        m_commandQueue.QueueRadioCommand(DspLevelCommand(dsp->levelByte));
    }
}
