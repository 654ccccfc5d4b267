#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/kernel/UniqueFd.h"

// pcr1000-sim as a child process, its output in a pipe (a few lines, far
// less than the pipe holds, so it never blocks on it).
class SimulatorProcess {
public:
    explicit SimulatorProcess(std::vector<std::string> words) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            throw std::runtime_error("no pipe");
        }
        m_output.Reset(ends[0]);
        const UniqueFd writeEnd(ends[1]);
        words.insert(words.begin(), PCR1000_SIM_PATH);
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
        const int failed = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) {
            throw std::runtime_error("cannot start " + words[0]);
        }
    }
    ~SimulatorProcess() { Stop(); }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // The first line of output: the terminal's path, once the link is in place.
    std::string TerminalPath() {
        while (m_text.find('\n') == std::string::npos && ReadMore()) {
        }
        if (m_text.find('\n') == std::string::npos) {
            throw std::runtime_error("the simulator said nothing");
        }
        return m_text.substr(0, m_text.find('\n'));
    }

    // SIGTERM and wait; the exit status, or -1 when it did not exit normally.
    int Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, &m_status, 0);
            m_pid = 0;
        }
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }

    // Everything it printed; it is stopped first.
    std::string Output() {
        Stop();
        while (ReadMore()) {
        }
        return m_text;
    }

private:
    bool ReadMore() {
        char chunk[1024];
        const ssize_t got = ::read(m_output.Get(), chunk, sizeof chunk);
        m_text.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        return got > 0;
    }

    pid_t m_pid = 0;
    int m_status = 0;
    UniqueFd m_output;
    std::string m_text;
};
