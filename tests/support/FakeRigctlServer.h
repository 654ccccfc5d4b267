#pragma once

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "network/RigctlServers.h"
#include "platform/kernel/UniqueFd.h"
#include "tests/support/Loopback.h"

// A rigctl server on 127.0.0.1 played by a thread of the test, as each kind
// answers: rigctld's dummy radio (silent to \get_powerstat while off), gqrx 2.15.9 (one line per
// read, \chk_vfo and power refused with RPRT 1, squelch in dBFS, no L AF) or SDR++
// ("CHKVFO 0", no L at all, M only as mode and whole width). One client at
// a time: a new one takes the place of the old, except on SDR++, which
// turns newcomers away. A fault can be armed for the next command that
// begins with a given word. Stopped and joined by its destructor.
class FakeRigctlServer {
public:
    enum class Fault { CloseMidCommand, GoSilent, Garbage, EndlessLine };

    // `port` 0 takes a free one; a given port is taken again after a restart.
    explicit FakeRigctlServer(RigctlServerKind kind, std::uint16_t port = 0) : m_kind(kind) {
        m_listener.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const int one = 1;
        ::setsockopt(m_listener.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        m_port = BindLoopback(m_listener.Get(), port);
        if (::listen(m_listener.Get(), 4) != 0) {
            throw std::runtime_error("the fake server cannot listen");
        }
        m_thread = std::thread([this] { Serve(); });
    }
    ~FakeRigctlServer() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stop.Get(), &one, sizeof one);
        m_thread.join();
    }
    FakeRigctlServer(const FakeRigctlServer&) = delete;
    FakeRigctlServer& operator=(const FakeRigctlServer&) = delete;

    std::uint16_t Port() const { return m_port; }
    std::string Address() const { return LoopbackText(m_port); }

    // Every command line received, oldest first, without its line end.
    std::vector<std::string> Commands() const {
        const std::lock_guard lock(m_mutex);
        return m_commands;
    }
    // Strikes once, at the next command whose line begins with `word`.
    void ArmFault(Fault fault, std::string word) {
        const std::lock_guard lock(m_mutex);
        m_fault = fault;
        m_faultWord = std::move(word);
    }
    // Modes it knows; rigctld answers any other with RPRT 0 and keeps its mode.
    void SetKnownModes(std::vector<std::string> modes) {
        const std::lock_guard lock(m_mutex);
        m_modes = std::move(modes);
    }

