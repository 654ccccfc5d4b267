#include "serial/CommDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/kernel/NullOnFailure.h"
#include "serial/LineSettings.h"

namespace {

// The kernel's fixed queue of a terminal, reported when nobody asked for another.
constexpr std::uint32_t kKernelQueue = 4096;

constexpr std::uint32_t kSettableBaud = 0x1006FFFF;  // the standard rates and "user"
constexpr std::uint32_t kMaxBaudUser = 0x10000000;
constexpr std::uint32_t kCapabilities = 0x00FF;  // modem lines, parity, XON/XOFF, time-outs
constexpr std::uint32_t kSettableParams = 0x007F;
constexpr std::uint16_t kSettableData = 0x000F;        // 5 to 8 data bits
constexpr std::uint16_t kSettableStopParity = 0x1F07;  // every stop bit and parity choice

std::uint32_t CountSince(std::uint32_t& seen, int now) {
    const auto current = static_cast<std::uint32_t>(now);
    const std::uint32_t fresh = current - seen;
    seen = current;
    return fresh;
}

}  // namespace

void ReportHeldPortAsAccessDenied() {
    if (errno == EBUSY || errno == EWOULDBLOCK) {
        errno = EACCES;
    }
}

std::unique_ptr<CommDevice> CommDevice::OpenExclusive(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid()) {
        ReportHeldPortAsAccessDenied();
        return nullptr;
    }
    if (!::isatty(fd.Get())) {
        errno = ENOTTY;
        return nullptr;
    }
    // Not the terminal's exclusive mode: it outlives a program that is
    // killed and then keeps every user but root out until the other end
    // closes.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        ReportHeldPortAsAccessDenied();
        return nullptr;
    }
    // A terminal keeps what an earlier user of the port left unread (a
    // receiver's answer to a program that has gone); it is no reply to us.
    ::tcflush(fd.Get(), TCIFLUSH);
    std::unique_ptr<CommDevice> device = Make(fd.Get());
    if (device != nullptr) {
        fd.Release();
    }
    return device;
}

std::unique_ptr<CommDevice> CommDevice::Adopt(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1) {
        return nullptr;
    }
    if (!::isatty(fd)) {
        errno = ENOTTY;
        return nullptr;
    }
    if (::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        return nullptr;
    }
    return Make(fd);
}

std::unique_ptr<CommDevice> CommDevice::Make(int fd) {
    // Until it is made, the descriptor stays with the caller, who closes an
    // opened one and keeps an adopted one.
    return NullOnFailure([fd] {
        auto io = std::make_unique<PortIo>(fd);
        return std::make_unique<CommDevice>(Key{}, fd, std::move(io));
    });
}

CommDevice::CommDevice(Key /*onlyFromFactories*/, int fd, std::unique_ptr<PortIo> io)
    : m_fd(fd), m_driverState(FreshPortState()), m_io(std::move(io)) {}

CommDevice::~CommDevice() {
    Close();
}

bool CommDevice::Close() {
    m_io.reset();
    return !m_fd.IsValid() || ::close(m_fd.Release()) == 0;
}

int CommDevice::Release() {
    m_io.reset();
    return m_fd.Release();
}

bool CommDevice::Alive() const {
    termios line{};
    return ::tcgetattr(m_fd.Get(), &line) == 0;
}

bool CommDevice::GetState(DCB& dcb) const {
    termios line{};
    if (::tcgetattr(m_fd.Get(), &line) != 0) {
        return false;
    }
    const std::lock_guard lock(m_mutex);
    dcb = m_driverState;
    ReadLineSettings(line, dcb);
    return true;
}

bool CommDevice::SetState(const DCB& dcb) {
    termios line{};
    if (::tcgetattr(m_fd.Get(), &line) != 0 || !WriteLineSettings(dcb, line) ||
        ::tcsetattr(m_fd.Get(), TCSANOW, &line) != 0) {
        return false;
    }
    const std::lock_guard lock(m_mutex);
    m_driverState = dcb;
    return true;
}

bool CommDevice::SetQueueSizes(std::uint32_t inQueue, std::uint32_t outQueue) {
    if (!Alive()) {
        return false;
    }
    const std::lock_guard lock(m_mutex);
    m_inQueue = inQueue;
    m_outQueue = outQueue;
    return true;
}

bool CommDevice::Flush() {
    const auto deadline = std::chrono::steady_clock::now() + kFlushLimit;
    if (m_io->WaitForWrites(deadline)) {
        if (const int lost = m_io->LostError(); lost != 0) {
            errno = lost;
            return false;
        }
        if (DrainBy(deadline)) {
            return true;
        }
        if (errno != ETIMEDOUT) {
            return false;
        }
    }
    // A receiver that sent XOFF and never XON would hold the output, and a
    // flush waiting for it, for ever: what is left is thrown away.
    Purge(PURGE_TXABORT | PURGE_TXCLEAR);
    errno = ETIMEDOUT;
    return false;
}

