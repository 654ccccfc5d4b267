#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/kernel/UniqueFd.h"
#include "tests/support/Pipe.h"

// How a test starts a ChildProcess, beside its words.
struct ChildOptions {
    // Standard descriptors the program starts without.
    std::vector<int> closed;
    // Its standard output starts full, as a reader that stopped leaves it.
    bool fullOutput = false;
};

// A program run by a test, with its standard output and error in pipes
// that are read as the test asks for them. It inherits the test's
// environment and working directory; it is stopped with SIGTERM at the end.
class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> words, const ChildOptions& options = {}) {
        Pipe out;
        Pipe err;
        if (options.fullOutput) {
            out.Fill();
        }
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out.writer.Get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err.writer.Get(), STDERR_FILENO);
        for (const int descriptor : options.closed) {
            posix_spawn_file_actions_addclose(&actions, descriptor);
        }
        const int failed = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) {
            throw std::runtime_error("cannot start " + words[0]);
        }
        m_out = std::move(out.reader);
        m_err = std::move(err.reader);
    }
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    void Signal(int signal) const {
        if (m_pid > 0) {
            ::kill(m_pid, signal);
        }
    }

    // Waits until the standard output holds `text`, or `limit` has passed.
    bool AwaitOutput(const std::string& text, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (m_outText.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0 ||
                !ReadWithin(m_out, m_outText, static_cast<int>(left.count()))) {
                return false;
            }
        }
        return true;
    }

    // Waits for the end; the exit status, or -1 when a signal ended it or it
    // did not end within `limit` (it is then killed).
    int Wait(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (m_pid > 0 && ::waitpid(m_pid, &m_status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &m_status, 0);
                m_pid = 0;
                return -1;
            }
            ::usleep(10'000);
        }
        m_pid = 0;
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }
    // Reads and drops what its standard output holds, without waiting: a
    // long-running program that writes freely must not find the pipe full.
    void DiscardOutput() {
        std::string dropped;
        while (ReadWithin(m_out, dropped, 0)) {
            dropped.clear();
        }
    }

    // The reader of its standard output goes away.
    void CloseOutput() { m_out.Reset(); }

    // SIGTERM and wait.
    int Stop() {
        Signal(SIGTERM);
        return Wait(std::chrono::seconds(10));
    }

    // All it wrote to each stream so far; read whole once it has ended.
    const std::string& Output() {
        DrainIfEnded(m_out, m_outText);
        return m_outText;
    }
    const std::string& Errors() {
        DrainIfEnded(m_err, m_errText);
        return m_errText;
    }

private:
    void DrainIfEnded(const UniqueFd& pipe, std::string& text) const {
        if (m_pid == 0) {
            while (ReadWithin(pipe, text, 0)) {
            }
        }
    }

    pid_t m_pid = 0;
    int m_status = 0;
    UniqueFd m_out;
    UniqueFd m_err;
    std::string m_outText;
    std::string m_errText;
};
