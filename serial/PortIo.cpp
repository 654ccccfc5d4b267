#include "serial/PortIo.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/kernel/ErrorText.h"

namespace {

// A fresh port ends a read 50 ms after the line went quiet, so a reply is
// taken whole however the receiver or a USB adapter frames and delays it.
constexpr COMMTIMEOUTS kFreshPortTimeouts{50, 0, 0, 0, 0};
constexpr std::size_t kInputChunk = 4096;

bool IsImmediateRead(const COMMTIMEOUTS& timeouts) {
    return timeouts.ReadIntervalTimeout == MAXDWORD && timeouts.ReadTotalTimeoutMultiplier == 0 &&
           timeouts.ReadTotalTimeoutConstant == 0;
}

std::uint64_t TotalMilliseconds(std::uint32_t multiplier, std::uint32_t constant,
                                std::uint32_t count) {
    return std::uint64_t{multiplier} * count + constant;
}

bool HasHungUp(int fd) {
    pollfd probe{fd, 0, 0};
    return ::poll(&probe, 1, 0) == 1 && (probe.revents & (POLLHUP | POLLERR)) != 0;
}

}  // namespace

struct PortIo::Transfer {
    Notice notice;
    Clock::time_point started = Clock::now();
    // Read: where the bytes go and how many are wanted.
    char* into = nullptr;
    std::uint32_t count = 0;
    // Write: bytes the kernel has not taken yet, and how many it has.
    std::string unsent;
    std::uint32_t sent = 0;
    // Event wait: where the events found go.
    std::uint32_t* events = nullptr;
};

PortIo::PortIo(int fd) : m_fd(fd), m_timeouts(kFreshPortTimeouts), m_wake(EventReset::Auto, false) {
    m_worker = std::thread([this] { Run(); });
}

PortIo::~PortIo() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        CancelLocked(true, true, true);
    }
    m_wake.Set();
    m_worker.join();
}

std::unique_ptr<PortIo::Transfer> PortIo::Begin(const Notice& notice) {
    auto transfer = std::make_unique<Transfer>();
    transfer->notice = notice;
    OVERLAPPED& record = *notice.record;
    if (notice.routine == nullptr && record.hEvent != nullptr) {
        record.hEvent->Reset();
    }
    record.InternalHigh = 0;
    record.Internal = STATUS_PENDING;
    record.pEngine = this;
    return transfer;
}

bool PortIo::FailAtStart(const Notice& notice, int error) {
    // A start that fails tells nobody but its caller: no event, no routine.
    notice.record->pEngine = nullptr;
    notice.record->Internal = static_cast<std::uint32_t>(error);
    errno = error;
    return false;
}

bool PortIo::StartedOrPending(const Notice& notice) {
    if (notice.record->Internal == STATUS_PENDING) {
        m_wake.Set();
        errno = static_cast<int>(ERROR_IO_PENDING);
        return false;
    }
    return true;
}

bool PortIo::StartRead(void* buffer, std::uint32_t count, const Notice& notice) {
    Release(*notice.record);
    const std::lock_guard lock(m_mutex);
    if (m_lostError != 0) {
        return FailAtStart(notice, m_lostError);
    }
    std::unique_ptr<Transfer> read = Begin(notice);
    read->into = static_cast<char*>(buffer);
    read->count = count;
    if (m_reads.empty()) {
        const Clock::time_point now = Clock::now();
        if (PullInput(count, now) == Progress::Lost) {
            MarkLost(errno);
            if (m_staged.empty()) {
                return FailAtStart(notice, m_lostError);
            }
        }
        m_reads.push_back(std::move(read));
        ProgressReads(now);
    } else {
        m_reads.push_back(std::move(read));
    }
    return StartedOrPending(notice);
}

bool PortIo::StartWrite(const void* data, std::uint32_t count, const Notice& notice) {
    Release(*notice.record);
    const std::lock_guard lock(m_mutex);
    if (m_lostError != 0) {
        return FailAtStart(notice, m_lostError);
    }
    std::unique_ptr<Transfer> write = Begin(notice);
    write->unsent.assign(static_cast<const char*>(data), count);
    if (m_writes.empty()) {
        switch (PushOutput(*write)) {
            case Progress::Done:
                End(*write, 0, write->sent);
                return true;
            case Progress::Lost:
                MarkLost(errno);
                notice.record->InternalHigh = write->sent;
                return FailAtStart(notice, m_lostError);
            case Progress::Blocked:
                break;
        }
    }
    m_writes.push_back(std::move(write));
    return StartedOrPending(notice);
}

