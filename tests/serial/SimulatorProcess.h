#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/UniqueFd.h"

// pcr1000-sim as a child process. Its output is collected all along, so it
// never blocks on a full pipe.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const std::vector<std::string>& options) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            throw std::runtime_error("no pipe");
        }
        UniqueFd readEnd(ends[0]);
        const UniqueFd writeEnd(ends[1]);
        std::vector<std::string> words{PCR1000_SIM_PATH};
        words.insert(words.end(), options.begin(), options.end());
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
        m_reader = std::thread([this, fd = std::move(readEnd)] { Collect(fd.Get()); });
    }

    ~SimulatorProcess() { Stop(); }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // The first line of output: the terminal's path, once the link is in place.
    std::string TerminalPath() {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, std::chrono::seconds(10), [this] {
                return m_output.find('\n') != std::string::npos || m_ended;
            })) {
            throw std::runtime_error("the simulator said nothing");
        }
        return m_output.substr(0, m_output.find('\n'));
    }

    // SIGTERM and wait; the exit status, or -1 when it did not exit normally.
    int Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, &m_status, 0);
            m_pid = 0;
        }
        if (m_reader.joinable()) {
            m_reader.join();
        }
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }

    std::string Output() {
        const std::lock_guard lock(m_mutex);
        return m_output;
    }

private:
    void Collect(int fd) {
        char chunk[1024];
        ssize_t got = 0;
        while ((got = ::read(fd, chunk, sizeof chunk)) > 0) {
            const std::lock_guard lock(m_mutex);
            m_output.append(chunk, static_cast<std::size_t>(got));
            m_changed.notify_all();
        }
        const std::lock_guard lock(m_mutex);
        m_ended = true;
        m_changed.notify_all();
    }

    pid_t m_pid = 0;
    int m_status = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_output;
    bool m_ended = false;
    std::thread m_reader;
};
