#pragma once

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "tests/support/ChildProcess.h"
#include "tests/support/Loopback.h"

// Hamlib's rigctld with its dummy radio (model 1) on a free port of
// 127.0.0.1, from Debian's libhamlib-utils; stopped at the end.
class RigctldProcess {
public:
    static constexpr const char* kProgram = "/usr/bin/rigctld";

    RigctldProcess()
        : m_port(FreePort()),
          m_process({kProgram, "-m", "1", "-T", "127.0.0.1", "-t", std::to_string(m_port)}) {
        // It listens once it has opened the radio (some 70 ms).
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Answers()) {
            if (std::chrono::steady_clock::now() > end) {
                throw std::runtime_error("rigctld does not listen");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::uint16_t Port() const { return m_port; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    // A port nothing listens on now; the kernel does not hand it out again at once.
    static std::uint16_t FreePort() {
        const UniqueFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address = LoopbackAddress(0);
        socklen_t length = sizeof address;
        if (::bind(probe.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("no free port");
        }
        return ntohs(address.sin_port);
    }
    bool Answers() const { return ConnectToLoopback(m_port).IsValid(); }

    std::uint16_t m_port;
    ChildProcess m_process;
};
