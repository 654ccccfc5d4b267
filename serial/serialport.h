#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "framework/Exception.h"
#include "framework/Object.h"
#include "platform/kernel/Event.h"
#include "serial/CommTypes.h"
#include "platform/kernel/ReplyWait.h"

// Line arguments of CSerialPort::Open, with the values callers pass (these
// are not the DCB's own codes: here 2 means no parity).
enum SerialParity : int {
    ParityEven = 0,
    ParityMark = 1,
    ParityNone = 2,
    ParityOdd = 3,
    ParitySpace = 4,
};

enum SerialStopBits : int {
    StopBitsOne = 0,
    StopBitsOneAndHalf = 1,
    StopBitsTwo = 2,
};

enum SerialFlowControl : int {
    FlowNone = 0,
    FlowCtsRts = 1,
    FlowCtsDtr = 2,
    FlowDsrRts = 3,
    FlowDsrDtr = 4,
    FlowXonXoff = 5,
};

// The error every serial operation raises. It is created with new and thrown
// as a pointer; whoever catches it owns it and ends it with Delete().
class CSerialException : public CException {
    DECLARE_DYNAMIC(CSerialException)

public:
    explicit CSerialException(std::uint32_t dwError) : m_dwError(dwError) {}

    virtual void DumpDiagnostics(std::ostream& dc) const;
    // The system's text for m_dwError, cut to `capacity` characters with its
    // zero. False and an empty buffer when the code has no text.
    virtual bool GetErrorText(char* buffer, unsigned capacity,
                              unsigned* helpContext = nullptr) const;
    std::string GetErrorText() const;

    std::uint32_t m_dwError;

protected:
    ~CSerialException() override = default;
};

// Throws a CSerialException for `dwError`, or for the last error (errno)
// when it is 0, after the trace line "Warning: throwing CSerialException
// for error %d\n".
[[noreturn]] void ThrowSerialError(std::uint32_t dwError = 0);

// Where the cancel routine of CancelPendingIo is found; null when the
// system has none.
struct CancelIoEntry {
    bool (*m_pfnCancelIo)(CommDevice* port);
};

// The radio exchange's event (manual reset), set when a transfer through
// g_radioOverlapped ends and cleared when one starts. Lives as long as the process.
extern Event g_radioEvent;
// The record every radio read and command write goes through; each Open
// makes it fresh for g_radioEvent.
extern OVERLAPPED g_radioOverlapped;
extern CancelIoEntry g_cancelIoEntry;

// One COM port: opened by number, configured, and read and written in the
// synchronous, overlapped and completion-routine styles. Every operation
// that wraps a system call traces the call that failed and throws a
// CSerialException carrying the error; preconditions are assertions. Used
// from one thread; completion routines run on the thread that started them.
class CSerialPort : public CObject {
    DECLARE_DYNAMIC(CSerialPort)

public:
    static constexpr std::size_t kReceiveBufferSize = 750;
    static constexpr std::chrono::milliseconds kReplyTimeout{3000};

    // COM port numbers run from 1 to 255.
    static constexpr bool IsPortNumber(int nPort) { return nPort >= 1 && nPort <= 255; }

    CSerialPort();
    ~CSerialPort() override;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    virtual void DumpDiagnostics(std::ostream& dc) const;

    // Life cycle and connection.
    // Opens COM port nPort (1..255) through the device map, closing a port
    // this object held before, and sets the line; the driver's time-outs stay.
    void Open(int nPort, std::uint32_t dwBaud, SerialParity parity, std::uint8_t dataBits,
              SerialStopBits stopBits, SerialFlowControl flowControl, bool bOverlapped);
    void Close();
    // Takes over an open terminal descriptor; one that is no terminal is
    // closed and refused.
    void Attach(int hComm, bool bOverlapped);
    // Ends the port's transfers and hands its descriptor back, still open;
    // INVALID_HANDLE_VALUE when closed.
    int Detach();
    bool IsOpen() const { return m_hComm != nullptr; }
    // The device the latest Open went to, whether or not it opened; empty
    // before any Open.
    const std::string& DevicePath() const { return m_strDevicePath; }

    // Configuration and state, one system call each.
    void GetState(DCB& dcb);
    void SetState(const DCB& dcb);
    void GetTimeouts(COMMTIMEOUTS& timeouts);
    void SetTimeouts(const COMMTIMEOUTS& timeouts);
    void GetMask(std::uint32_t& dwMask);
    void SetMask(std::uint32_t dwMask);
    void SetQueueSizes(std::uint32_t dwInQueue, std::uint32_t dwOutQueue);
    void Flush();
    void Purge(std::uint32_t dwFlags);
    void Escape(std::uint32_t dwFunction);
    void SetBreak();
    void ClearBreak();
    void ClearError(std::uint32_t& dwErrors);
    void GetStatus(COMSTAT& stat);
    void GetProperties(COMMPROP& properties);
    void GetModemStatus(std::uint32_t& dwModemStatus);
    void GetConfig(COMMCONFIG& config);
    void SetConfig(const COMMCONFIG& config);

