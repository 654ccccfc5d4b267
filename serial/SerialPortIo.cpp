// The transfers of CSerialPort: synchronous, overlapped and with completion
// routines, the event waits, and the radio exchange.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "framework/Diagnostics.h"
#include "platform/kernel/ErrorText.h"
#include "platform/kernel/Wait.h"
#include "serial/CommApi.h"
#include "serial/SerialFailure.h"
#include "serial/serialport.h"

namespace {

// An overlapped start: true when it ended at once, false while it goes on;
// any other failure throws.
bool EndedOrPending(bool ended, const char* failureTrace) {
    if (!ended) {
        RequireSerialCall(errno == static_cast<int>(ERROR_IO_PENDING), failureTrace);
    }
    return ended;
}

// Starts a transfer whose end reaches the port's IoCompleted. The record
// goes with the transfer, and is freed here when it cannot start.
template <class Start>
void StartWithRoutine(CSerialPort& port, Start start, const char* failureTrace) {
    auto record = std::make_unique<OVERLAPPED>();
    record->pIssuer = &port;
    RequireSerialCall(start(*record), failureTrace);
    static_cast<void>(record.release());
}

// Takes a record that goes out of scope away from any transfer still using it.
class RecordRelease {
public:
    explicit RecordRelease(OVERLAPPED& record) : m_record(record) {}
    ~RecordRelease() { ResetOverlapped(m_record, nullptr); }
    RecordRelease(const RecordRelease&) = delete;
    RecordRelease& operator=(const RecordRelease&) = delete;

private:
    OVERLAPPED& m_record;
};

}  // namespace

std::uint32_t CSerialPort::Read(void* lpBuf, std::uint32_t dwCount) {
    AssertOpen();
    VANTREL_ASSERT(!m_bOverlapped);
    std::uint32_t bytesRead = 0;
    RequireSerialCall(ReadFile(m_hComm.get(), lpBuf, dwCount, &bytesRead, nullptr),
                      "Failed in call to ReadFile\n");
    return bytesRead;
}

bool CSerialPort::Read(void* lpBuf, std::uint32_t dwCount, OVERLAPPED& overlapped,
                       std::uint32_t* pBytesRead) {
    AssertOpen();
    VANTREL_ASSERT(m_bOverlapped);
    std::uint32_t bytesRead = 0;
    const bool ended =
        EndedOrPending(ReadFile(m_hComm.get(), lpBuf, dwCount, &bytesRead, &overlapped),
                       "Failed in call to ReadFile\n");
    if (ended && pBytesRead != nullptr) {
        *pBytesRead = bytesRead;
    }
    return ended;
}

std::uint32_t CSerialPort::Write(const void* lpBuf, std::uint32_t dwCount) {
    AssertOpen();
    std::uint32_t bytesWritten = 0;
    RequireSerialCall(WriteFile(m_hComm.get(), lpBuf, dwCount, &bytesWritten, nullptr),
                      "Failed in call to WriteFile\n");
    return bytesWritten;
}

bool CSerialPort::Write(const void* lpBuf, std::uint32_t dwCount, OVERLAPPED& overlapped) {
    AssertOpen();
    VANTREL_ASSERT(m_bOverlapped);
    return EndedOrPending(WriteFile(m_hComm.get(), lpBuf, dwCount, nullptr, &overlapped),
                          "Failed in call to WriteFile\n");
}

void CSerialPort::GetOverlappedResult(OVERLAPPED& overlapped, std::uint32_t& dwBytesTransferred,
                                      bool bWait) {
    AssertOpen();
    VANTREL_ASSERT(m_bOverlapped);
    if (!::GetOverlappedResult(m_hComm.get(), overlapped, dwBytesTransferred, bWait)) {
        RequireSerialCall(errno == static_cast<int>(ERROR_IO_PENDING),
                          "Failed in call to GetOverlappedResult\n");
    }
}

bool CSerialPort::WriteAndWait(const void* lpBuf, std::uint32_t dwCount, OVERLAPPED& overlapped) {
    std::unique_ptr<Event> event = CreateEvent(EventReset::Manual, false);
    if (event == nullptr) {
        return false;
    }
    // From here the event is the caller's, who deletes it with the record.
    overlapped.hEvent = event.release();
    if (WriteFile(m_hComm.get(), lpBuf, dwCount, nullptr, &overlapped)) {
        return true;
    }
    const bool pending = errno == static_cast<int>(ERROR_IO_PENDING);
    if (pending) {
        WaitForSingleObject(*overlapped.hEvent, INFINITE);
    }
    // Throws when the write failed, so a pending write that returns has succeeded.
    std::uint32_t bytesWritten = 0;
    GetOverlappedResult(overlapped, bytesWritten, false);
    return pending;
}

void CSerialPort::WriteEx(const void* lpBuf, std::uint32_t dwCount) {
    AssertOpen();
    StartWithRoutine(
        *this,
        [&](OVERLAPPED& record) {
            return WriteFileEx(m_hComm.get(), lpBuf, dwCount, record, DispatchCompletion);
        },
        "Failed in call to WriteFileEx\n");
}

void CSerialPort::ReadEx(void* lpBuf, std::uint32_t dwCount) {
    AssertOpen();
    StartWithRoutine(
        *this,
        [&](OVERLAPPED& record) {
            return ReadFileEx(m_hComm.get(), lpBuf, dwCount, record, DispatchCompletion);
        },
        "Failed in call to ReadFileEx\n");
}

