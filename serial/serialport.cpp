#include "serial/serialport.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <utility>

#include "framework/AsciiText.h"
#include "framework/Diagnostics.h"
#include "framework/StringFormat.h"
#include "platform/kernel/DeviceMap.h"
#include "platform/kernel/ErrorText.h"
#include "serial/CommApi.h"
#include "serial/CommDevice.h"
#include "serial/SerialFailure.h"

IMPLEMENT_DYNAMIC(CSerialException, CException)
IMPLEMENT_DYNAMIC(CSerialPort, CObject)

Event g_radioEvent(EventReset::Manual, false);
OVERLAPPED g_radioOverlapped;
CancelIoEntry g_cancelIoEntry{&CancelIo};

namespace {

constexpr unsigned kErrorTextCapacity = 4096;
constexpr std::uint16_t kXonXoffLimit = 100;

constexpr std::array<std::uint8_t, 5> kParityCodes{EVENPARITY, MARKPARITY, NOPARITY, ODDPARITY,
                                                   SPACEPARITY};
constexpr std::array<std::uint8_t, 3> kStopBitCodes{ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};

// What each flow-control choice switches on; every other field keeps the
// driver's value.
struct FlowRow {
    bool ctsOut;
    bool dsrOut;
    bool xonXoff;
    bool dtrHandshake;
    bool rtsHandshake;
};
constexpr std::array<FlowRow, 6> kFlowRows{{
    {false, false, false, false, false},  // FlowNone
    {true, false, false, false, true},    // FlowCtsRts
    {true, false, false, true, false},    // FlowCtsDtr
    {false, true, false, false, true},    // FlowDsrRts
    {false, true, false, true, false},    // FlowDsrDtr
    {false, false, true, false, false},   // FlowXonXoff
}};

// The value for an enumerator, or nullptr (after an assertion) outside it.
template <class Table>
const typename Table::value_type* Row(const Table& table, int value) {
    const bool known = value >= 0 && static_cast<std::size_t>(value) < table.size();
    VANTREL_ASSERT(known);
    return known ? &table[static_cast<std::size_t>(value)] : nullptr;
}

void ApplyFlowControl(DCB& dcb, SerialFlowControl flowControl) {
    const FlowRow* const row = Row(kFlowRows, flowControl);
    if (row == nullptr) {
        return;
    }
    dcb.fOutxCtsFlow = row->ctsOut;
    dcb.fOutxDsrFlow = row->dsrOut;
    dcb.fOutX = row->xonXoff;
    dcb.fInX = row->xonXoff;
    if (row->dtrHandshake) {
        dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    }
    if (row->rtsHandshake) {
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    }
    if (row->xonXoff) {
        dcb.XonChar = XON_CHAR;
        dcb.XoffChar = XOFF_CHAR;
        dcb.XonLim = kXonXoffLimit;
        dcb.XoffLim = kXonXoffLimit;
    }
}

void DumpObjectHeader(std::ostream& dc, const CObject& object) {
    dc << "a " << object.GetRuntimeClass()->m_lpszClassName << " at "
       << static_cast<const void*>(&object) << "\n";
}

std::string PortName(int nPort) {
    VANTREL_ASSERT(CSerialPort::IsPortNumber(nPort));
    return StringPrintf("COM%d", nPort);
}

}  // namespace

void FailSerialCall(const char* failureTrace) {
    const int error = errno;
    if (failureTrace != nullptr) {
        Trace("%s", failureTrace);
    }
    errno = error;
    ThrowSerialError(0);
}

void ThrowSerialError(std::uint32_t dwError) {
    if (dwError == 0) {
        dwError = static_cast<std::uint32_t>(errno);
    }
    auto* const exception = new CSerialException(dwError);
    Trace("Warning: throwing CSerialException for error %d\n", static_cast<int>(dwError));
    throw exception;
}

void CSerialException::DumpDiagnostics(std::ostream& dc) const {
    DumpObjectHeader(dc, *this);
    dc << "m_dwError = " << m_dwError;
}

bool CSerialException::GetErrorText(char* buffer, unsigned capacity, unsigned* helpContext) const {
    VANTREL_ASSERT(buffer != nullptr);
    if (helpContext != nullptr) {
        *helpContext = 0;
    }
    std::string text;
    const bool known = SystemErrorText(m_dwError, text);
    // No room at all means nothing may be written, not even the zero.
    if (buffer == nullptr || capacity == 0) {
        return known;
    }
    CopyTruncated(text, buffer, capacity);
    return known;
}

