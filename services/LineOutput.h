#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

// Lines of text for a descriptor (standard output or error) that whoever
// adds them never waits for: a thread of its own writes them out, so a
// reader that stalls or goes away holds up nothing but its own lines.
//
// Lines wait in a buffer of bounded size; one that does not fit is dropped
// and counted, and once lines fit again a line says how many were lost. A
// write that fails loses what it held, said the same way, and the next
// lines are tried again. A reader gone for good (a closed pipe) is told once
// to `onReaderGone`; the lines after it are let go.
class LineOutput {
public:
    using Complaint = std::function<void(std::string_view)>;

    static constexpr std::size_t kDefaultBufferBytes = 1 << 20;
    // How long the end waits for a reader that is slow to take the rest.
    static constexpr std::chrono::milliseconds kCloseLimit{2000};

    // Throws std::system_error when no thread can be started.
    explicit LineOutput(int descriptor, Complaint onReaderGone = {},
                        std::size_t bufferBytes = kDefaultBufferBytes);
    // Writes what is left, waiting at most kCloseLimit for the reader.
    ~LineOutput();
    LineOutput(const LineOutput&) = delete;
    LineOutput& operator=(const LineOutput&) = delete;

    // Adds `line` and its line end; any thread may.
    void Add(std::string_view line);
    // Waits until every line added so far is written or lost, for at most
    // `limit`; true when none is left.
    bool Flush(std::chrono::milliseconds limit);

private:
    // The writer thread: takes what is buffered, writes it, and again.
    void WriteUntilStopped();
    // Writes `text` whole; 0, else the errno of the write that failed.
    int WriteAll(std::string_view text) const;
    bool Idle() const { return m_waiting.empty() && !m_writing; }

    const int m_descriptor;
    const Complaint m_onReaderGone;
    const std::size_t m_bufferBytes;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_waiting;
    std::size_t m_waitingBytes = 0;
    // Lines dropped since the last that fit, and lost to a failed write
    // since the last write that went through.
    std::size_t m_dropped = 0;
    std::size_t m_failed = 0;
    int m_failure = 0;
    bool m_writing = false;
    bool m_readerGone = false;
    bool m_stopping = false;
    bool m_givingUp = false;
    std::thread m_writer;
};
