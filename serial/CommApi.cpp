#include "serial/CommApi.h"

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "platform/kernel/CompletionQueue.h"
#include "platform/kernel/DeviceMap.h"
#include "platform/kernel/ErrorText.h"
#include "serial/CommDevice.h"
#include "serial/LineSettings.h"

namespace {

// What the driver holds for every handle in use. A descriptor that arrives
// here without having been opened by CreateCommFile is taken on as it is.
class HandleTable {
public:
    void Add(int handle, std::shared_ptr<CommDevice> device) {
        const std::lock_guard lock(m_mutex);
        m_devices[handle] = std::move(device);
    }

    std::shared_ptr<CommDevice> Find(int handle) {
        const std::lock_guard lock(m_mutex);
        if (const auto found = m_devices.find(handle); found != m_devices.end()) {
            if (found->second->Describes(handle)) {
                return found->second;
            }
            found->second->Abandon();
            m_devices.erase(found);
        }
        if (handle < 0) {
            errno = EBADF;
            return nullptr;
        }
        std::shared_ptr<CommDevice> device = CommDevice::Adopt(handle);
        if (device != nullptr) {
            m_devices[handle] = device;
        }
        return device;
    }

    std::shared_ptr<CommDevice> Remove(int handle) {
        const std::lock_guard lock(m_mutex);
        const auto found = m_devices.find(handle);
        if (found == m_devices.end()) {
            return nullptr;
        }
        std::shared_ptr<CommDevice> device = std::move(found->second);
        m_devices.erase(found);
        return device;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<int, std::shared_ptr<CommDevice>> m_devices;
};

HandleTable& Handles() {
    // Never destroyed: worker threads may still end transfers while the
    // process exits, and must not meet a table that is already gone.
    static HandleTable* const table = new HandleTable;
    return *table;
}

// Calls `operation` on the handle's device; false (errno set) without one.
template <class Operation>
bool WithDevice(int handle, Operation operation) {
    const std::shared_ptr<CommDevice> device = Handles().Find(handle);
    return device != nullptr && operation(*device);
}

// Starts a transfer; without a record of the caller's, waits for its end.
template <class Start>
bool RunTransfer(int handle, OVERLAPPED* record, std::uint32_t* bytes, Start start) {
    return WithDevice(handle, [&](CommDevice& device) {
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
bool RunWithRoutine(int handle, OVERLAPPED& record, LPOVERLAPPED_COMPLETION_ROUTINE routine,
                    Start start) {
    return WithDevice(handle, [&](CommDevice& device) {
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

int CreateCommFile(const std::string& path) {
    std::shared_ptr<CommDevice> device = CommDevice::OpenExclusive(path);
    if (device == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    const int handle = device->Handle();
    Handles().Add(handle, std::move(device));
    return handle;
}

bool CloseHandle(int handle) {
    if (const std::shared_ptr<CommDevice> device = Handles().Remove(handle)) {
        return device->Close();
    }
    return ::close(handle) == 0;
}

bool GetCommState(int handle, DCB& dcb) {
    return WithDevice(handle, [&dcb](CommDevice& device) { return device.GetState(dcb); });
}

bool SetCommState(int handle, const DCB& dcb) {
    return WithDevice(handle, [&dcb](CommDevice& device) { return device.SetState(dcb); });
}

bool GetCommTimeouts(int handle, COMMTIMEOUTS& timeouts) {
    return WithDevice(handle, [&timeouts](CommDevice& device) {
        timeouts = device.Io().Timeouts();
        return true;
    });
}

bool SetCommTimeouts(int handle, const COMMTIMEOUTS& timeouts) {
    return WithDevice(handle, [&timeouts](CommDevice& device) {
        device.Io().SetTimeouts(timeouts);
        return true;
    });
}

bool GetCommMask(int handle, std::uint32_t& mask) {
    return WithDevice(handle, [&mask](CommDevice& device) {
        mask = device.Io().Mask();
        return true;
    });
}

bool SetCommMask(int handle, std::uint32_t mask) {
    return WithDevice(handle, [mask](CommDevice& device) {
        device.Io().SetMask(mask);
        return true;
    });
}

bool SetupComm(int handle, std::uint32_t inQueue, std::uint32_t outQueue) {
    return WithDevice(handle,
                      [=](CommDevice& device) { return device.SetQueueSizes(inQueue, outQueue); });
}

bool FlushFileBuffers(int handle) {
    return WithDevice(handle, [](CommDevice& device) { return device.Flush(); });
}

bool PurgeComm(int handle, std::uint32_t flags) {
    return WithDevice(handle, [flags](CommDevice& device) { return device.Purge(flags); });
}

bool EscapeCommFunction(int handle, std::uint32_t function) {
    return WithDevice(handle, [function](CommDevice& device) { return device.Escape(function); });
}

bool SetCommBreak(int handle) {
    return EscapeCommFunction(handle, SETBREAK);
}

bool ClearCommBreak(int handle) {
    return EscapeCommFunction(handle, CLRBREAK);
}

bool ClearCommError(int handle, std::uint32_t* errors, COMSTAT* status) {
    return WithDevice(handle,
                      [=](CommDevice& device) { return device.ClearError(errors, status); });
}

bool GetCommProperties(int handle, COMMPROP& properties) {
    return WithDevice(
        handle, [&properties](CommDevice& device) { return device.GetProperties(properties); });
}

bool GetCommModemStatus(int handle, std::uint32_t& status) {
    return WithDevice(handle,
                      [&status](CommDevice& device) { return device.GetModemStatus(status); });
}

bool GetCommConfig(int handle, COMMCONFIG& config, std::uint32_t& size) {
    DCB dcb{};
    if (!RoomForConfig(size) || !GetCommState(handle, dcb)) {
        return false;
    }
    FillConfig(config, dcb);
    return true;
}

bool SetCommConfig(int handle, const COMMCONFIG& config, std::uint32_t size) {
    if (size < sizeof(COMMCONFIG)) {
        errno = EINVAL;
        return false;
    }
    return SetCommState(handle, config.dcb);
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

bool ReadFile(int handle, void* buffer, std::uint32_t count, std::uint32_t* bytesRead,
              OVERLAPPED* record) {
    return RunTransfer(handle, record, bytesRead, [=](PortIo& io, const PortIo::Notice& notice) {
        return io.StartRead(buffer, count, notice);
    });
}

bool WriteFile(int handle, const void* data, std::uint32_t count, std::uint32_t* bytesWritten,
               OVERLAPPED* record) {
    return RunTransfer(handle, record, bytesWritten, [=](PortIo& io, const PortIo::Notice& notice) {
        return io.StartWrite(data, count, notice);
    });
}

bool ReadFileEx(int handle, void* buffer, std::uint32_t count, OVERLAPPED& record,
                LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    return RunWithRoutine(handle, record, routine, [=](PortIo& io, const PortIo::Notice& notice) {
        return io.StartRead(buffer, count, notice);
    });
}

bool WriteFileEx(int handle, const void* data, std::uint32_t count, OVERLAPPED& record,
                 LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    return RunWithRoutine(handle, record, routine, [=](PortIo& io, const PortIo::Notice& notice) {
        return io.StartWrite(data, count, notice);
    });
}

bool GetOverlappedResult(int handle, OVERLAPPED& record, std::uint32_t& bytes, bool wait) {
    return WithDevice(handle,
                      [&](CommDevice& device) { return device.Io().Result(record, bytes, wait); });
}

bool CancelIo(int handle) {
    return WithDevice(handle, [](CommDevice& device) {
        device.Io().Cancel(true, true, true);
        return true;
    });
}

bool TransmitCommChar(int handle, char character) {
    return WithDevice(handle,
                      [character](CommDevice& device) { return device.TransmitChar(character); });
}

bool WaitCommEvent(int handle, std::uint32_t& events, OVERLAPPED* record) {
    return RunTransfer(handle, record, nullptr,
                       [&events](PortIo& io, const PortIo::Notice& notice) {
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
