#pragma once

#include <signal.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

// pcr1000-sim as a child process. Needs PCR1000_SIM_PATH.
class SimulatorProcess {
public:
    explicit SimulatorProcess(std::vector<std::string> words) : m_process(WithProgram(words)) {}

    // The first line of output: the terminal's path, once the link is in place.
    std::string TerminalPath() {
        if (!m_process.AwaitOutput("\n", std::chrono::seconds(10))) {
            throw std::runtime_error("the simulator said nothing");
        }
        const std::string& text = m_process.Output();
        return text.substr(0, text.find('\n'));
    }

    pid_t Pid() const { return m_process.Pid(); }
    // Drops what it printed so far, so that it never waits to print more.
    void DiscardOutput() { m_process.DiscardOutput(); }

    // SIGTERM and wait; the exit status, or -1 when it did not exit normally.
    int Stop() { return m_process.Stop(); }
    // SIGKILL and wait: it ends as a crash ends it, with nothing of its own run.
    void Kill() {
        m_process.Signal(SIGKILL);
        m_process.Wait(std::chrono::seconds(10));
    }

    // Everything it printed; it is stopped first.
    std::string Output() {
        Stop();
        return m_process.Output();
    }

private:
    static std::vector<std::string> WithProgram(std::vector<std::string> words) {
        words.insert(words.begin(), PCR1000_SIM_PATH);
        return words;
    }

    ChildProcess m_process;
};
