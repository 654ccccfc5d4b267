#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "radio/CommandQueue.h"
#include "radio/SatelliteSettings.h"
#include "services/ActivityLog.h"
#include "services/MessageBoxPresenter.h"

// A line of Vantrel.ini that the catalogue passes over.
bool IsCatalogueComment(std::string_view line);

// How a satellite's line is found: a line of Vantrel.ini that is no comment
// and, upper-cased, holds `name` as given anywhere in it.
bool CatalogueLineNames(std::string_view line, std::string_view name);

// Finds a satellite's line in Vantrel.ini, checks its values and queues the
// receiver commands that tune to it. The file is read afresh on every call,
// so the user's edits apply at the next satellite change.
class SatelliteCatalogue {
public:
    static constexpr const char* kFileName = "Vantrel.ini";

    SatelliteCatalogue(ActivityLog& log, MessageBoxPresenter& messages,
                       std::string path = kFileName);

    // True when a valid line for `name` was found and its commands stand in
    // the queue. `name` is matched as given, inside the upper-cased line.
    bool LoadSatellite(const std::string& name);

    const SatelliteSettings& Settings() const { return m_settings; }
    const std::string& LoadedSatellite() const { return m_strLoadedSat; }
    CommandQueue& Queue() { return m_commandQueue; }
    const CommandQueue& Queue() const { return m_commandQueue; }

private:
    struct DspCommands {
        std::string_view function;
        std::int32_t levelByte;
    };

    // Cuts the upper-cased line into the settings' texts; false when it has
    // fewer than five commas.
    bool ReadFields(const std::string& line);
    // Converts and checks the values, logging each bad one; false when the
    // line cannot be used.
    bool ValidateSettings();
    // The DSP commands the line asks for, if any and if valid.
    std::optional<DspCommands> ValidateDsp();
    void QueueCommands(const std::optional<DspCommands>& dsp);

    ActivityLog& m_log;
    MessageBoxPresenter& m_messages;
    std::string m_path;
    SatelliteSettings m_settings;
    CommandQueue m_commandQueue;
    std::string m_strLoadedSat;
};