bool PortIo::StartCommWait(std::uint32_t& events, OVERLAPPED& record) {
    Release(record);
    const std::lock_guard lock(m_mutex);
    const Notice notice{&record, nullptr, nullptr};
    if (m_lostError != 0) {
        return FailAtStart(notice, m_lostError);
    }
    if (m_mask == 0 || m_commWait != nullptr) {
        return FailAtStart(notice, EINVAL);
    }
    m_commWait = Begin(notice);
    m_commWait->events = &events;
    if ((m_mask & EV_RXCHAR) != 0 && InputWaiting()) {
        EndCommWait(EV_RXCHAR);
    }
    return StartedOrPending(notice);
}

bool PortIo::Result(OVERLAPPED& record, std::uint32_t& bytes, bool wait) {
    std::unique_lock lock(m_mutex);
    if (record.Internal == STATUS_PENDING) {
        if (record.pEngine != this) {
            errno = EINVAL;
            return false;
        }
        if (!wait) {
            bytes = 0;
            errno = static_cast<int>(ERROR_IO_PENDING);
            return false;
        }
        m_ended.wait(lock, [&record] { return record.Internal != STATUS_PENDING; });
    }
    bytes = record.InternalHigh;
    const std::uint32_t status = record.Internal;
    if (status != 0) {
        errno = static_cast<int>(status);
        return false;
    }
    return true;
}

void PortIo::Release(OVERLAPPED& record) {
    if (PortIo* const engine = record.pEngine.load()) {
        engine->Withdraw(record);
    }
}

void PortIo::Withdraw(OVERLAPPED& record) {
    const std::lock_guard lock(m_mutex);
    if (record.pEngine != this) {
        return;
    }
    const auto holds = [&record](const std::unique_ptr<Transfer>& transfer) {
        return transfer->notice.record == &record;
    };
    const bool headGoes = !m_reads.empty() && holds(m_reads.front());
    std::erase_if(m_reads, holds);
    if (headGoes && !m_reads.empty()) {
        m_reads.front()->started = Clock::now();
    }
    for (const std::unique_ptr<Transfer>& write : m_writes) {
        if (holds(write)) {
            write->notice.record = nullptr;
        }
    }
    if (m_commWait != nullptr && holds(m_commWait)) {
        m_commWait.reset();
    }
    record.pEngine = nullptr;
    record.Internal = ECANCELED;
    m_wake.Set();
}

void PortIo::End(Transfer& transfer, std::uint32_t error, std::uint32_t bytes) {
    OVERLAPPED* const record = transfer.notice.record;
    if (record != nullptr) {
        record->InternalHigh = bytes;
        record->pEngine = nullptr;
        record->Internal = error;
        if (transfer.notice.routine != nullptr) {
            transfer.notice.thread->Post([routine = transfer.notice.routine, error, bytes, record] {
                routine(error, bytes, record);
            });
        } else if (record->hEvent != nullptr) {
            record->hEvent->Set();
        }
    }
    m_ended.notify_all();
}

void PortIo::FinishRead(Transfer& read) {
    if (m_staged.empty() && m_lostError != 0) {
        End(read, static_cast<std::uint32_t>(m_lostError), 0);
        return;
    }
    const std::size_t delivered = std::min<std::size_t>(read.count, m_staged.size());
    std::memcpy(read.into, m_staged.data(), delivered);
    m_staged.erase(0, delivered);
    End(read, 0, static_cast<std::uint32_t>(delivered));
}

bool PortIo::ReadIsDue(const Transfer& read, Clock::time_point now) const {
    if (m_staged.size() >= read.count || m_lostError != 0 || IsImmediateRead(m_timeouts)) {
        return true;
    }
    const auto passed = [now](const std::optional<Clock::time_point>& deadline) {
        return deadline && now >= *deadline;
    };
    return passed(QuietDeadline()) || passed(ReadTotalDeadline(read));
}

std::optional<PortIo::Clock::time_point> PortIo::QuietDeadline() const {
    const std::uint32_t interval = m_timeouts.ReadIntervalTimeout;
    if (m_staged.empty() || interval == 0) {
        return std::nullopt;
    }
    return interval == MAXDWORD ? m_lastByte : m_lastByte + std::chrono::milliseconds(interval);
}

std::optional<PortIo::Clock::time_point> PortIo::ReadTotalDeadline(const Transfer& read) const {
    const std::uint64_t total = TotalMilliseconds(m_timeouts.ReadTotalTimeoutMultiplier,
                                                  m_timeouts.ReadTotalTimeoutConstant, read.count);
    if (total == 0) {
        return std::nullopt;
    }
    return read.started + std::chrono::milliseconds(total);
}

