#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "planning/MessagePump.h"
#include "planning/PassListReader.h"
#include "planning/SatelliteSelector.h"
#include "platform/kernel/WaitableTimer.h"
#include "radio/ReceiverLink.h"
#include "radio/TuningExchange.h"
#include "services/ActivityLog.h"

// The caption of the dialog's Cancel button, which tells the run's state:
// "Turn Off Pcr" while a run waits, "Exit" after it.
class CancelButton {
public:
    virtual ~CancelButton() = default;
    virtual void SetCaption(std::string_view caption) = 0;
};

// Told of each retune once its commands have gone out, on the run's
// thread; it must return at once, as the run waits meanwhile.
class TuningListener {
public:
    virtual ~TuningListener() = default;
    virtual void OnTuningSent(const SentTuning& tuning) = 0;
};

// What a run takes from the settings when it starts.
struct RunSettings {
    std::int32_t dataMode = 1;
    std::string directory;
};

// A run: wakes the receiver, reads the pass list, then serves three
// sources until a quit request ends it: the satellite timer (a check every
// ten seconds), the write event (send the queued commands) and the radio
// event. One source is served per wake-up, lowest first.
class PassScheduler {
public:
    static constexpr std::int32_t kFirstCheckSeconds = 1;
    static constexpr std::int32_t kCheckSeconds = 10;

    PassScheduler(ActivityLog& log, PassListReader& reader, SatelliteSelector& selector,
                  TuningExchange& exchange, MessagePump& pump, CancelButton& cancelButton,
                  TuningListener& tuningListener);

    // "Next Pass": forgets the satellite tuned to and any retune an earlier
    // run left unsent, then runs with `receiver`
    // until the run ends. A receiver that cannot be reached ends the run at
    // once, without the shutdown sequence, and its exception leaves through
    // here (see ReceiverLink::StartUp).
    void OnNextPass(ReceiverLink& receiver, const RunSettings& settings);
    // 0 when the run ended through its shutdown sequence.
    int RunPassLoop(ReceiverLink& receiver, const RunSettings& settings);

    // The absolute due time, on the file-time scale, `seconds` after the
    // current whole second: the timer fires between seconds - 1 and
    // seconds from now.
    static std::int64_t SatTimerDueTime(std::int32_t seconds);

    // What the loop does when the write event is signalled: the tuning
    // report, then the retune goes to `receiver`, ending the pass before it
    // and beginning the one it is for; the tuning listener is told of a
    // retune the receiver took whole.
    void ServeWriteEvent(ReceiverLink& receiver);

    // Lets tests check more often than every ten seconds, down to a few
    // milliseconds; users never see it.
    void SetCheckPeriodForTesting(std::chrono::milliseconds period) { m_checkPeriod = period; }

private:
    // Steps 1 to 10 of a run; false when the receiver stopped answering.
    bool StartUp(ReceiverLink& receiver, const RunSettings& settings);
    // Serves the sources until a quit request is taken.
    void WaitForQuit(ReceiverLink& receiver);
    int ShutDown(ReceiverLink& receiver);
    // Tells the receiver the pass it was tuned for is over, if it was.
    void EndPassUnderWay(ReceiverLink& receiver);

    void ServeSatTimer(ReceiverLink& receiver);
    // When the check after this one is due, on the file-time scale.
    std::int64_t NextCheckDueTime() const;

    ActivityLog& m_log;
    PassListReader& m_reader;
    SatelliteSelector& m_selector;
    TuningExchange& m_exchange;
    MessagePump& m_pump;
    CancelButton& m_cancelButton;
    TuningListener& m_tuningListener;
    WaitableTimer m_hSatTimer;
    std::chrono::milliseconds m_checkPeriod = std::chrono::seconds(kCheckSeconds);
    // Whether the receiver was last tuned for a pass, which ends before
    // anything else is tuned.
    bool m_passUnderWay = false;
};
