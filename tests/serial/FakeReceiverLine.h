#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/kernel/UniqueFd.h"

// A pseudo-terminal that the test plays the receiver on: COM1 points at its
// terminal side through the device map under `configHome`. The test keeps a
// descriptor of the terminal side open, as the simulator does, so a port
// closing on it does not hang the line up.
class FakeReceiverLine {
public:
    explicit FakeReceiverLine(const std::filesystem::path& configHome)
        : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        std::array<char, 256> name{};
        if (!m_master.IsValid() || ::grantpt(m_master.Get()) != 0 ||
            ::unlockpt(m_master.Get()) != 0 ||
            ::ptsname_r(m_master.Get(), name.data(), name.size()) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        m_path = name.data();
        m_terminal.Reset(::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        termios line{};
        ::tcgetattr(m_terminal.Get(), &line);
        ::cfmakeraw(&line);
        ::tcsetattr(m_terminal.Get(), TCSANOW, &line);
        const std::filesystem::path folder = configHome / "vantrel" / "dosdevices";
        std::filesystem::create_directories(folder);
        std::filesystem::create_symlink(m_path, folder / "com1");
    }

    const std::string& Path() const { return m_path; }
    int TerminalFd() const { return m_terminal.Get(); }

    // Bytes from the receiver to the port.
    void Send(std::string_view bytes) const {
        if (::write(m_master.Get(), bytes.data(), bytes.size()) !=
            static_cast<ssize_t>(bytes.size())) {
            throw std::runtime_error("cannot send to the port");
        }
    }

    // Bytes waiting on the terminal side, not yet taken by the port.
    int Queued() const {
        int queued = 0;
        ::ioctl(m_terminal.Get(), TIOCINQ, &queued);
        return queued;
    }

    // Sends, and returns once the bytes are readable on the port's side
    // (a pseudo-terminal passes them on a moment later).
    void SendQueued(std::string_view bytes) const {
        const int wanted = Queued() + static_cast<int>(bytes.size());
        Send(bytes);
        for (int tries = 0; tries < 5000 && Queued() < wanted; ++tries) {
            ::usleep(1000);
        }
    }

    // What the port sent: `count` bytes, or fewer when none came for 5 s.
    std::string Receive(std::size_t count) const {
        std::string received;
        std::array<char, 4096> chunk;
        pollfd readable{m_master.Get(), POLLIN, 0};
        ssize_t got = 0;
        while (received.size() < count && ::poll(&readable, 1, 5000) == 1 &&
               (got = ::read(m_master.Get(), chunk.data(),
                             std::min(chunk.size(), count - received.size()))) > 0) {
            received.append(chunk.data(), static_cast<std::size_t>(got));
        }
        return received;
    }

    // The receiver goes away, as a pulled-out USB adapter does.
    void HangUp() {
        m_terminal.Reset();
        m_master.Reset();
    }

private:
    UniqueFd m_master;
    UniqueFd m_terminal;
    std::string m_path;
};