std::optional<PortIo::Clock::time_point> PortIo::WriteTotalDeadline(const Transfer& write) const {
    const std::uint64_t total =
        TotalMilliseconds(m_timeouts.WriteTotalTimeoutMultiplier,
                          m_timeouts.WriteTotalTimeoutConstant, write.sent + write.unsent.size());
    if (total == 0) {
        return std::nullopt;
    }
    return write.started + std::chrono::milliseconds(total);
}

int PortIo::PollTimeout(Clock::time_point now) const {
    std::optional<Clock::time_point> next;
    const auto consider = [&next](const std::optional<Clock::time_point>& deadline) {
        if (deadline && (!next || *deadline < *next)) {
            next = deadline;
        }
    };
    if (!m_reads.empty()) {
        consider(QuietDeadline());
        consider(ReadTotalDeadline(*m_reads.front()));
    }
    if (!m_writes.empty()) {
        consider(WriteTotalDeadline(*m_writes.front()));
    }
    if (!next) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left, 0, 1'000'000'000));
}

short PortIo::Interest() const {
    short interest = 0;
    if (m_lostError == 0) {
        if (!m_reads.empty() || (m_commWait != nullptr && (m_mask & EV_RXCHAR) != 0)) {
            interest |= POLLIN;
        }
        if (!m_writes.empty()) {
            interest |= POLLOUT;
        }
    }
    return interest;
}

bool PortIo::InputWaiting() const {
    int queued = 0;
    return !m_staged.empty() || (::ioctl(m_fd, TIOCINQ, &queued) == 0 && queued > 0);
}

PortIo::Progress PortIo::PullInput(std::uint32_t count, Clock::time_point now) {
    if (m_staged.size() >= count) {
        return Progress::Done;
    }
    std::array<char, kInputChunk> chunk;
    const std::size_t wanted = std::min(count - m_staged.size(), chunk.size());
    for (;;) {
        const ssize_t got = ::read(m_fd, chunk.data(), wanted);
        if (got > 0) {
            m_staged.append(chunk.data(), static_cast<std::size_t>(got));
            m_lastByte = now;
            EndCommWait(EV_RXCHAR);
            return Progress::Done;
        }
        if (got == 0) {
            // End of file means the line hung up, unless the terminal was
            // left with VMIN 0, where it only means "nothing there".
            if (!HasHungUp(m_fd)) {
                return Progress::Blocked;
            }
            errno = EIO;
            return Progress::Lost;
        }
        if (errno != EINTR) {
            return errno == EAGAIN ? Progress::Blocked : Progress::Lost;
        }
    }
}

PortIo::Progress PortIo::PushOutput(Transfer& write) {
    while (!write.unsent.empty()) {
        const ssize_t taken = ::write(m_fd, write.unsent.data(), write.unsent.size());
        if (taken >= 0) {
            write.sent += static_cast<std::uint32_t>(taken);
            write.unsent.erase(0, static_cast<std::size_t>(taken));
        } else if (errno != EINTR) {
            return errno == EAGAIN ? Progress::Blocked : Progress::Lost;
        }
    }
    return Progress::Done;
}

void PortIo::ServiceLine(short revents, Clock::time_point now) {
    if ((revents & POLLNVAL) != 0) {
        MarkLost(EBADF);
        return;
    }
    // A broken line that yields nothing would wake us again at once.
    const bool broken = (revents & (POLLHUP | POLLERR)) != 0;
    const auto settle = [this, broken](Progress progress) {
        if (progress == Progress::Lost) {
            MarkLost(errno);
        } else if (progress == Progress::Blocked && broken) {
            MarkLost(EIO);
        }
        return progress == Progress::Done;
    };
    if (!m_reads.empty()) {
        settle(PullInput(m_reads.front()->count, now));
    } else if (m_commWait != nullptr) {
        if (InputWaiting()) {
            EndCommWait(EV_RXCHAR);
        } else if (broken) {
            MarkLost(EIO);
        }
    }
    while (!m_writes.empty() && m_lostError == 0 && settle(PushOutput(*m_writes.front()))) {
        EndHeadWrite(now);
    }
}

