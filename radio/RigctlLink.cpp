#include "radio/RigctlLink.h"

#include "framework/NumberText.h"
#include "network/HostPort.h"
#include "radio/CommandEncoding.h"

namespace {

std::optional<RigctlTuning> TuningOf(const SatelliteSettings& settings) {
    const std::optional<std::string_view> mode = HamlibModeName(settings.m_strMode);
    const std::optional<std::int32_t> passband = FilterWidthHz(settings.m_strFilter);
    if (!mode || !passband) {
        return std::nullopt;
    }
    return RigctlTuning{FrequencyHz(settings.m_dFrequencyMHz),
                        {std::string(*mode), *passband},
                        settings.m_nVolume / 100.0,
                        settings.m_nSquelch / 100.0};
}

}  // namespace

RigctlLink::RigctlLink(ActivityLog& log, Clock clock, RigctlLimits limits)
    : m_log(log), m_clock(std::move(clock)), m_limits(limits) {}

void RigctlLink::SetTarget(RigctlTarget target) {
    m_target = std::move(target);
}

bool RigctlLink::StartUp() {
    m_client.Close();
    m_current.reset();
    m_passUnderWay = false;
    m_lost = false;
    m_saidDspLeftOut = false;
    try {
        m_client.StartConnect(ResolveHostPort(m_target.address));
        m_client.AwaitConnect(m_limits.connect);
        Greet();
    } catch (const NetworkError& error) {
        m_client.Close();
        throw ReceiverUnreachable("The receiver at " + m_target.address +
                                  " cannot be reached: " + error.what());
    }
    if (!Server().levels) {
        m_log.LogMessage(ReportVerbose,
                         "Volume and squelch are left to " + std::string(Server().title));
    }
    return true;
}

void RigctlLink::Greet() {
    if (m_session.CheckVfo().vfoMode) {
        throw NetworkError(NetworkFault::Unreachable, std::string(kVfoModeUnusable));
    }
    m_log.LogMessage(ReportVerbose, "Radio Talking");
    m_powerControl = Server().power && SwitchOn();
    if (!Server().power) {
        m_log.LogMessage(ReportVerbose, "Radio ON - all Ok");
    }
}

bool RigctlLink::SwitchOn() {
    bool on = false;
    try {
        on = m_session.PowerIsOnSilenceOff(m_limits.connect);
    } catch (const NetworkError& error) {
        if (error.Fault() != NetworkFault::Rejected) {
            throw;
        }
        // A radio without power control is on while it answers.
        m_log.LogMessage(ReportVerbose, "Radio ON - all Ok");
        return false;
    }
    m_log.LogMessage(ReportVerbose, on ? "Radio ON - all Ok" : "Radio OFF");
    Refusable([this] { m_session.SetPower(true); });
    return true;
}

void RigctlLink::OnCheck() {
    if (m_client.IsConnected()) {
        try {
            m_client.CheckQuiet();
        } catch (const NetworkError& error) {
            Lose(error);
        }
    } else if (m_lost) {
        Reconnect();
    }
}

bool RigctlLink::SendRetune(TuningExchange& exchange) {
    bool withDsp = false;
    for (std::string command; exchange.NextRadioCommand(command);) {
        withDsp = withDsp || command == kDspUnitOnCommand;
    }
    if (withDsp && !m_saidDspLeftOut) {
        m_log.LogMessage(ReportVerbose, "DSP settings are for the PCR-1000 only: left out");
        m_saidDspLeftOut = true;
    }
    m_current = TuningOf(exchange.Tuned().settings);
    return m_current && m_client.IsConnected() && Tune(*m_current);
}

void RigctlLink::PassBegins() {
    m_passUnderWay = true;
    SwitchRecorder(true);
}

void RigctlLink::PassEnds() {
    m_passUnderWay = false;
    SwitchRecorder(false);
}

void RigctlLink::ShutDown() {
    m_current.reset();
    m_passUnderWay = false;
    m_lost = false;
    if (m_client.IsConnected()) {
        try {
            if (m_powerControl) {
                Refusable([this] { m_session.SetPower(false); });
            }
            m_session.Quit();
        } catch (const NetworkError&) {
            // It is being left anyway.
        }
    }
    m_client.Close();
}

