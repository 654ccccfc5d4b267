#include "tools/vantrel-check/ReceiverCheck.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "framework/NumberText.h"
#include "network/HostPort.h"
#include "network/LineClient.h"
#include "network/NetworkError.h"
#include "network/RigctlSession.h"
#include "radio/RigctlLink.h"

namespace {

// The limits a run gives the receiver.
constexpr RigctlLimits kRunLimits{};

// Runs `command`: nullopt when it worked, the reason when the receiver
// refused it. Throws when the connection is lost.
std::optional<std::string> Refusal(const std::function<void()>& command) {
    try {
        command();
        return std::nullopt;
    } catch (const NetworkError& error) {
        if (error.LosesConnection()) {
            throw;
        }
        return error.what();
    }
}

// One setting to try: how it is read and written, a value unlike the one
// the receiver holds, and how values compare and show.
template <typename Value>
struct Setting {
    std::string_view what;
    std::function<Value()> read;
    std::function<void(const Value&)> write;
    std::function<Value(const Value& held)> unlike;
    std::function<bool(const Value&, const Value&)> same;
    std::function<std::string(const Value&)> shown;
};

// A connection as a run makes it, and what is learnt through it.
class ReceiverProbe {
public:
    ReceiverProbe(const RigctlTarget& target, std::ostream& out) : m_target(target), m_out(out) {}

    // Connects; throws NetworkError.
    void Connect() {
        m_client.StartConnect(ResolveHostPort(m_target.address));
        m_client.AwaitConnect(kRunLimits.connect);
    }
    void Quit() {
        m_session.Quit();
        m_client.Close();
    }

    RigctlSession& Session() { return m_session; }
    std::ostream& Out() { return m_out; }

    // Writes one line of findings; true when it works.
    bool Say(std::string_view what, const std::string& finding) {
        m_out << what << ": " << finding << '\n';
        return finding == "works";
    }

