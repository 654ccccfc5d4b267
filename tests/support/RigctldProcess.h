#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/Loopback.h"

// Hamlib's rigctld with its dummy radio (model 1) on a free port of
// 127.0.0.1, from Debian's libhamlib-utils; stopped at the end.
class RigctldProcess {
public:
    static constexpr const char* kProgram = "/usr/bin/rigctld";

    RigctldProcess() {
        // A test running beside this one may be handed the same free port
        // first: rigctld then cannot listen, and its port is another's.
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_port = FreePort();
            m_process.reset();
            m_process.emplace(std::vector<std::string>{kProgram, "-m", "1", "-T", "127.0.0.1", "-t",
                                                       std::to_string(m_port)});
            if (AwaitListening()) {
                return;
            }
        }
        throw std::runtime_error("rigctld does not listen");
    }

    std::uint16_t Port() const { return m_port; }
    std::string Address() const { return LoopbackText(m_port); }

private:
    // A port nothing listens on now.
    static std::uint16_t FreePort() {
        const UniqueFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        return BindLoopback(probe.Get(), 0);
    }

    // It listens once it has opened the radio (some 70 ms); false when it
    // ended first, or after ten seconds.
    bool AwaitListening() const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end && !Ended()) {
            if (ListensItself()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // Left unreaped: its ChildProcess reaps it.
    bool Ended() const {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(m_process->Pid()), &info,
                        WEXITED | WNOHANG | WNOWAIT) != 0 ||
               info.si_pid != 0;
    }
    // Whether the socket that listens on the port is one of rigctld's.
    bool ListensItself() const {
        std::ifstream table("/proc/net/tcp");
        char port[8];
        std::snprintf(port, sizeof port, ":%04X", m_port);
        std::string inode;
        for (std::string line; std::getline(table, line) && inode.empty();) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
                timeout;
            if (local.ends_with(port) && state == "0A") {
                fields >> inode;
            }
        }
        const std::filesystem::path fds = "/proc/" + std::to_string(m_process->Pid()) + "/fd";
        std::error_code failed;
        for (const auto& fd : std::filesystem::directory_iterator(fds, failed)) {
            if (std::filesystem::read_symlink(fd.path(), failed) == "socket:[" + inode + "]") {
                return !inode.empty();
            }
        }
        return false;
    }

    std::uint16_t m_port = 0;
    std::optional<ChildProcess> m_process;
};
