#include "serial/CommApi.h"

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string_view>

#include "platform/kernel/CompletionQueue.h"
#include "platform/kernel/DeviceMap.h"
#include "platform/kernel/ErrorText.h"
#include "serial/CommDevice.h"
#include "serial/LineSettings.h"

namespace {

// Calls `operation` on the port; false (errno set) without one.
template <class Operation>
bool WithDevice(CommDevice* port, Operation operation) {
    if (port == nullptr) {
        errno = EBADF;
        return false;
    }
    return operation(*port);
}

// Starts a transfer; without a record of the caller's, waits for its end.
template <class Start>
bool RunTransfer(CommDevice* port, OVERLAPPED* record, std::uint32_t* bytes, Start start) {
    return WithDevice(port, [&](CommDevice& device) {
        if (record != nullptr) {
            const bool ended = start(device.Io(), PortIo::Notice{record, nullptr, nullptr});
            if (bytes != nullptr) {
                *bytes = ended ? record->InternalHigh.load() : 0;
            }
            return ended;
        }
        OVERLAPPED own;
        start(device.Io(), PortIo::Notice{&own, nullptr, nullptr});
        std::uint32_t transferred = 0;
        const bool succeeded = device.Io().Result(own, transferred, true);
        if (bytes != nullptr) {
            *bytes = transferred;
        }
        return succeeded;
    });
}

// Starts a transfer whose end queues `routine` for this thread.
template <class Start>
bool RunWithRoutine(CommDevice* port, OVERLAPPED& record, LPOVERLAPPED_COMPLETION_ROUTINE routine,
                    Start start) {
    return WithDevice(port, [&](CommDevice& device) {
        const PortIo::Notice notice{&record, routine, CompletionQueue::ForCurrentThread()};
        return start(device.Io(), notice) || errno == static_cast<int>(ERROR_IO_PENDING);
    });
}

// The terminal behind "COM<n>", opened for a moment; invalid (errno) if none.
UniqueFd OpenNamedPort(const std::string& name) {
    constexpr std::string_view prefix = "COM";
    int port = 0;
    const char* const digits = name.data() + prefix.size();
    const char* const end = name.data() + name.size();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        std::from_chars(digits, end, port).ptr != end || port < 1 || port > 255) {
        errno = ENOENT;
        return UniqueFd();
    }
    UniqueFd fd(
        ::open(ComPortDevicePath(port).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid()) {
        ReportHeldPortAsAccessDenied();
    } else if (!::isatty(fd.Get())) {
        errno = ENOTTY;
        return UniqueFd();
    }
    return fd;
}

bool RoomForConfig(std::uint32_t& size) {
    if (size < sizeof(COMMCONFIG)) {
        size = sizeof(COMMCONFIG);
        errno = ENOBUFS;
        return false;
    }
    return true;
}

void FillConfig(COMMCONFIG& config, const DCB& dcb) {
    config = COMMCONFIG{};
    config.dwSize = sizeof(COMMCONFIG);
    config.wVersion = 1;
    config.dcb = dcb;
    config.dwProviderSubType = PST_RS232;
}

}  // namespace

CommHandle CreateCommFile(const std::string& path) {
    return CommDevice::OpenExclusive(path);
}

CommHandle AdoptCommFile(int fd) {
    return CommDevice::Adopt(fd);
}

bool CloseHandle(CommHandle handle) {
    if (handle == nullptr) {
        errno = EBADF;
        return false;
    }
    return handle->Close();
}

bool GetCommState(CommDevice* port, DCB& dcb) {
    return WithDevice(port, [&dcb](CommDevice& device) { return device.GetState(dcb); });
}

bool SetCommState(CommDevice* port, const DCB& dcb) {
    return WithDevice(port, [&dcb](CommDevice& device) { return device.SetState(dcb); });
}

bool GetCommTimeouts(CommDevice* port, COMMTIMEOUTS& timeouts) {
    return WithDevice(port, [&timeouts](CommDevice& device) {
        timeouts = device.Io().Timeouts();
        return true;
    });
}

bool SetCommTimeouts(CommDevice* port, const COMMTIMEOUTS& timeouts) {
    return WithDevice(port, [&timeouts](CommDevice& device) {
        device.Io().SetTimeouts(timeouts);
        return true;
    });
}

bool GetCommMask(CommDevice* port, std::uint32_t& mask) {
    return WithDevice(port, [&mask](CommDevice& device) {
        mask = device.Io().Mask();
        return true;
    });
}

bool SetCommMask(CommDevice* port, std::uint32_t mask) {
    return WithDevice(port, [mask](CommDevice& device) {
        device.Io().SetMask(mask);
        return true;
    });
}

bool SetupComm(CommDevice* port, std::uint32_t inQueue, std::uint32_t outQueue) {
    return WithDevice(port,
                      [=](CommDevice& device) { return device.SetQueueSizes(inQueue, outQueue); });
}

bool FlushFileBuffers(CommDevice* port) {
    return WithDevice(port, [](CommDevice& device) { return device.Flush(); });
}