void RigctlLink::CloseDown() noexcept {
    try {
        if (m_client.IsConnected()) {
            m_session.Quit();
        }
    } catch (const std::exception&) {
        // Vantrel is ending: nothing is left to tell.
    }
    m_client.Close();
}

bool RigctlLink::Tune(const RigctlTuning& tuning) {
    try {
        bool whole = Settle(
            "Hz", DecimalText(tuning.hertz), [&] { m_session.SetFrequency(tuning.hertz); },
            [&] {
                const std::int64_t kept = m_session.Frequency();
                return ReadBack{kept == tuning.hertz, DecimalText(kept)};
            });
        whole = Settle(
                    "mode", RigctlModeText(tuning.mode), [&] { m_session.SetMode(tuning.mode); },
                    [&] {
                        const RigctlMode kept = m_session.Mode();
                        return ReadBack{kept == tuning.mode, RigctlModeText(kept)};
                    }) &&
                whole;
        if (Server().levels) {
            whole = SettleLevel("AF", "volume", tuning.volume) && whole;
            whole = SettleLevel("SQL", "squelch", tuning.squelch) && whole;
        }
        return whole;
    } catch (const NetworkError& error) {
        Lose(error);
        return false;
    }
}

bool RigctlLink::SettleLevel(std::string_view level, std::string_view what, double asked) {
    return Settle(
        what, DecimalText(asked), [&] { m_session.SetLevel(level, asked); },
        [&] {
            const double kept = m_session.Level(level);
            return ReadBack{LevelKept(kept, asked), DecimalText(kept)};
        });
}

bool RigctlLink::Settle(std::string_view what, const std::string& asked,
                        const std::function<void()>& set,
                        const std::function<ReadBack()>& readBack) {
    const bool taken = Refusable(set);
    ReadBack back;
    const bool read = Refusable([&] { back = readBack(); });
    if (read && !back.same) {
        m_log.LogMessage(ReportVerbose, "Receiver kept <" + back.kept + "> " + std::string(what) +
                                            ", asked <" + asked + ">");
    }
    return taken && read && back.same;
}

bool RigctlLink::Refusable(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const NetworkError& error) {
        if (error.LosesConnection()) {
            throw;
        }
        m_log.LogMessage(ReportVerbose, std::string("Receiver refused ") + error.what());
        return false;
    }
}

void RigctlLink::SwitchRecorder(bool on) {
    if (!Server().recorder || !m_client.IsConnected()) {
        return;
    }
    try {
        Refusable([&] { on ? m_session.StartRecorder() : m_session.StopRecorder(); });
    } catch (const NetworkError& error) {
        Lose(error);
    }
}

void RigctlLink::Lose(const NetworkError& error) {
    m_client.Close();
    m_lost = true;
    m_lastAttempt = m_clock();
    m_log.LogMessage(ReportVerbose, "Receiver at " + m_target.address + " lost (" + error.what() +
                                        "): trying again every " +
                                        DecimalText(std::int64_t{m_limits.retrySeconds}) + " s");
}

void RigctlLink::Reconnect() {
    try {
        // A connection not made by the check after the one that started it
        // is given up, and a new one started when due.
        if (m_client.IsConnecting() && !m_client.ContinueConnect()) {
            m_client.Close();
        }
        if (!m_client.IsConnected()) {
            if (!RetryDue()) {
                return;
            }
            m_lastAttempt = m_clock();
            m_client.Restart();
            if (!m_client.ContinueConnect()) {
                return;
            }
        }
        Greet();
    } catch (const NetworkError&) {
        // Still away, as the log already says.
        m_client.Close();
        return;
    }
    m_lost = false;
    m_log.LogMessage(ReportVerbose, "Receiver at " + m_target.address + " back");
    if (m_current) {
        Tune(*m_current);
    }
    if (m_passUnderWay) {
        SwitchRecorder(true);
    }
}

bool RigctlLink::RetryDue() const {
    const std::time_t now = m_clock();
    // A clock set back must not hold the attempts off until it catches up.
    return now - m_lastAttempt >= m_limits.retrySeconds || now < m_lastAttempt;
}