std::string CSerialException::GetErrorText() const {
    std::string text(kErrorTextCapacity, '\0');
    GetErrorText(text.data(), kErrorTextCapacity);
    text.resize(std::strlen(text.c_str()));
    return text;
}

CSerialPort::CSerialPort() : m_pReceiveBuffer(std::make_unique<char[]>(kReceiveBufferSize)) {}

CSerialPort::~CSerialPort() {
    // Close before the receive buffer goes: a radio read may still be
    // running into it, and closing ends it.
    Close();
}

void CSerialPort::DumpDiagnostics(std::ostream& dc) const {
    DumpObjectHeader(dc, *this);
    dc << "m_hComm = " << (IsOpen() ? m_hComm->Handle() : INVALID_HANDLE_VALUE) << "\n";
    dc << "m_bOverlapped = " << m_bOverlapped;
}

void CSerialPort::AssertOpen() const {
    VANTREL_ASSERT(IsOpen());
}

void CSerialPort::CreateWaitEvent(const char* failureTrace) {
    m_hWaitEvent = CreateEvent(EventReset::Auto, false);
    if (m_hWaitEvent == nullptr) {
        const int error = errno;
        Close();
        errno = error;
        FailSerialCall(failureTrace);
    }
}

void CSerialPort::Open(int nPort, std::uint32_t dwBaud, SerialParity parity, std::uint8_t dataBits,
                       SerialStopBits stopBits, SerialFlowControl flowControl, bool bOverlapped) {
    VANTREL_ASSERT(IsPortNumber(nPort));
    Close();
    m_strDevicePath = ComPortDevicePath(nPort);
    m_hComm = CreateCommFile(m_strDevicePath);
    RequireSerialCall(IsOpen(), "Failed to open up the comms port\n");
    CreateWaitEvent("Failed in call to CreateEvent in Open\n");
    m_bOverlapped = bOverlapped;

    DCB dcb{};
    GetState(dcb);
    dcb.BaudRate = dwBaud;
    if (const std::uint8_t* const code = Row(kParityCodes, parity)) {
        dcb.Parity = *code;
    }
    dcb.ByteSize = dataBits;
    if (const std::uint8_t* const code = Row(kStopBitCodes, stopBits)) {
        dcb.StopBits = *code;
    }
    dcb.fDsrSensitivity = 0;
    ApplyFlowControl(dcb, flowControl);
    SetState(dcb);

    ResetOverlapped(g_radioOverlapped, &g_radioEvent);
}

void CSerialPort::Close() {
    if (!IsOpen()) {
        return;
    }
    if (!CloseHandle(std::move(m_hComm))) {
        const int error = errno;
        Trace("Failed to close up the comms port, GetLastError:%d\n", error);
        errno = error;
    }
    m_bOverlapped = false;
    m_hWaitEvent.reset();
}

void CSerialPort::Attach(int hComm, bool bOverlapped) {
    Close();
    m_hComm = AdoptCommFile(hComm);
    if (!IsOpen()) {
        // It was handed over, so it goes, as it would with an event that
        // cannot be made.
        const int error = errno;
        ::close(hComm);
        errno = error;
        FailSerialCall("Failed to attach the comms port\n");
    }
    m_bOverlapped = bOverlapped;
    CreateWaitEvent("Failed in call to CreateEvent in Attach\n");
}

int CSerialPort::Detach() {
    if (!IsOpen()) {
        return INVALID_HANDLE_VALUE;
    }
    // The transfers end first: they may be writing into our receive buffer.
    const int hComm = m_hComm->Release();
    m_hComm.reset();
    m_hWaitEvent.reset();
    return hComm;
}

void CSerialPort::GetState(DCB& dcb) {
    AssertOpen();
    RequireSerialCall(GetCommState(m_hComm.get(), dcb), "Failed in call to GetCommState\n");
}

void CSerialPort::SetState(const DCB& dcb) {
    AssertOpen();
    RequireSerialCall(SetCommState(m_hComm.get(), dcb), "Failed in call to SetCommState\n");
}

void CSerialPort::GetTimeouts(COMMTIMEOUTS& timeouts) {
    AssertOpen();
    RequireSerialCall(GetCommTimeouts(m_hComm.get(), timeouts),
                      "Failed in call to GetCommTimeouts\n");
}

void CSerialPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
    AssertOpen();
    RequireSerialCall(SetCommTimeouts(m_hComm.get(), timeouts),
                      "Failed in call to SetCommTimeouts\n");
}

