#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "network/LineClient.h"
#include "network/NetworkError.h"
#include "network/RigctlServers.h"
#include "network/RigctlSession.h"
#include "platform/kernel/FileTime.h"
#include "platform/kernel/ReplyWait.h"
#include "radio/ReceiverLink.h"
#include "services/ActivityLog.h"

// How long a network receiver is given.
struct RigctlLimits {
    std::chrono::milliseconds connect{5000};
    // A command whose reply has not come by then counts as a lost connection.
    std::chrono::milliseconds reply{2000};
    // The least time between two attempts to reach a receiver that went away.
    std::time_t retrySeconds = 10;
};

// A satellite's settings as a rigctl server takes them.
struct RigctlTuning {
    std::int64_t hertz = 0;
    RigctlMode mode;
    // Volume and squelch as fractions from 0 to 1.
    double volume = 0.0;
    double squelch = 0.0;
};

// A receiver reached over TCP with the rigctl protocol: rigctld (any Hamlib
// radio), gqrx or SDR++. A retune sends the frequency and the mode with its
// passband, on rigctld also volume and squelch, and reads every setting
// back; AOS and LOS go to the SDR programs as passes begin and end.
//
// A receiver that goes away during a run (a program restarted, its only
// client slot taken, a command without a reply in time) does not end the
// run: the log says so once, the checks try again at most every
// `retrySeconds` without waiting for a connection, and once it is back the
// current tuning is sent again, with AOS while a pass is on.
class RigctlLink final : public ReceiverLink {
public:
    // The calendar time in whole seconds, by which the checks are timed.
    using Clock = std::function<std::time_t()>;

    // Throws std::system_error when the process has no descriptor left.
    explicit RigctlLink(ActivityLog& log, Clock clock = CurrentCalendarTime,
                        RigctlLimits limits = {});

    // Where the next start-up connects, and to what kind of server; not
    // during a run.
    void SetTarget(RigctlTarget target);
    // How replies are awaited: a window's wait keeps it painting; null
    // blocks the thread.
    void SetReplyWait(ReplyWait* wait) { m_client.SetReplyWait(wait); }

    // The kind's name: "rigctld", "gqrx" or "sdrpp".
    std::string_view Name() const override { return Server().name; }
    // Throws ReceiverUnreachable, naming the address and the reason, when
    // the server cannot be reached or does not answer as a rigctl server.
    bool StartUp() override;
    void OnCheck() override;
    // Takes the queued commands (their "Got Radio Command" lines stay) and
    // sends the tuned satellite's settings instead. False when a setting
    // was refused or not kept, or the receiver is away.
    bool SendRetune(TuningExchange& exchange) override;
    void PassBegins() override;
    void PassEnds() override;
    // Switches the receiver off where the server knows power, then "q".
    void ShutDown() override;
    void CloseDown() noexcept override;

private:
    struct ReadBack {
        bool same = false;
        std::string kept;
    };

    // "\chk_vfo" and the power: the start-up's exchange, and a return's.
    void Greet();
    // Logs the power found and switches the receiver on; false when the
    // radio has no power control.
    bool SwitchOn();
    // Sends every setting of `tuning` and reads each back; false unless
    // the receiver has them all. A lost connection is dealt with here.
    bool Tune(const RigctlTuning& tuning);
    // One setting: `set`, then `readBack`; a refusal or another value kept
    // is logged with what was asked.
    bool Settle(std::string_view what, const std::string& asked, const std::function<void()>& set,
                const std::function<ReadBack()>& readBack);
    bool SettleLevel(std::string_view level, std::string_view what, double asked);
    // Runs `command`: a refusal is logged and gives false; worse passes on.
    bool Refusable(const std::function<void()>& command);
    void SwitchRecorder(bool on);

    // The connection is gone: said once, tried again at the checks.
    void Lose(const NetworkError& error);
    // At a check: carries a new connection on, or starts one when due;
    // once made, sends the current tuning again.
    void Reconnect();
    bool RetryDue() const;
    const RigctlServer& Server() const { return RigctlServerOf(m_target.kind); }

    ActivityLog& m_log;
    const Clock m_clock;
    const RigctlLimits m_limits;
    RigctlTarget m_target;
    LineClient m_client;
    RigctlSession m_session{m_client, m_limits.reply};
    // What the receiver was last asked to be tuned to, sent again on return.
    std::optional<RigctlTuning> m_current;
    bool m_passUnderWay = false;
    bool m_powerControl = false;
    bool m_lost = false;
    std::time_t m_lastAttempt = 0;
    bool m_saidDspLeftOut = false;
};