bool PurgeComm(CommDevice* port, std::uint32_t flags) {
    return WithDevice(port, [flags](CommDevice& device) { return device.Purge(flags); });
}

bool EscapeCommFunction(CommDevice* port, std::uint32_t function) {
    return WithDevice(port, [function](CommDevice& device) { return device.Escape(function); });
}

bool SetCommBreak(CommDevice* port) {
    return EscapeCommFunction(port, SETBREAK);
}

bool ClearCommBreak(CommDevice* port) {
    return EscapeCommFunction(port, CLRBREAK);
}

bool ClearCommError(CommDevice* port, std::uint32_t* errors, COMSTAT* status) {
    return WithDevice(port, [=](CommDevice& device) { return device.ClearError(errors, status); });
}

bool GetCommProperties(CommDevice* port, COMMPROP& properties) {
    return WithDevice(
        port, [&properties](CommDevice& device) { return device.GetProperties(properties); });
}

bool GetCommModemStatus(CommDevice* port, std::uint32_t& status) {
    return WithDevice(port,
                      [&status](CommDevice& device) { return device.GetModemStatus(status); });
}

bool GetCommConfig(CommDevice* port, COMMCONFIG& config, std::uint32_t& size) {
    DCB dcb{};
    if (!RoomForConfig(size) || !GetCommState(port, dcb)) {
        return false;
    }
    FillConfig(config, dcb);
    return true;
}

bool SetCommConfig(CommDevice* port, const COMMCONFIG& config, std::uint32_t size) {
    if (size < sizeof(COMMCONFIG)) {
        errno = EINVAL;
        return false;
    }
    return SetCommState(port, config.dcb);
}

bool GetDefaultCommConfig(const std::string& name, COMMCONFIG& config, std::uint32_t& size) {
    if (!RoomForConfig(size)) {
        return false;
    }
    const UniqueFd fd = OpenNamedPort(name);
    termios line{};
    if (!fd.IsValid() || ::tcgetattr(fd.Get(), &line) != 0) {
        return false;
    }
    DCB dcb = FreshPortState();
    ReadLineSettings(line, dcb);
    FillConfig(config, dcb);
    return true;
}

bool SetDefaultCommConfig(const std::string& name, const COMMCONFIG& config, std::uint32_t size) {
    if (size < sizeof(COMMCONFIG)) {
        errno = EINVAL;
        return false;
    }
    const UniqueFd fd = OpenNamedPort(name);
    if (!fd.IsValid()) {
        return false;
    }
    // Settings are not changed under a program that holds the port.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        ReportHeldPortAsAccessDenied();
        return false;
    }
    termios line{};
    return ::tcgetattr(fd.Get(), &line) == 0 && WriteLineSettings(config.dcb, line) &&
           ::tcsetattr(fd.Get(), TCSANOW, &line) == 0;
}

bool ReadFile(CommDevice* port, void* buffer, std::uint32_t count, std::uint32_t* bytesRead,
              OVERLAPPED* record) {
    return RunTransfer(port, record, bytesRead, [=](PortIo& io, const PortIo::Notice& notice) {
        return io.StartRead(buffer, count, notice);
    });
}

bool WriteFile(CommDevice* port, const void* data, std::uint32_t count, std::uint32_t* bytesWritten,
               OVERLAPPED* record) {
    return RunTransfer(port, record, bytesWritten, [=](PortIo& io, const PortIo::Notice& notice) {
        return io.StartWrite(data, count, notice);
    });
}

bool ReadFileEx(CommDevice* port, void* buffer, std::uint32_t count, OVERLAPPED& record,
                LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    return RunWithRoutine(port, record, routine, [=](PortIo& io, const PortIo::Notice& notice) {
        return io.StartRead(buffer, count, notice);
    });
}

bool WriteFileEx(CommDevice* port, const void* data, std::uint32_t count, OVERLAPPED& record,
                 LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    return RunWithRoutine(port, record, routine, [=](PortIo& io, const PortIo::Notice& notice) {
        return io.StartWrite(data, count, notice);
    });
}

bool GetOverlappedResult(CommDevice* port, OVERLAPPED& record, std::uint32_t& bytes, bool wait) {
    return WithDevice(port,
                      [&](CommDevice& device) { return device.Io().Result(record, bytes, wait); });
}

bool CancelIo(CommDevice* port) {
    return WithDevice(port, [](CommDevice& device) {
        device.Io().Cancel(true, true, true);
        return true;
    });
}

bool TransmitCommChar(CommDevice* port, char character) {
    return WithDevice(port,
                      [character](CommDevice& device) { return device.TransmitChar(character); });
}

bool WaitCommEvent(CommDevice* port, std::uint32_t& events, OVERLAPPED* record) {
    return RunTransfer(port, record, nullptr, [&events](PortIo& io, const PortIo::Notice& notice) {
        return io.StartCommWait(events, *notice.record);
    });
}

void ResetOverlapped(OVERLAPPED& record, Event* event) {
    PortIo::Release(record);
    record.Internal = 0;
    record.InternalHigh = 0;
    record.Offset = 0;
    record.OffsetHigh = 0;
    record.hEvent = event;
    record.pIssuer = nullptr;
}
