#include "app/Tuner.h"

#include "app/SerialPortError.h"

#include "platform/kernel/FileTime.h"

Tuner::Tuner(const TunerFrontEnd& frontEnd)
    : m_log(frontEnd.logView),
      m_pcr1000(m_port, m_log, frontEnd.pump),
      m_rigctl(m_log),
      m_settings(m_log),
      m_catalogue(m_log, frontEnd.messages),
      m_exchange(m_catalogue, m_log),
      m_reader(frontEnd.passTable, m_log, frontEnd.messages, frontEnd.pump),
      m_selector(frontEnd.passTable, m_catalogue, m_exchange, m_log, CurrentCalendarTime),
      m_tunedHook(m_log, frontEnd.pump, TunedHook::InstalledKeeper()),
      m_scheduler(m_log, m_reader, m_selector, m_exchange, frontEnd.pump, frontEnd.cancelButton,
                  m_tunedHook) {
    m_settings.ReadSettings();
}

Tuner::~Tuner() {
    m_pcr1000.CloseDown();
    // The window is going: its events must not be handled meanwhile.
    m_rigctl.SetReplyWait(nullptr);
    m_rigctl.CloseDown();
}

void Tuner::SetReplyWait(ReplyWait* wait) {
    m_port.SetReplyWait(wait);
    m_rigctl.SetReplyWait(wait);
}

void Tuner::InitDialog() {
    m_settings.ReadSettings();
    m_log.LogMessage(ReportVerbose, "Settings Read to Registry");
}

std::optional<std::string> Tuner::OnNextPass() {
    try {
        m_scheduler.OnNextPass(RunReceiver(),
                               {m_settings.GetDataMode(), m_settings.GetDirectory()});
    } catch (CSerialException* error) {
        std::string text = DescribeSerialError(*error);
        error->Delete();
        return text;
    } catch (const ReceiverUnreachable& error) {
        return error.what();
    }
    return std::nullopt;
}

ReceiverLink& Tuner::RunReceiver() {
    if (m_receiverOverride.Any() || m_settings.GetReceiver() == ReceiverKind::Rigctl) {
        m_rigctl.SetTarget(Overridden(m_settings.GetRigctlTarget(), m_receiverOverride));
        return m_rigctl;
    }
    m_runComPort = m_settings.GetComPort();
    m_pcr1000.SetComPort(m_runComPort);
    return m_pcr1000;
}

std::string Tuner::DescribeSerialError(const CSerialException& error) const {
    // A number that names no port was never opened.
    const std::string device =
        CSerialPort::IsPortNumber(m_runComPort) ? m_port.DevicePath() : std::string();
    return SerialPortErrorText(m_runComPort, device, error);
}