    // Tries `setting`: reads what the receiver holds, sets another value,
    // reads it back and puts the first one back. Throws when the
    // connection is lost.
    template <typename Value>
    bool Try(const Setting<Value>& setting) {
        std::optional<Value> held;
        std::string finding;
        const std::optional<std::string> refused = Refusal([&] {
            held = setting.read();
            const Value asked = setting.unlike(*held);
            setting.write(asked);
            const Value kept = setting.read();
            setting.write(*held);
            finding = setting.same(kept, asked) ? "works"
                                                : "kept <" + setting.shown(kept) + ">, asked <" +
                                                      setting.shown(asked) + ">";
        });
        if (!refused) {
            return Say(setting.what, finding);
        }
        if (held) {
            Refusal([&] { setting.write(*held); });
        }
        return Say(setting.what, "refused, " + *refused);
    }

private:
    const RigctlTarget& m_target;
    std::ostream& m_out;
    LineClient m_client;
    RigctlSession m_session{m_client, kRunLimits.reply};
};

// What power control the receiver has.
struct PowerFindings {
    bool wasOn = true;
    // The run's switch-on was taken, so the receiver is to be switched off.
    bool switchedOn = false;
    // Refused with a positive code, as the SDR programs refuse.
    bool refusedAsSdr = false;
    std::string finding;
};

// Switches the receiver on, as a run does, and reads it back.
PowerFindings CheckPower(ReceiverProbe& probe) {
    PowerFindings power;
    RigctlSession& session = probe.Session();
    try {
        power.wasOn = session.PowerIsOnSilenceOff(kRunLimits.connect);
    } catch (const NetworkError& error) {
        if (error.Fault() != NetworkFault::Rejected) {
            throw;
        }
        power.refusedAsSdr = error.ReplyCode() > 0;
        power.finding = std::string("none, ") + error.what();
        return power;
    }
    const std::optional<std::string> refused = Refusal([&] {
        session.SetPower(true);
        power.switchedOn = true;
        power.finding = session.PowerIsOn() ? "works" : "kept <off>, asked <on>";
    });
    if (refused) {
        power.finding = "refused, " + *refused;
    }
    return power;
}

Setting<double> LevelSetting(RigctlSession& session, std::string_view what,
                             std::string_view level) {
    return {what,
            [&session, level] { return session.Level(level); },
            [&session, level](double value) { session.SetLevel(level, value); },
            [](double held) { return held >= 0.5 ? 0.25 : 0.75; },
            LevelKept,
            [](double value) { return DecimalText(value); }};
}

bool CheckRecorder(ReceiverProbe& probe) {
    const std::optional<std::string> refused = Refusal([&probe] {
        probe.Session().StartRecorder();
        probe.Session().StopRecorder();
    });
    return probe.Say("AOS/LOS", refused ? "refused, " + *refused : "works");
}

// Tries everything, tells what answers, and gives what a run would miss.
std::vector<std::string> Examine(ReceiverProbe& probe, const RigctlServer& asked) {
    RigctlSession& session = probe.Session();
    const VfoCheck vfo = session.CheckVfo();
    if (vfo.vfoMode) {
        return {std::string(kVfoModeUnusable)};
    }
    const PowerFindings power = CheckPower(probe);
    const RigctlServerKind looks = vfo.tagged           ? RigctlServerKind::Sdrpp
                                   : power.refusedAsSdr ? RigctlServerKind::Gqrx
                                                        : RigctlServerKind::Rigctld;
    probe.Out() << "It looks like " << RigctlServerOf(looks).title << ".\n";
    probe.Say("power", power.finding);

    std::vector<std::string> missing;
    const auto need = [&missing](bool works, bool needed, std::string_view what) {
        if (!works && needed) {
            missing.push_back(std::string(what) + " does not work");
        }
    };
    need(probe.Try(Setting<std::int64_t>{"frequency", [&] { return session.Frequency(); },
                                         [&](std::int64_t hertz) { session.SetFrequency(hertz); },
                                         [](std::int64_t held) { return held + 1000; },
                                         std::equal_to<std::int64_t>(),
                                         [](std::int64_t hertz) { return DecimalText(hertz); }}),
         true, "frequency");
    need(probe.Try(Setting<RigctlMode>{
             "mode", [&] { return session.Mode(); },
             [&](const RigctlMode& mode) { session.SetMode(mode); },
             [](const RigctlMode& held) {
                 return held.name == "FM" ? RigctlMode{"AM", 6000} : RigctlMode{"FM", 15000};
             },
             std::equal_to<RigctlMode>(), RigctlModeText}),
         true, "mode");
    need(probe.Try(LevelSetting(session, "volume", "AF")), asked.levels, "volume");
    need(probe.Try(LevelSetting(session, "squelch", "SQL")), asked.levels, "squelch");
    need(CheckRecorder(probe), asked.recorder, "AOS/LOS");
    if (power.switchedOn && !power.wasOn) {
        // Refused, it stays on: nothing more can be done.
        Refusal([&session] { session.SetPower(false); });
    }
    return missing;
}

}  // namespace

int CheckReceiver(const RigctlTarget& target, std::ostream& out, std::ostream& err) {
    const RigctlServer& asked = RigctlServerOf(target.kind);
    ReceiverProbe probe(target, out);
    std::vector<std::string> missing;
    bool reached = false;
    try {
        probe.Connect();
        reached = true;
        out << "The receiver at " << target.address << " answers.\n";
        missing = Examine(probe, asked);
        probe.Quit();
    } catch (const NetworkError& error) {
        out << std::flush;
        err << "vantrel-check: " << (reached ? "Vantrel lost" : "Vantrel cannot reach")
            << " the receiver at " << target.address << ": " << error.what() << std::endl;
        return kExitFailure;
    }
    if (!missing.empty()) {
        out << std::flush;
        err << "vantrel-check: a run set for " << asked.title << " could not use it: ";
        for (std::size_t index = 0; index < missing.size(); ++index) {
            err << (index > 0 ? "; " : "") << missing[index];
        }
        err << std::endl;
        return kExitFailure;
    }
    out << "A run set for " << asked.title << " can use it.\n" << std::flush;
    return kExitSuccess;
}
