#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/kernel/CompletionQueue.h"
#include "platform/kernel/Event.h"
#include "serial/CommTypes.h"

// Runs the reads, writes and event waits of one open terminal in the
// background, so a started transfer ends, and signals its record's event,
// while the starting thread is blocked anywhere else (in ReceiveReply's
// wait, or later in the run loop inside Qt's event loop).
//
// A worker thread does it, blocked in poll() on the terminal and on a wake-up
// event. It watches the terminal only while a transfer needs it, so an idle
// port, a silent receiver or a terminal that has hung up costs no CPU. Reads
// go through a staging buffer so the engine can tell when the line has been
// quiet; bytes staged but not yet delivered stay queued for the next read.
//
// Reads end by the time-outs of COMMTIMEOUTS; a fresh port has a read
// interval of 50 ms, so a read ends once its bytes are all there or when at
// least one byte came and the line was then quiet for 50 ms. Writes end once
// the kernel has taken every byte; they copy their data, so the caller's
// buffer may go at once. A terminal that hangs up, or whose descriptor
// fails, ends every transfer with that error, and every later one at once.
class PortIo {
public:
    // How the end of a transfer is told: through `record` (its event set), or,
    // with a routine, by queuing the routine for the starting thread.
    struct Notice {
        OVERLAPPED* record = nullptr;
        LPOVERLAPPED_COMPLETION_ROUTINE routine = nullptr;
        std::shared_ptr<CompletionQueue> thread;
    };

    // `fd` is non-blocking and stays the caller's.
    explicit PortIo(int fd);
    // Ends every transfer as cancelled and stops the worker.
    ~PortIo();
    PortIo(const PortIo&) = delete;
    PortIo& operator=(const PortIo&) = delete;

    // Each start returns true when the transfer ended at once (the record
    // filled in, its event set or its routine queued); else false with errno
    // ERROR_IO_PENDING while it goes on, or the error of a start that failed,
    // which reports nothing else. A record still busy is taken over first.
    bool StartRead(void* buffer, std::uint32_t count, const Notice& notice);
    bool StartWrite(const void* data, std::uint32_t count, const Notice& notice);
    // Waits for an event of the mask; only the arrival of characters
    // (EV_RXCHAR) is reported on this platform.
    bool StartCommWait(std::uint32_t& events, OVERLAPPED& record);

    // The outcome of the record's transfer; with `wait`, blocks until it ends.
    // False with errno: ERROR_IO_PENDING (still running, no wait), EINVAL (the
    // transfer runs elsewhere) or the transfer's error.
    bool Result(OVERLAPPED& record, std::uint32_t& bytes, bool wait);

    // Ends the transfers of the kinds given as cancelled (ECANCELED).
    void Cancel(bool reads, bool writes, bool commWaits);
    // Forgets the staged input.
    void ClearInput();
    // Blocks until every queued write has been taken by the kernel or ended;
    // false when writes are still queued at `deadline`.
    bool WaitForWrites(std::chrono::steady_clock::time_point deadline);

    std::uint32_t StagedInput() const;
    std::uint32_t QueuedOutput() const;
    COMMTIMEOUTS Timeouts() const;
    void SetTimeouts(const COMMTIMEOUTS& timeouts);
    std::uint32_t Mask() const;
    // A new mask ends a pending event wait with no events.
    void SetMask(std::uint32_t mask);
    // The error every transfer now ends with, 0 while the terminal works.
    int LostError() const;

    // Takes `record` away from a transfer still using it, without reporting
    // that transfer: a read or event wait is dropped (its bytes stay staged),
    // a write carries on unseen. The record reads as cancelled afterwards.
    static void Release(OVERLAPPED& record);

private:
    using Clock = std::chrono::steady_clock;
    struct Transfer;
    enum class Progress { Done, Blocked, Lost };

    void Run();
    std::unique_ptr<Transfer> Begin(const Notice& notice);
    bool FailAtStart(const Notice& notice, int error);
    bool StartedOrPending(const Notice& notice);
    void Withdraw(OVERLAPPED& record);
    void End(Transfer& transfer, std::uint32_t error, std::uint32_t bytes);
    void FinishRead(Transfer& read);
    bool ReadIsDue(const Transfer& read, Clock::time_point now) const;
    std::optional<Clock::time_point> QuietDeadline() const;
    std::optional<Clock::time_point> ReadTotalDeadline(const Transfer& read) const;
    std::optional<Clock::time_point> WriteTotalDeadline(const Transfer& write) const;
    int PollTimeout(Clock::time_point now) const;
    short Interest() const;
    bool InputWaiting() const;
    // Stage input toward `count` bytes; Lost leaves errno set.
    Progress PullInput(std::uint32_t count, Clock::time_point now);
    // Hand what the kernel takes to it; Lost leaves errno set.
    Progress PushOutput(Transfer& write);
    void EndHeadWrite(Clock::time_point now);
    void CancelLocked(bool reads, bool writes, bool commWaits);
    void ServiceLine(short revents, Clock::time_point now);
    void ProgressReads(Clock::time_point now);
    void ProgressWrites(Clock::time_point now);
    void EndCommWait(std::uint32_t events);
    void MarkLost(int error);

    const int m_fd;
    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    std::deque<std::unique_ptr<Transfer>> m_reads;
    std::deque<std::unique_ptr<Transfer>> m_writes;
    std::unique_ptr<Transfer> m_commWait;
    std::string m_staged;
    Clock::time_point m_lastByte;
    COMMTIMEOUTS m_timeouts;
    std::uint32_t m_mask = 0;
    int m_lostError = 0;
    bool m_stopping = false;
    Event m_wake;
    std::thread m_worker;
};
