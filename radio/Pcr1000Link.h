#pragma once

#include <cstdint>
#include <string_view>

#include "radio/ReceiverLink.h"
#include "serial/serialport.h"
#include "services/ActivityLog.h"
#include "services/QuitRequester.h"

// The Icom PCR-1000 on a serial port: its power commands, each queued
// command as it stands, and a reply of up to eight bytes awaited after each.
class Pcr1000Link final : public ReceiverLink {
public:
    Pcr1000Link(CSerialPort& port, ActivityLog& log, QuitRequester& quit);

    // The COM port the next start-up opens; any number, as the settings
    // file may hold one that names no port.
    void SetComPort(std::int32_t comPort) { m_comPort = comPort; }

    std::string_view Name() const override { return "pcr1000"; }
    bool StartUp() override;
    void OnCheck() override {}
    bool SendRetune(TuningExchange& exchange) override;
    void PassBegins() override {}
    void PassEnds() override {}
    void ShutDown() override;
    // "P100\r\n" with its zero byte, twice, to a port still open.
    void CloseDown() noexcept override;

private:
    // Writes a receiver command through the radio record, without waiting.
    void SendCommand(std::string_view command);

    CSerialPort& m_port;
    ActivityLog& m_log;
    QuitRequester& m_quit;
    std::int32_t m_comPort = 1;
};
