#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "platform/kernel/Event.h"
#include "radio/SatelliteCatalogue.h"
#include "services/ActivityLog.h"

// The times of a pass row, seconds since 1970 UTC.
struct PassSpan {
    std::time_t start = 0;
    std::time_t end = 0;

    bool operator==(const PassSpan&) const = default;
};

// A retune as it went out: the satellite, its settings from Vantrel.ini,
// and the pass row it was chosen for (none for "DEFAULT").
struct SentTuning {
    std::string satellite;
    SatelliteSettings settings;
    std::optional<PassSpan> pass;
};

// What lies between a retune request and the serial port: the write event
// that carries the request to the run loop, the tuning report, the queued
// commands handed out one at a time, and the satellite last tuned to.
class TuningExchange {
public:
    // The satellite name that holds the settings between passes.
    static constexpr std::string_view kDefaultSatellite = "DEFAULT";

    TuningExchange(SatelliteCatalogue& catalogue, ActivityLog& log);

    // Signalled by a retune request and reset once the queue has run dry;
    // manual reset, so it stays signalled while commands remain.
    Event& WriteEvent() { return m_hWriteEvent; }
    // `pass` is the row the loaded satellite was chosen for, if any.
    void RequestRetune(std::optional<PassSpan> pass) {
        m_loadedPass = pass;
        m_hWriteEvent.Set();
    }

    // Moves the oldest queued command into `command`; when none is left,
    // resets the write event and returns false.
    bool NextRadioCommand(std::string& command);
    // Logs the settings about to be sent, at the tuning level. The pass
    // length line is left out only when the receiver was last tuned to
    // "DEFAULT"; `passLengthText` is the pass list's last length field.
    void ReportTuning(std::string_view passLengthText);

    // The satellite the receiver was last sent commands for; empty when
    // none since the run began.
    const std::string& TunedSatellite() const { return m_strTunedSat; }
    void RecordLoadedAsTuned() {
        m_strTunedSat = m_catalogue.LoadedSatellite();
        m_tunedPass = m_loadedPass;
    }
    void ForgetTunedSatellite() {
        m_strTunedSat.clear();
        m_tunedPass.reset();
    }
    // Drops a retune not yet sent whole: its queued commands and its request.
    void DropPendingRetune() {
        m_catalogue.Queue().Clear();
        m_hWriteEvent.Reset();
    }
    // The retune last recorded as tuned. Its settings are the catalogue's,
    // so it is asked for before the next load.
    SentTuning Tuned() const { return {m_strTunedSat, m_catalogue.Settings(), m_tunedPass}; }

private:
    SatelliteCatalogue& m_catalogue;
    ActivityLog& m_log;
    Event m_hWriteEvent{EventReset::Manual, false};
    std::string m_strTunedSat;
    std::optional<PassSpan> m_loadedPass;
    std::optional<PassSpan> m_tunedPass;
};