void CSerialPort::GetMask(std::uint32_t& dwMask) {
    AssertOpen();
    RequireSerialCall(GetCommMask(m_hComm.get(), dwMask), "Failed in call to GetCommMask\n");
}

void CSerialPort::SetMask(std::uint32_t dwMask) {
    AssertOpen();
    RequireSerialCall(SetCommMask(m_hComm.get(), dwMask), "Failed in call to SetCommMask\n");
}

void CSerialPort::SetQueueSizes(std::uint32_t dwInQueue, std::uint32_t dwOutQueue) {
    AssertOpen();
    RequireSerialCall(SetupComm(m_hComm.get(), dwInQueue, dwOutQueue),
                      "Failed in call to SetupComm\n");
}

void CSerialPort::Flush() {
    AssertOpen();
    RequireSerialCall(FlushFileBuffers(m_hComm.get()), "Failed in call to FlushFileBuffers\n");
}

void CSerialPort::Purge(std::uint32_t dwFlags) {
    AssertOpen();
    RequireSerialCall(PurgeComm(m_hComm.get(), dwFlags), "Failed in call to PurgeComm\n");
}

void CSerialPort::Escape(std::uint32_t dwFunction) {
    AssertOpen();
    RequireSerialCall(EscapeCommFunction(m_hComm.get(), dwFunction),
                      "Failed in call to EscapeCommFunction\n");
}

void CSerialPort::SetBreak() {
    AssertOpen();
    RequireSerialCall(SetCommBreak(m_hComm.get()), "Failed in call to SetCommBreak\n");
}

void CSerialPort::ClearBreak() {
    AssertOpen();
    RequireSerialCall(ClearCommBreak(m_hComm.get()), nullptr);
}

void CSerialPort::ClearError(std::uint32_t& dwErrors) {
    AssertOpen();
    RequireSerialCall(ClearCommError(m_hComm.get(), &dwErrors, nullptr),
                      "Failed in call to ClearCommError\n");
}

void CSerialPort::GetStatus(COMSTAT& stat) {
    AssertOpen();
    std::uint32_t ignoredErrors = 0;
    RequireSerialCall(ClearCommError(m_hComm.get(), &ignoredErrors, &stat),
                      "Failed in call to ClearCommError\n");
}

void CSerialPort::GetProperties(COMMPROP& properties) {
    AssertOpen();
    RequireSerialCall(GetCommProperties(m_hComm.get(), properties),
                      "Failed in call to GetCommProperties\n");
}

void CSerialPort::GetModemStatus(std::uint32_t& dwModemStatus) {
    AssertOpen();
    RequireSerialCall(GetCommModemStatus(m_hComm.get(), dwModemStatus),
                      "Failed in call to GetCommModemStatus\n");
}

void CSerialPort::GetConfig(COMMCONFIG& config) {
    AssertOpen();
    std::uint32_t size = sizeof(COMMCONFIG);
    RequireSerialCall(GetCommConfig(m_hComm.get(), config, size),
                      "Failed in call to GetCommConfig\n");
}

void CSerialPort::SetConfig(const COMMCONFIG& config) {
    AssertOpen();
    RequireSerialCall(SetCommConfig(m_hComm.get(), config, sizeof(COMMCONFIG)),
                      "Failed in call to SetCommConfig\n");
}

void CSerialPort::SetImmediateTimeouts() {
    SetTimeouts(COMMTIMEOUTS{MAXDWORD, 0, 0, 0, 0});
}

void CSerialPort::ClearWriteTimeouts() {
    COMMTIMEOUTS timeouts{};
    GetTimeouts(timeouts);
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    SetTimeouts(timeouts);
}

void CSerialPort::SetImmediateReads() {
    COMMTIMEOUTS timeouts{};
    GetTimeouts(timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    SetTimeouts(timeouts);
}

void CSerialPort::GetDefaultConfig(int nPort, COMMCONFIG& config) {
    std::uint32_t size = sizeof(COMMCONFIG);
    RequireSerialCall(GetDefaultCommConfig(PortName(nPort), config, size),
                      "Failed in call to GetDefaultCommConfig\n");
}

void CSerialPort::SetDefaultConfig(int nPort, const COMMCONFIG& config) {
    RequireSerialCall(SetDefaultCommConfig(PortName(nPort), config, sizeof(COMMCONFIG)), nullptr);
}
