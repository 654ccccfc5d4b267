#include "services/LineOutput.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

#include "framework/StringFormat.h"
#include "platform/kernel/ErrorText.h"

namespace {

// How often a writer waiting for its reader looks whether to give up.
constexpr int kPollMilliseconds = 100;

// The system's reason for the errno `failure`; unlike strerror, safe on any thread.
std::string ReasonText(int failure) {
    std::string text;
    SystemErrorText(static_cast<std::uint32_t>(failure), text);
    return text;
}

std::string LostLine(std::size_t count, const std::string& why) {
    return StringPrintf("(%zu log line%s lost: %s)", count, count == 1 ? "" : "s", why.c_str());
}

}  // namespace

LineOutput::LineOutput(int descriptor, Complaint onReaderGone, std::size_t bufferBytes)
    : m_descriptor(descriptor),
      m_onReaderGone(std::move(onReaderGone)),
      m_bufferBytes(bufferBytes),
      m_writer([this] { WriteUntilStopped(); }) {}

LineOutput::~LineOutput() {
    {
        std::unique_lock lock(m_mutex);
        if (m_dropped > 0) {
            m_waiting.push_back(LostLine(m_dropped, "the reader did not keep up"));
        }
        m_stopping = true;
        m_changed.notify_all();
        if (!m_changed.wait_for(lock, kCloseLimit, [this] { return Idle(); })) {
            m_givingUp = true;
        }
    }
    m_writer.join();
}

void LineOutput::Add(std::string_view line) {
    const std::lock_guard lock(m_mutex);
    if (m_readerGone) {
        return;
    }
    std::string lost = m_dropped > 0 ? LostLine(m_dropped, "the reader did not keep up") : "";
    // Each with its line end.
    const std::size_t needed = (lost.empty() ? 0 : lost.size() + 1) + line.size() + 1;
    if (m_waitingBytes + needed > m_bufferBytes) {
        ++m_dropped;
        return;
    }
    if (!lost.empty()) {
        m_waiting.push_back(std::move(lost));
        m_dropped = 0;
    }
    m_waiting.emplace_back(line);
    m_waitingBytes += needed;
    m_changed.notify_all();
}

bool LineOutput::Flush(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [this] { return Idle(); });
}

void LineOutput::WriteUntilStopped() {
    // A closed pipe then fails the write with EPIPE instead of ending the
    // program, whatever the program does with SIGPIPE.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_waiting.empty() || m_stopping; });
        if (m_waiting.empty() || m_givingUp) {
            return;
        }
        std::string text;
        if (m_failed > 0) {
            text = LostLine(m_failed, ReasonText(m_failure)) + '\n';
        }
        const std::size_t lines = m_waiting.size();
        for (const std::string& line : m_waiting) {
            text.append(line).push_back('\n');
        }
        m_waiting.clear();
        m_waitingBytes = 0;
        m_writing = true;

        lock.unlock();
        const int failure = WriteAll(text);
        lock.lock();

        m_writing = false;
        if (failure == EPIPE) {
            m_readerGone = true;
            m_waiting.clear();
            m_dropped = 0;
            if (m_onReaderGone) {
                m_onReaderGone(StringPrintf("the log's reader is gone (%s); the run goes on",
                                            ReasonText(failure).c_str()));
            }
        } else if (failure != 0) {
            m_failed += lines;
            m_failure = failure;
        } else {
            m_failed = 0;
        }
        m_changed.notify_all();
    }
}

int LineOutput::WriteAll(std::string_view text) const {
    while (!text.empty()) {
        pollfd writable{m_descriptor, POLLOUT, 0};
        const int ready = ::poll(&writable, 1, kPollMilliseconds);
        if (ready == 0) {
            const std::lock_guard lock(m_mutex);
            if (m_givingUp) {
                return ETIMEDOUT;
            }
            continue;
        }
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        // No more than a pipe takes at once once it is writable, so the
        // write itself does not wait for the reader.
        const ssize_t written =
            ::write(m_descriptor, text.data(), std::min<std::size_t>(text.size(), PIPE_BUF));
        if (written >= 0) {
            text.remove_prefix(static_cast<std::size_t>(written));
        } else if (errno != EINTR && errno != EAGAIN) {
            return errno;
        }
    }
    return 0;
}
