#include "app/hooks/HookEnvironment.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "radio/CommandEncoding.h"

namespace {

using Variable = std::pair<std::string_view, std::string>;

std::string SecondsLeft(std::time_t end, std::chrono::system_clock::time_point now) {
    const auto left =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::from_time_t(end) - now);
    return std::to_string(std::max<std::chrono::seconds::rep>(left.count(), 0));
}

bool Names(const Variable& variable, std::string_view entry) {
    return entry.size() > variable.first.size() && entry.starts_with(variable.first) &&
           entry[variable.first.size()] == '=';
}

}  // namespace

std::vector<std::string> HookEnvironment(const SentTuning& tuning,
                                         std::chrono::system_clock::time_point now,
                                         const char* const* inherited) {
    const SatelliteSettings& settings = tuning.settings;
    const std::optional<PassSpan>& pass = tuning.pass;
    const std::array<Variable, 11> ours{{
        {"VANTREL_SATELLITE", tuning.satellite},
        {"VANTREL_RECEIVER", tuning.receiver},
        {"VANTREL_FREQUENCY_MHZ", settings.m_strFrequency},
        {"VANTREL_FREQUENCY_HZ", std::to_string(FrequencyHz(settings.m_dFrequencyMHz))},
        {"VANTREL_MODE", settings.m_strMode},
        {"VANTREL_FILTER_KHZ", settings.m_strFilter},
        {"VANTREL_VOLUME", settings.m_strVolume},
        {"VANTREL_SQUELCH", settings.m_strSquelch},
        {"VANTREL_PASS_START", pass ? std::to_string(pass->start) : ""},
        {"VANTREL_PASS_END", pass ? std::to_string(pass->end) : ""},
        {"VANTREL_PASS_SECONDS", pass ? SecondsLeft(pass->end, now) : ""},
    }};
    std::vector<std::string> environment;
    for (const char* const* entry = inherited; *entry != nullptr; ++entry) {
        if (std::none_of(ours.begin(), ours.end(),
                         [entry](const Variable& variable) { return Names(variable, *entry); })) {
            environment.emplace_back(*entry);
        }
    }
    for (const auto& [name, value] : ours) {
        environment.push_back(std::string(name) + "=" + value);
    }
    return environment;
}