private:
    void Serve() {
        std::string unread;
        for (;;) {
            pollfd watched[] = {{m_stop.Get(), POLLIN, 0},
                                {m_listener.Get(), POLLIN, 0},
                                {m_client.Get(), POLLIN, 0}};
            ::poll(watched, m_client.IsValid() ? 3 : 2, -1);
            if (watched[0].revents != 0) {
                return;
            }
            if (watched[1].revents != 0) {
                UniqueFd newcomer(::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
                if (m_kind != RigctlServerKind::Sdrpp || !m_client.IsValid()) {
                    // Bounds a send to a client that reads no more.
                    const timeval limit{2, 0};
                    ::setsockopt(newcomer.Get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
                    m_client = std::move(newcomer);
                    m_silent = false;
                    unread.clear();
                }
            }
            if (m_client.IsValid() && (watched[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                ServeClient(unread);
            }
        }
    }

    void ServeClient(std::string& unread) {
        char chunk[4096];
        const ssize_t got = ::recv(m_client.Get(), chunk, sizeof chunk, 0);
        if (got <= 0) {
            m_client.Reset();
            return;
        }
        unread.append(chunk, static_cast<std::size_t>(got));
        for (std::size_t end;
             m_client.IsValid() && (end = unread.find('\n')) != std::string::npos;) {
            const std::string line = unread.substr(0, end);
            // gqrx 2.15.9 takes one line from each read and drops the rest.
            unread.erase(0, m_kind == RigctlServerKind::Gqrx ? unread.size() : end + 1);
            Answer(line);
        }
    }

    void Answer(const std::string& line) {
        std::unique_lock lock(m_mutex);
        m_commands.push_back(line);
        const bool struck = !m_faultWord.empty() && line.starts_with(m_faultWord);
        if (struck) {
            m_faultWord.clear();
            lock.unlock();
            Strike();
        } else if (!m_silent) {
            Send(Reply(line));
        }
    }

    void Strike() {
        switch (m_fault) {
            case Fault::CloseMidCommand:
                m_client.Reset();
                break;
            case Fault::GoSilent:
                m_silent = true;
                break;
            case Fault::Garbage:
                Send("\x01\xff garbage \x7f\n");
                break;
            case Fault::EndlessLine:
                // Far more than any reply, and no line end; it ends when the
                // client hangs up or stops reading.
                for (int chunk = 0; chunk < 256 && Send(std::string(4096, 'x')); ++chunk) {
                }
                break;
        }
    }

    bool Send(const std::string& text) {
        return text.empty() || ::send(m_client.Get(), text.data(), text.size(), MSG_NOSIGNAL) ==
                                   static_cast<ssize_t>(text.size());
    }

    // The reply to one command line, as the kind gives it.
    std::string Reply(const std::string& line) {
        std::istringstream words(line);
        std::string command, first, second, extra;
        words >> command >> first >> second >> extra;
        const bool hamlib = m_kind == RigctlServerKind::Rigctld;
        const std::string refused = hamlib ? "RPRT -11\n" : "RPRT 1\n";
        if (command == "q") {
            m_client.Reset();
            return "";
        }
        if (command == "\\chk_vfo") {
            return m_kind == RigctlServerKind::Sdrpp ? "CHKVFO 0\n" : hamlib ? "0\n" : refused;
        }
        if (command == "\\get_powerstat" && hamlib) {
            // rigctld 4.5.4 leaves it unanswered while its radio is off.
            return m_powerOn ? "1\n" : "";
        }
        if (command == "\\set_powerstat" && hamlib) {
            m_powerOn = first == "1";
            return "RPRT 0\n";
        }
        if (command == "f") {
            return Number(m_hertz, 0) + "\n";
        }
        if (command == "F" && Read(first, m_hertz)) {
            return "RPRT 0\n";
        }
        if (command == "m") {
            return m_mode + "\n" + Number(m_passband, 0) + "\n";
        }
        if (command == "M") {
            return SetMode(first, second, extra);
        }
        if ((command == "AOS" || command == "LOS") && !hamlib) {
            return "RPRT 0\n";
        }
        // gqrx 2.15.9 keeps the squelch in dBFS, from -150 to 0, and has no
        // volume; rigctld takes both as fractions.
        const bool squelch = first == "SQL" && m_kind == RigctlServerKind::Gqrx;
        double& level = first == "AF" ? m_volume : m_squelch;
        if (command == "l" && (hamlib || squelch)) {
            return Number(level, 6) + "\n";
        }
        if (command == "L" && (hamlib || squelch) && Read(second, level)) {
            level = squelch ? std::clamp(level, -150.0, 0.0) : level;
            return "RPRT 0\n";
        }
        return refused;
    }

    std::string SetMode(const std::string& mode, const std::string& width,
                        const std::string& extra) {
        double passband = 0;
        const bool known = std::find(m_modes.begin(), m_modes.end(), mode) != m_modes.end();
        if (!Read(width, passband) || !extra.empty()) {
            return m_kind == RigctlServerKind::Rigctld ? "RPRT -1\n" : "RPRT 1\n";
        }
        if (!known) {
            return m_kind == RigctlServerKind::Rigctld ? "RPRT 0\n" : "RPRT 1\n";
        }
        m_mode = mode;
        m_passband = passband > 0 ? passband : m_passband;
        return "RPRT 0\n";
    }

    static bool Read(const std::string& text, double& number) {
        return !text.empty() &&
               std::from_chars(text.data(), text.data() + text.size(), number).ptr ==
                   text.data() + text.size();
    }
    static std::string Number(double number, int decimals) {
        char text[64];
        return std::string(text, std::to_chars(text, text + sizeof text, number,
                                               std::chars_format::fixed, decimals)
                                     .ptr);
    }

    const RigctlServerKind m_kind;
    UniqueFd m_listener;
    UniqueFd m_stop{::eventfd(0, EFD_CLOEXEC)};
    UniqueFd m_client;
    std::uint16_t m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_commands;
    Fault m_fault = Fault::GoSilent;
    std::string m_faultWord;
    std::vector<std::string> m_modes{"LSB", "USB", "AM", "CW", "FM", "WFM"};
    bool m_silent = false;
    bool m_powerOn = true;
    double m_hertz = 145000000;
    std::string m_mode = "FM";
    double m_passband = 15000;
    double m_volume = 0;
    double m_squelch = m_kind == RigctlServerKind::Gqrx ? -150 : 0;
    std::thread m_thread;
};
