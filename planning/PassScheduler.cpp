#include "planning/PassScheduler.h"

#include "platform/kernel/FileTime.h"
#include "serial/serialport.h"

namespace {

// The wait set, in the order the loop serves it.
enum WaitSource : std::size_t {
    kRadioEvent = 0,
    kWriteEvent = 1,
    kSatTimer = 2,
};

}  // namespace

PassScheduler::PassScheduler(ActivityLog& log, PassListReader& reader, SatelliteSelector& selector,
                             TuningExchange& exchange, MessagePump& pump,
                             CancelButton& cancelButton, TuningListener& tuningListener)
    : m_log(log),
      m_reader(reader),
      m_selector(selector),
      m_exchange(exchange),
      m_pump(pump),
      m_cancelButton(cancelButton),
      m_tuningListener(tuningListener) {}

void PassScheduler::OnNextPass(ReceiverLink& receiver, const RunSettings& settings) {
    m_exchange.ForgetTunedSatellite();
    // An earlier run that a failing receiver ended may have left a retune
    // halfway; its rest would pass for this run's first retune.
    m_exchange.DropPendingRetune();
    RunPassLoop(receiver, settings);
}

int PassScheduler::RunPassLoop(ReceiverLink& receiver, const RunSettings& settings) {
    m_passUnderWay = false;
    if (StartUp(receiver, settings)) {
        WaitForQuit(receiver);
    }
    return ShutDown(receiver);
}

std::int64_t PassScheduler::SatTimerDueTime(std::int32_t seconds) {
    return (CurrentCalendarTime() + seconds) * kFileTimeTicksPerSecond + kFileTimeUnixEpoch;
}

bool PassScheduler::StartUp(ReceiverLink& receiver, const RunSettings& settings) {
    if (!receiver.StartUp()) {
        return false;
    }
    m_cancelButton.SetCaption("Turn Off Pcr");
    m_reader.ReadPassList(settings.dataMode, settings.directory);
    if (!m_hSatTimer.Set(SatTimerDueTime(kFirstCheckSeconds))) {
        m_log.LogMessage(ReportVerbose, "Unable to Post Set Waitable timer for SatTime");
    }
    return true;
}

void PassScheduler::WaitForQuit(ReceiverLink& receiver) {
    Waitable* const sources[] = {&g_radioEvent, &m_exchange.WriteEvent(), &m_hSatTimer};
    for (;;) {
        switch (m_pump.WaitForSourcesOrInput(sources)) {
            case kRadioEvent:
                g_radioEvent.Reset();
                break;
            case kWriteEvent:
                ServeWriteEvent(receiver);
                break;
            case kSatTimer:
                ServeSatTimer(receiver);
                break;
            default:
                if (m_pump.PumpInput()) {
                    return;
                }
        }
    }
}

int PassScheduler::ShutDown(ReceiverLink& receiver) {
    m_cancelButton.SetCaption("Exit");
    m_exchange.ForgetTunedSatellite();
    EndPassUnderWay(receiver);
    receiver.ShutDown();
    return 0;
}

void PassScheduler::EndPassUnderWay(ReceiverLink& receiver) {
    if (m_passUnderWay) {
        m_passUnderWay = false;
        receiver.PassEnds();
    }
}

void PassScheduler::ServeWriteEvent(ReceiverLink& receiver) {
    m_log.LogMessage(ReportVerbose, "Write Timer Gone off");
    m_exchange.ReportTuning(m_reader.PassLengthText());
    m_exchange.RecordLoadedAsTuned();
    EndPassUnderWay(receiver);
    const bool whole = receiver.SendRetune(m_exchange);
    SentTuning tuning = m_exchange.Tuned();
    tuning.receiver = receiver.Name();
    if (tuning.pass) {
        m_passUnderWay = true;
        receiver.PassBegins();
    }
    if (whole) {
        m_tuningListener.OnTuningSent(tuning);
    }
}

void PassScheduler::ServeSatTimer(ReceiverLink& receiver) {
    m_hSatTimer.Cancel();
    receiver.OnCheck();
    // A list a timer refreshes daily is taken up without a restart.
    m_reader.ReadPassListIfReplaced(m_selector.Now());
    m_selector.SelectSatellite();
    m_log.LogMessage(ReportVerbose, "SatTimer Gone off");
    m_hSatTimer.Set(NextCheckDueTime());
}

std::int64_t PassScheduler::NextCheckDueTime() const {
    using std::chrono::seconds;
    if (m_checkPeriod % seconds(1) == std::chrono::milliseconds::zero()) {
        return SatTimerDueTime(static_cast<std::int32_t>(m_checkPeriod / seconds(1)));
    }
    return FileTimeAfter(m_checkPeriod);
}
