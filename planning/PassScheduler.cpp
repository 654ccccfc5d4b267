#include "planning/PassScheduler.h"

#include <cerrno>

#include "platform/kernel/FileTime.h"

namespace {

constexpr std::string_view kPowerQuery = "H1?\r\n";
constexpr std::string_view kPowerOn = "H101\r\n";
constexpr std::string_view kPowerOff = "H100\r\n";
// What the receiver says of itself when it is switched on.
constexpr std::string_view kPoweredOnReply = "H101";
constexpr std::uint32_t kReplyBytes = 8;

constexpr std::uint32_t kBaud = 9600;
constexpr std::uint8_t kDataBits = 8;

// The wait set, in the order the loop serves it.
enum WaitSource : std::size_t {
    kRadioEvent = 0,
    kWriteEvent = 1,
    kSatTimer = 2,
};

}  // namespace

PassScheduler::PassScheduler(CSerialPort& port, ActivityLog& log, PassListReader& reader,
                             SatelliteSelector& selector, TuningExchange& exchange,
                             MessagePump& pump, CancelButton& cancelButton,
                             TuningListener& tuningListener)
    : m_port(port),
      m_log(log),
      m_reader(reader),
      m_selector(selector),
      m_exchange(exchange),
      m_pump(pump),
      m_cancelButton(cancelButton),
      m_tuningListener(tuningListener) {}

void PassScheduler::OnNextPass(const RunSettings& settings) {
    m_exchange.ForgetTunedSatellite();
    RunPassLoop(settings);
}

int PassScheduler::RunPassLoop(const RunSettings& settings) {
    if (StartUp(settings)) {
        WaitForQuit();
    }
    return ShutDown();
}

std::int64_t PassScheduler::SatTimerDueTime(std::int32_t seconds) {
    return (CurrentCalendarTime() + seconds) * kFileTimeTicksPerSecond + kFileTimeUnixEpoch;
}

bool PassScheduler::StartUp(const RunSettings& settings) {
    // The settings file may hold any number; one that names no port fails
    // like a port that is not there, instead of tripping Open's assertion.
    if (!CSerialPort::IsPortNumber(settings.comPort)) {
        ThrowSerialError(ENODEV);
    }
    m_port.Open(settings.comPort, kBaud, ParityNone, kDataBits, StopBitsOne, FlowXonXoff, true);
    if (m_port.ReceiveReply(kReplyBytes)) {
        m_log.LogMessage(ReportVerbose, "Radio Talking");
    } else {
        SendCommand(kPowerQuery);
    }
    if (m_port.ReceiveReply(kReplyBytes)) {
        m_log.LogMessage(ReportVerbose, "Radio Talking");
        const bool poweredOn =
            std::string_view(m_port.m_szReply).find(kPoweredOnReply) != std::string_view::npos;
        m_log.LogMessage(ReportVerbose, poweredOn ? "Radio ON - all Ok" : "Radio OFF");
    } else {
        m_log.LogMessage(ReportVerbose, "Unknown Error");
        // Queued: it ends the run at its first look at the queue.
        m_pump.RequestQuit();
    }
    SendCommand(kPowerOn);
    if (!m_port.ReceiveReply(kReplyBytes)) {
        return false;
    }
    SendCommand(kPowerQuery);
    if (!m_port.ReceiveReply(kReplyBytes)) {
        return false;
    }
    m_cancelButton.SetCaption("Turn Off Pcr");
    m_reader.ReadPassList(settings.dataMode, settings.directory);
    if (!m_hSatTimer.Set(SatTimerDueTime(kFirstCheckSeconds))) {
        m_log.LogMessage(ReportVerbose, "Unable to Post Set Waitable timer for SatTime");
    }
    return true;
}

void PassScheduler::WaitForQuit() {
    Waitable* const sources[] = {&g_radioEvent, &m_exchange.WriteEvent(), &m_hSatTimer};
    for (;;) {
        switch (m_pump.WaitForSourcesOrInput(sources)) {
            case kRadioEvent:
                g_radioEvent.Reset();
                break;
            case kWriteEvent:
                ServeWriteEvent();
                break;
            case kSatTimer:
                ServeSatTimer();
                break;
            default:
                if (m_pump.PumpInput()) {
                    return;
                }
        }
    }
}

int PassScheduler::ShutDown() {
    m_cancelButton.SetCaption("Exit");
    m_exchange.ForgetTunedSatellite();
    m_port.AbortReads();
    m_port.AbortWrites();
    SendCommand(kPowerOff);
    m_port.Flush();
    return 0;
}

void PassScheduler::ServeWriteEvent() {
    m_log.LogMessage(ReportVerbose, "Write Timer Gone off");
    m_exchange.ReportTuning(m_reader.PassLengthText());
    m_exchange.RecordLoadedAsTuned();
    // The next command follows whether or not the receiver answered.
    for (std::string command; m_exchange.NextRadioCommand(command);) {
        SendCommand(command);
        m_port.ReceiveReply(kReplyBytes);
    }
    m_tuningListener.OnTuningSent(m_exchange.Tuned());
}

void PassScheduler::ServeSatTimer() {
    m_hSatTimer.Cancel();
    m_selector.SelectSatellite();
    m_log.LogMessage(ReportVerbose, "SatTimer Gone off");
    m_hSatTimer.Set(SatTimerDueTime(m_checkSeconds));
}

void PassScheduler::SendCommand(std::string_view command) {
    m_port.Write(command.data(), static_cast<std::uint32_t>(command.size()), g_radioOverlapped);
}
