#include "radio/Pcr1000Link.h"

#include <cerrno>
#include <string>

namespace {

constexpr std::string_view kPowerQuery = "H1?\r\n";
constexpr std::string_view kPowerOn = "H101\r\n";
constexpr std::string_view kPowerOff = "H100\r\n";
// What the receiver says of itself when it is switched on.
constexpr std::string_view kPoweredOnReply = "H101";
constexpr std::uint32_t kReplyBytes = 8;

// Six characters and the zero that ends them: the receiver has always been
// sent the zero too.
constexpr char kCloseDownCommand[] = "P100\r\n";
// Each close-down write gives up after this, so held output cannot stop the exit.
constexpr std::uint32_t kCloseDownWriteLimitMs = 1000;

constexpr std::uint32_t kBaud = 9600;
constexpr std::uint8_t kDataBits = 8;

}  // namespace

Pcr1000Link::Pcr1000Link(CSerialPort& port, ActivityLog& log, QuitRequester& quit)
    : m_port(port), m_log(log), m_quit(quit) {}

bool Pcr1000Link::StartUp() {
    // The settings file may hold any number; one that names no port fails
    // like a port that is not there, instead of tripping Open's assertion.
    if (!CSerialPort::IsPortNumber(m_comPort)) {
        ThrowSerialError(ENODEV);
    }
    m_port.Open(m_comPort, kBaud, ParityNone, kDataBits, StopBitsOne, FlowXonXoff, true);
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
        m_quit.RequestQuit();
    }
    SendCommand(kPowerOn);
    if (!m_port.ReceiveReply(kReplyBytes)) {
        return false;
    }
    SendCommand(kPowerQuery);
    return m_port.ReceiveReply(kReplyBytes);
}

bool Pcr1000Link::SendRetune(TuningExchange& exchange) {
    // The next command follows whether or not the receiver answered.
    for (std::string command; exchange.NextRadioCommand(command);) {
        SendCommand(command);
        m_port.ReceiveReply(kReplyBytes);
    }
    return true;
}

void Pcr1000Link::ShutDown() {
    m_port.AbortReads();
    m_port.AbortWrites();
    SendCommand(kPowerOff);
    m_port.Flush();
}

void Pcr1000Link::CloseDown() noexcept {
    if (!m_port.IsOpen()) {
        return;
    }
    try {
        COMMTIMEOUTS timeouts{};
        m_port.GetTimeouts(timeouts);
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = kCloseDownWriteLimitMs;
        m_port.SetTimeouts(timeouts);
    } catch (CSerialException* error) {
        error->Delete();
    }
    // Written synchronously; a write that fails is let go, as Vantrel is
    // ending anyway.
    for (int time = 0; time < 2; ++time) {
        try {
            m_port.Write(kCloseDownCommand, sizeof kCloseDownCommand);
        } catch (CSerialException* error) {
            error->Delete();
        }
    }
}

void Pcr1000Link::SendCommand(std::string_view command) {
    m_port.Write(command.data(), static_cast<std::uint32_t>(command.size()), g_radioOverlapped);
}