void CSerialPort::DispatchCompletion(std::uint32_t dwErrorCode, std::uint32_t dwCount,
                                     OVERLAPPED* lpOverlapped) {
    VANTREL_ASSERT(lpOverlapped != nullptr);
    if (lpOverlapped == nullptr) {
        return;
    }
    CObject* const issuer = lpOverlapped->pIssuer;
    const bool fromPort = issuer != nullptr && issuer->IsKindOf(RUNTIME_CLASS(CSerialPort));
    VANTREL_ASSERT(fromPort);
    if (fromPort) {
        static_cast<CSerialPort*>(issuer)->IoCompleted(dwErrorCode, dwCount, lpOverlapped);
    }
}

void CSerialPort::IoCompleted(std::uint32_t /*dwErrorCode*/, std::uint32_t /*dwCount*/,
                              OVERLAPPED* lpOverlapped) {
    delete lpOverlapped;
}

void CSerialPort::CancelPendingIo() {
    AssertOpen();
    if (g_cancelIoEntry.m_pfnCancelIo == nullptr) {
        Trace(
            "CancelIo function is not supported on this OS. You need to be running at least NT 4 "
            "or Win 98 to use this function\n");
        ThrowSerialError(ERROR_CALL_NOT_IMPLEMENTED);
    }
    RequireSerialCall(g_cancelIoEntry.m_pfnCancelIo(m_hComm.get()), "Failed in call to CancelIO\n");
}

void CSerialPort::TransmitChar(char cChar) {
    AssertOpen();
    RequireSerialCall(TransmitCommChar(m_hComm.get(), cChar),
                      "Failed in call to TransmitCommChar\n");
}

void CSerialPort::WaitEvent(std::uint32_t& dwMask) {
    AssertOpen();
    VANTREL_ASSERT(!m_bOverlapped);
    RequireSerialCall(WaitCommEvent(m_hComm.get(), dwMask, nullptr),
                      "Failed in call to WaitCommEvent\n");
}

void CSerialPort::WaitEvent(std::uint32_t& dwMask, OVERLAPPED& overlapped) {
    AssertOpen();
    VANTREL_ASSERT(m_bOverlapped);
    VANTREL_ASSERT(overlapped.hEvent != nullptr);
    // Even a wait still pending is reported as a failure (code ERROR_IO_PENDING).
    RequireSerialCall(WaitCommEvent(m_hComm.get(), dwMask, &overlapped),
                      "Failed in call to WaitCommEvent\n");
}

std::uint32_t CSerialPort::GetInputCount() {
    COMSTAT stat{};
    GetStatus(stat);
    return stat.cbInQue;
}

bool CSerialPort::WaitForInput(std::uint32_t dwTimeout) {
    std::uint32_t savedMask = 0;
    GetMask(savedMask);
    SetMask(EV_RXCHAR);

    std::uint32_t events = 0;
    OVERLAPPED overlapped;
    overlapped.hEvent = m_hWaitEvent.get();
    const RecordRelease release(overlapped);
    bool result = false;
    try {
        WaitEvent(events, overlapped);
        result = true;
    } catch (CSerialException* exception) {
        const std::uint32_t error = exception->m_dwError;
        exception->Delete();
        if (error != ERROR_IO_PENDING) {
            ThrowSerialError(error);
        }
        if (WaitForSingleObject(*m_hWaitEvent, dwTimeout) == WAIT_OBJECT_0) {
            std::uint32_t ignoredBytes = 0;
            GetOverlappedResult(overlapped, ignoredBytes, false);
            result = true;
        }
    }
    // A wait that timed out is still pending; the new mask ends it.
    SetMask(savedMask);
    return result;
}

void CSerialPort::BeginReceive(std::uint32_t dwCount) {
    Read(m_pReceiveBuffer.get(), dwCount, g_radioOverlapped);
}

bool CSerialPort::ReceiveReply(std::uint32_t dwCount) {
    VANTREL_ASSERT(dwCount <= kReceiveBufferSize);
    dwCount = std::min<std::uint32_t>(dwCount, kReceiveBufferSize);
    BeginReceive(dwCount);
    if (!WaitForReply() && !ReplyHasBegun()) {
        Trace("No Data from Radio port\n");
        return false;
    }
    GetOverlappedResult(g_radioOverlapped, m_dwBytesRead, true);
    CopyReply(dwCount);
    return true;
}

bool CSerialPort::WaitForReply() {
    return AwaitReply(m_pReplyWait, g_radioEvent, m_replyTimeout);
}

bool CSerialPort::ReplyHasBegun() {
    // A reply that began in time is heard out, though the quiet interval
    // that ends it runs past the time-out. Without an interval only the
    // full count would end the read, which may never come.
    COMMTIMEOUTS timeouts{};
    GetTimeouts(timeouts);
    return timeouts.ReadIntervalTimeout != 0 && GetInputCount() > 0;
}

void CSerialPort::CopyReply(std::uint32_t dwCount) {
    // Only the bytes this read delivered: the buffer behind them still holds
    // older replies, and a short reply must not pick them up.
    constexpr std::size_t kClearedHead = 4;
    std::memset(m_szReply, 0, std::max<std::size_t>(kClearedHead, std::size_t{dwCount} + 1));
    const std::size_t delivered = std::min<std::uint32_t>(m_dwBytesRead, dwCount);
    std::memcpy(m_szReply, m_pReceiveBuffer.get(), ::strnlen(m_pReceiveBuffer.get(), delivered));
}