void PortIo::ProgressReads(Clock::time_point now) {
    while (!m_reads.empty() && ReadIsDue(*m_reads.front(), now)) {
        const std::unique_ptr<Transfer> read = std::move(m_reads.front());
        m_reads.pop_front();
        FinishRead(*read);
        if (!m_reads.empty()) {
            m_reads.front()->started = now;
        }
    }
}

void PortIo::ProgressWrites(Clock::time_point now) {
    // A write whose total time is up ends successfully with what went out.
    while (!m_writes.empty()) {
        const std::optional<Clock::time_point> deadline = WriteTotalDeadline(*m_writes.front());
        if (!deadline || now < *deadline) {
            return;
        }
        EndHeadWrite(now);
    }
}

void PortIo::EndHeadWrite(Clock::time_point now) {
    End(*m_writes.front(), 0, m_writes.front()->sent);
    m_writes.pop_front();
    if (!m_writes.empty()) {
        m_writes.front()->started = now;
    }
}

void PortIo::EndCommWait(std::uint32_t events) {
    if (m_commWait == nullptr) {
        return;
    }
    *m_commWait->events = events;
    End(*m_commWait, 0, 0);
    m_commWait.reset();
}

void PortIo::MarkLost(int error) {
    if (m_lostError != 0) {
        return;
    }
    m_lostError = error;
    for (const std::unique_ptr<Transfer>& read : m_reads) {
        FinishRead(*read);
    }
    m_reads.clear();
    for (const std::unique_ptr<Transfer>& write : m_writes) {
        End(*write, static_cast<std::uint32_t>(error), write->sent);
    }
    m_writes.clear();
    if (m_commWait != nullptr) {
        End(*m_commWait, static_cast<std::uint32_t>(error), 0);
        m_commWait.reset();
    }
}

void PortIo::Cancel(bool reads, bool writes, bool commWaits) {
    const std::lock_guard lock(m_mutex);
    CancelLocked(reads, writes, commWaits);
}

void PortIo::CancelLocked(bool reads, bool writes, bool commWaits) {
    if (reads) {
        for (const std::unique_ptr<Transfer>& read : m_reads) {
            End(*read, ECANCELED, 0);
        }
        m_reads.clear();
    }
    if (writes) {
        for (const std::unique_ptr<Transfer>& write : m_writes) {
            End(*write, ECANCELED, write->sent);
        }
        m_writes.clear();
    }
    if (commWaits && m_commWait != nullptr) {
        End(*m_commWait, ECANCELED, 0);
        m_commWait.reset();
    }
    m_wake.Set();
}

void PortIo::ClearInput() {
    const std::lock_guard lock(m_mutex);
    m_staged.clear();
}

bool PortIo::WaitForWrites(Clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    return m_ended.wait_until(lock, deadline, [this] { return m_writes.empty(); });
}

std::uint32_t PortIo::StagedInput() const {
    const std::lock_guard lock(m_mutex);
    return static_cast<std::uint32_t>(m_staged.size());
}

std::uint32_t PortIo::QueuedOutput() const {
    const std::lock_guard lock(m_mutex);
    std::size_t queued = 0;
    for (const std::unique_ptr<Transfer>& write : m_writes) {
        queued += write->unsent.size();
    }
    return static_cast<std::uint32_t>(queued);
}

COMMTIMEOUTS PortIo::Timeouts() const {
    const std::lock_guard lock(m_mutex);
    return m_timeouts;
}

void PortIo::SetTimeouts(const COMMTIMEOUTS& timeouts) {
    const std::lock_guard lock(m_mutex);
    m_timeouts = timeouts;
    m_wake.Set();
}

std::uint32_t PortIo::Mask() const {
    const std::lock_guard lock(m_mutex);
    return m_mask;
}

void PortIo::SetMask(std::uint32_t mask) {
    const std::lock_guard lock(m_mutex);
    m_mask = mask;
    EndCommWait(0);
}

int PortIo::LostError() const {
    const std::lock_guard lock(m_mutex);
    return m_lostError;
}

void PortIo::Run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        const short interest = Interest();
        const int timeout = PollTimeout(Clock::now());
        lock.unlock();
        std::array<pollfd, 2> watched{
            {{m_wake.Descriptor(), POLLIN, 0}, {interest != 0 ? m_fd : -1, interest, 0}}};
        ::poll(watched.data(), watched.size(), timeout);
        m_wake.TryAcquire();
        lock.lock();
        if (m_stopping) {
            break;
        }
        const Clock::time_point now = Clock::now();
        if (watched[1].revents != 0) {
            ServiceLine(watched[1].revents, now);
        }
        ProgressReads(now);
        ProgressWrites(now);
    }
}
