#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/kernel/UniqueFd.h"
#include "serial/CommTypes.h"
#include "serial/PortIo.h"

// Turns errno into EACCES where it shows that another program holds the
// port: EBUSY from its exclusive mode, EWOULDBLOCK from its lock.
void ReportHeldPortAsAccessDenied();

// How long a flush waits for output that flow control holds back.
inline constexpr std::chrono::milliseconds kFlushLimit{3000};

// One open terminal with what a serial driver keeps for it: the settings
// termios cannot hold, the queue sizes asked for, the error counts already
// reported, and the engine running its transfers. The device owns its
// descriptor. Each call returns false with errno set when the system
// refuses it.
class CommDevice {
    struct Key {
        explicit Key() = default;
    };

public:
    // Opens `path` for exclusive use: a lock on the open file, which the
    // kernel drops with the last descriptor, so a program that dies gives
    // the port up. Null with errno on failure: EACCES when another program
    // holds the port, ENOTTY when the path is no terminal.
    static std::unique_ptr<CommDevice> OpenExclusive(const std::string& path);
    // Takes on a terminal descriptor opened elsewhere; it is made
    // non-blocking. On failure it stays the caller's.
    static std::unique_ptr<CommDevice> Adopt(int fd);

    CommDevice(Key onlyFromFactories, int fd, std::unique_ptr<PortIo> io);
    ~CommDevice();
    CommDevice(const CommDevice&) = delete;
    CommDevice& operator=(const CommDevice&) = delete;

    int Handle() const { return m_fd.Get(); }
    // Ends every transfer as cancelled and closes the descriptor; false
    // with errno when close() failed.
    bool Close();
    // Ends every transfer as cancelled and gives the descriptor up, open.
    int Release();

    PortIo& Io() { return *m_io; }

    bool GetState(DCB& dcb) const;
    bool SetState(const DCB& dcb);
    bool SetQueueSizes(std::uint32_t inQueue, std::uint32_t outQueue);
    // Waits until the output has left, for at most kFlushLimit; then the
    // rest is thrown away and it fails with ETIMEDOUT.
    bool Flush();
    bool Purge(std::uint32_t flags);
    bool Escape(std::uint32_t function);
    bool ClearError(std::uint32_t* errors, COMSTAT* status);
    bool GetProperties(COMMPROP& properties) const;
    bool GetModemStatus(std::uint32_t& status) const;
    bool TransmitChar(char character);

private:
    static std::unique_ptr<CommDevice> Make(int fd);
    bool Alive() const;
    // Waits until the driver has sent its queue; false with ETIMEDOUT when it
    // has not by `deadline`.
    bool DrainBy(std::chrono::steady_clock::time_point deadline) const;

    UniqueFd m_fd;
    mutable std::mutex m_mutex;
    DCB m_driverState;
    std::uint32_t m_inQueue = 0;
    std::uint32_t m_outQueue = 0;
    // Line error counts at the last ClearError, to report what is new.
    std::uint32_t m_framing = 0;
    std::uint32_t m_overruns = 0;
    std::uint32_t m_parity = 0;
    std::uint32_t m_breaks = 0;
    std::uint32_t m_bufferOverruns = 0;
    std::unique_ptr<PortIo> m_io;
};
