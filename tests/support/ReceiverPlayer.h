#pragma once

#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/serial/FakeReceiverLine.h"

// Plays the receiver on a FakeReceiverLine from a thread of its own, so it
// answers while the port's side waits for a reply: each command the port
// sends (through its LF) gets what `answer` makes of it.
class ReceiverPlayer {
public:
    using Answerer = std::function<std::string(const std::string& command)>;

    ReceiverPlayer(FakeReceiverLine& line, Answerer answer)
        : m_line(line), m_answer(std::move(answer)), m_thread([this] { Play(); }) {}
    ~ReceiverPlayer() {
        m_stopping = true;
        // A byte from the port's side ends the player's wait for the next one;
        // without it the player notices within its wait of a few seconds. An
        // XOFF the player sent would hold that byte back; only XON undoes it.
        m_line.Send("\x11");
        [[maybe_unused]] const ssize_t woken = ::write(m_line.TerminalFd(), "\n", 1);
        m_thread.join();
    }
    ReceiverPlayer(const ReceiverPlayer&) = delete;
    ReceiverPlayer& operator=(const ReceiverPlayer&) = delete;

    // The commands it has answered, oldest first, with their line ends.
    std::vector<std::string> Commands() const {
        const std::lock_guard lock(m_mutex);
        return m_commands;
    }

private:
    void Play() {
        std::string command;
        while (!m_stopping) {
            command += m_line.Receive(1);
            if (command.ends_with('\n') && !m_stopping) {
                m_line.Send(m_answer(command));
                const std::lock_guard lock(m_mutex);
                m_commands.push_back(std::exchange(command, {}));
            }
        }
    }

    FakeReceiverLine& m_line;
    const Answerer m_answer;
    std::atomic<bool> m_stopping = false;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_commands;
    // Last, so that it starts once everything it uses is in place.
    std::thread m_thread;
};