    // Fixed-argument shortcuts.
    void SetXoff() { Escape(SETXOFF); }
    void SetXon() { Escape(SETXON); }
    void SetRts() { Escape(SETRTS); }
    void ClearRts() { Escape(CLRRTS); }
    void SetDtr() { Escape(SETDTR); }
    void ClearDtr() { Escape(CLRDTR); }
    void AbortWrites() { Purge(PURGE_TXABORT); }
    void AbortReads() { Purge(PURGE_RXABORT); }
    void ClearOutputBuffer() { Purge(PURGE_TXCLEAR); }
    void ClearInputBuffer() { Purge(PURGE_RXCLEAR); }
    void SetImmediateTimeouts();
    void ClearWriteTimeouts();
    void SetImmediateReads();

    // Settings of a port nobody holds open; no open port needed.
    static void GetDefaultConfig(int nPort, COMMCONFIG& config);
    static void SetDefaultConfig(int nPort, const COMMCONFIG& config);

    // Transfers.
    std::uint32_t Read(void* lpBuf, std::uint32_t dwCount);
    bool Read(void* lpBuf, std::uint32_t dwCount, OVERLAPPED& overlapped,
              std::uint32_t* pBytesRead = nullptr);
    std::uint32_t Write(const void* lpBuf, std::uint32_t dwCount);
    bool Write(const void* lpBuf, std::uint32_t dwCount, OVERLAPPED& overlapped);
    void GetOverlappedResult(OVERLAPPED& overlapped, std::uint32_t& dwBytesTransferred, bool bWait);
    // Creates a manual-reset event for the record (the caller deletes it),
    // writes and waits for the end; false when the event cannot be made.
    bool WriteAndWait(const void* lpBuf, std::uint32_t dwCount, OVERLAPPED& overlapped);
    void WriteEx(const void* lpBuf, std::uint32_t dwCount);
    void ReadEx(void* lpBuf, std::uint32_t dwCount);
    static void DispatchCompletion(std::uint32_t dwErrorCode, std::uint32_t dwCount,
                                   OVERLAPPED* lpOverlapped);
    // A transfer started by ReadEx or WriteEx has ended; this one frees its record.
    virtual void IoCompleted(std::uint32_t dwErrorCode, std::uint32_t dwCount,
                             OVERLAPPED* lpOverlapped);
    void CancelPendingIo();
    void TransmitChar(char cChar);
    void WaitEvent(std::uint32_t& dwMask);
    void WaitEvent(std::uint32_t& dwMask, OVERLAPPED& overlapped);
    std::uint32_t GetInputCount();
    bool WaitForInput(std::uint32_t dwTimeout);

    // The radio exchange.
    void BeginReceive(std::uint32_t dwCount);
    // How ReceiveReply waits; null (the default) blocks the thread. The
    // object must outlive its use here.
    void SetReplyWait(ReplyWait* wait) { m_pReplyWait = wait; }
    // Lets tests shorten the reply time-out; users always get kReplyTimeout.
    void SetReplyTimeout(std::chrono::milliseconds timeout) { m_replyTimeout = timeout; }
    // Waits up to 3000 ms for a reply of up to dwCount (at most 750) bytes
    // to begin. True with the reply, zero-terminated, in m_szReply; false with the
    // trace "No Data from Radio port\n", m_szReply untouched and the read
    // left running for the next call to take over.
    bool ReceiveReply(std::uint32_t dwCount);

    // Bytes the last radio read delivered.
    std::uint32_t m_dwBytesRead = 0;
    // The last reply; always zero-terminated.
    char m_szReply[kReceiveBufferSize + 1] = {};

protected:
    // Radio reads land here; it lives as long as the object, open or not.
    std::unique_ptr<char[]> m_pReceiveBuffer;
    CommHandle m_hComm;
    bool m_bOverlapped = false;
    // Made with every Open or Attach, for WaitForInput; null while closed.
    std::unique_ptr<Event> m_hWaitEvent;
    std::string m_strDevicePath;
    ReplyWait* m_pReplyWait = nullptr;
    std::chrono::milliseconds m_replyTimeout = kReplyTimeout;

private:
    bool WaitForReply();
    bool ReplyHasBegun();
    void AssertOpen() const;
    void CreateWaitEvent(const char* failureTrace);
    void CopyReply(std::uint32_t dwCount);
};