bool CommDevice::DrainBy(std::chrono::steady_clock::time_point deadline) const {
    for (;;) {
        int queued = 0;
        if (::ioctl(m_fd.Get(), TIOCOUTQ, &queued) != 0) {
            return ::tcdrain(m_fd.Get()) == 0;
        }
        if (queued == 0) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            errno = ETIMEDOUT;
            return false;
        }
        // The driver tells no one when its queue empties; a byte takes about
        // a millisecond at 9600 baud.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool CommDevice::Purge(std::uint32_t flags) {
    if ((flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) != 0) {
        errno = EINVAL;
        return false;
    }
    if (!Alive()) {
        return false;
    }
    m_io->Cancel((flags & PURGE_RXABORT) != 0, (flags & PURGE_TXABORT) != 0, false);
    if ((flags & PURGE_TXCLEAR) != 0 && ::tcflush(m_fd.Get(), TCOFLUSH) != 0) {
        return false;
    }
    if ((flags & PURGE_RXCLEAR) != 0) {
        m_io->ClearInput();
        return ::tcflush(m_fd.Get(), TCIFLUSH) == 0;
    }
    return true;
}

bool CommDevice::Escape(std::uint32_t function) {
    const int fd = m_fd.Get();
    int line = 0;
    switch (function) {
        case SETXOFF:
            return ::tcflow(fd, TCOOFF) == 0;
        case SETXON:
            return ::tcflow(fd, TCOON) == 0;
        case SETRTS:
        case CLRRTS:
            line = TIOCM_RTS;
            return ::ioctl(fd, function == SETRTS ? TIOCMBIS : TIOCMBIC, &line) == 0;
        case SETDTR:
        case CLRDTR:
            line = TIOCM_DTR;
            return ::ioctl(fd, function == SETDTR ? TIOCMBIS : TIOCMBIC, &line) == 0;
        case SETBREAK:
            return ::ioctl(fd, TIOCSBRK) == 0;
        case CLRBREAK:
            return ::ioctl(fd, TIOCCBRK) == 0;
        default:
            errno = EINVAL;
            return false;
    }
}

bool CommDevice::ClearError(std::uint32_t* errors, COMSTAT* status) {
    int inQueue = 0;
    int outQueue = 0;
    if (::ioctl(m_fd.Get(), TIOCINQ, &inQueue) != 0 ||
        ::ioctl(m_fd.Get(), TIOCOUTQ, &outQueue) != 0) {
        return false;
    }
    std::uint32_t found = 0;
    serial_icounter_struct counts{};
    // Pseudo-terminals keep no line error counts; they then report none.
    if (::ioctl(m_fd.Get(), TIOCGICOUNT, &counts) == 0) {
        const std::lock_guard lock(m_mutex);
        found |= CountSince(m_framing, counts.frame) != 0 ? CE_FRAME : 0;
        found |= CountSince(m_overruns, counts.overrun) != 0 ? CE_OVERRUN : 0;
        found |= CountSince(m_parity, counts.parity) != 0 ? CE_RXPARITY : 0;
        found |= CountSince(m_breaks, counts.brk) != 0 ? CE_BREAK : 0;
        found |= CountSince(m_bufferOverruns, counts.buf_overrun) != 0 ? CE_RXOVER : 0;
    }
    if (errors != nullptr) {
        *errors = found;
    }
    if (status != nullptr) {
        *status = COMSTAT{};
        status->cbInQue = static_cast<std::uint32_t>(inQueue) + m_io->StagedInput();
        status->cbOutQue = static_cast<std::uint32_t>(outQueue) + m_io->QueuedOutput();
    }
    return true;
}

bool CommDevice::GetProperties(COMMPROP& properties) const {
    if (!Alive()) {
        return false;
    }
    const std::lock_guard lock(m_mutex);
    properties = COMMPROP{};
    properties.wPacketLength = sizeof(COMMPROP);
    properties.wPacketVersion = 2;
    properties.dwServiceMask = 1;  // serial communication
    properties.dwMaxBaud = kMaxBaudUser;
    properties.dwProvSubType = PST_RS232;
    properties.dwProvCapabilities = kCapabilities;
    properties.dwSettableParams = kSettableParams;
    properties.dwSettableBaud = kSettableBaud;
    properties.wSettableData = kSettableData;
    properties.wSettableStopParity = kSettableStopParity;
    properties.dwCurrentTxQueue = m_outQueue != 0 ? m_outQueue : kKernelQueue;
    properties.dwCurrentRxQueue = m_inQueue != 0 ? m_inQueue : kKernelQueue;
    return true;
}

bool CommDevice::GetModemStatus(std::uint32_t& status) const {
    int lines = 0;
    if (::ioctl(m_fd.Get(), TIOCMGET, &lines) != 0) {
        return false;
    }
    status =
        ((lines & TIOCM_CTS) != 0 ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) != 0 ? MS_DSR_ON : 0) |
        ((lines & TIOCM_RNG) != 0 ? MS_RING_ON : 0) | ((lines & TIOCM_CAR) != 0 ? MS_RLSD_ON : 0);
    return true;
}

bool CommDevice::TransmitChar(char character) {
    // Straight to the kernel, past the writes still queued here.
    for (;;) {
        const ssize_t sent = ::write(m_fd.Get(), &character, 1);
        if (sent == 1) {
            return true;
        }
        if (sent == 0) {
            errno = EAGAIN;
            return false;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}
