#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "serial/serialport.h"
#include "tests/serial/FakeReceiverLine.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

// A folder standing in for ~/.config while a test runs, so COM ports are
// whatever the test links there.
class ConfigHome {
public:
    const std::filesystem::path& Path() const { return m_dir.Path(); }

private:
    TempDir m_dir;
    ScopedEnvironmentVariable m_variable{"XDG_CONFIG_HOME", m_dir.Path().string()};
};

// COM1 as the run loop opens it.
inline void OpenCom1(CSerialPort& port, SerialFlowControl flow = FlowXonXoff,
                     SerialParity parity = ParityNone, SerialStopBits stopBits = StopBitsOne) {
    port.Open(1, 9600, parity, 8, stopBits, flow, true);
}

// Sends bytes the port starts to read, and returns once the read has taken
// them from the kernel (they are then the port's input only).
inline void SendIntoPendingRead(CSerialPort& port, const FakeReceiverLine& line,
                                std::string_view bytes) {
    port.SetTimeouts(COMMTIMEOUTS{});
    port.BeginReceive(8);
    line.Send(bytes);
    for (int tries = 0; tries < 5000 && (port.GetInputCount() < bytes.size() || line.Queued() > 0);
         ++tries) {
        ::usleep(1000);
    }
}

// The code of the CSerialException that `operation` throws (deleting it),
// or nullopt when it throws none.
template <class Operation>
std::optional<std::uint32_t> SerialErrorOf(Operation operation) {
    try {
        operation();
    } catch (CSerialException* exception) {
        const std::uint32_t code = exception->m_dwError;
        exception->Delete();
        return code;
    }
    return std::nullopt;
}

inline std::optional<std::uint32_t> Code(int error) {
    return static_cast<std::uint32_t>(error);
}
