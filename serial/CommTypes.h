#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class CObject;
class CommDevice;
class Event;
class PortIo;

// The records and codes of the serial interface Vantrel was written against,
// kept with their names, fields and values; the functions of CommApi.h
// carry them over to Linux terminals.

// An open port; the handle owns it, descriptor and transfers. A descriptor
// number alone says nothing of who owns it: once closed it names whatever
// is opened next. INVALID_HANDLE_VALUE is the number of no descriptor.
using CommHandle = std::unique_ptr<CommDevice>;
inline constexpr int INVALID_HANDLE_VALUE = -1;
inline constexpr std::uint32_t MAXDWORD = 0xFFFFFFFF;

// Line settings.
struct DCB {
    std::uint32_t DCBlength;
    std::uint32_t BaudRate;
    std::uint32_t fBinary : 1;
    std::uint32_t fParity : 1;
    std::uint32_t fOutxCtsFlow : 1;
    std::uint32_t fOutxDsrFlow : 1;
    std::uint32_t fDtrControl : 2;
    std::uint32_t fDsrSensitivity : 1;
    std::uint32_t fTXContinueOnXoff : 1;
    std::uint32_t fOutX : 1;
    std::uint32_t fInX : 1;
    std::uint32_t fErrorChar : 1;
    std::uint32_t fNull : 1;
    std::uint32_t fRtsControl : 2;
    std::uint32_t fAbortOnError : 1;
    std::uint32_t fDummy2 : 17;
    std::uint16_t wReserved;
    std::uint16_t XonLim;
    std::uint16_t XoffLim;
    std::uint8_t ByteSize;
    std::uint8_t Parity;
    std::uint8_t StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    std::uint16_t wReserved1;
};

inline constexpr std::uint8_t NOPARITY = 0;
inline constexpr std::uint8_t ODDPARITY = 1;
inline constexpr std::uint8_t EVENPARITY = 2;
inline constexpr std::uint8_t MARKPARITY = 3;
inline constexpr std::uint8_t SPACEPARITY = 4;

inline constexpr std::uint8_t ONESTOPBIT = 0;
inline constexpr std::uint8_t ONE5STOPBITS = 1;
inline constexpr std::uint8_t TWOSTOPBITS = 2;

inline constexpr std::uint32_t DTR_CONTROL_DISABLE = 0;
inline constexpr std::uint32_t DTR_CONTROL_ENABLE = 1;
inline constexpr std::uint32_t DTR_CONTROL_HANDSHAKE = 2;
inline constexpr std::uint32_t RTS_CONTROL_DISABLE = 0;
inline constexpr std::uint32_t RTS_CONTROL_ENABLE = 1;
inline constexpr std::uint32_t RTS_CONTROL_HANDSHAKE = 2;
inline constexpr std::uint32_t RTS_CONTROL_TOGGLE = 3;

inline constexpr char XON_CHAR = 0x11;
inline constexpr char XOFF_CHAR = 0x13;

// Time-outs in milliseconds. A read ends when its bytes are all there, when
// the line has been quiet for ReadIntervalTimeout after a byte, or when the
// total (multiplier × bytes + constant) has passed; zero means "no such
// limit". ReadIntervalTimeout = MAXDWORD with both totals zero makes reads
// return at once with what is there.
struct COMMTIMEOUTS {
    std::uint32_t ReadIntervalTimeout;
    std::uint32_t ReadTotalTimeoutMultiplier;
    std::uint32_t ReadTotalTimeoutConstant;
    std::uint32_t WriteTotalTimeoutMultiplier;
    std::uint32_t WriteTotalTimeoutConstant;
};

struct COMSTAT {
    std::uint32_t fCtsHold : 1;
    std::uint32_t fDsrHold : 1;
    std::uint32_t fRlsdHold : 1;
    std::uint32_t fXoffHold : 1;
    std::uint32_t fXoffSent : 1;
    std::uint32_t fEof : 1;
    std::uint32_t fTxim : 1;
    std::uint32_t fReserved : 25;
    std::uint32_t cbInQue;
    std::uint32_t cbOutQue;
};

struct COMMPROP {
    std::uint16_t wPacketLength;
    std::uint16_t wPacketVersion;
    std::uint32_t dwServiceMask;
    std::uint32_t dwReserved1;
    std::uint32_t dwMaxTxQueue;
    std::uint32_t dwMaxRxQueue;
    std::uint32_t dwMaxBaud;
    std::uint32_t dwProvSubType;
    std::uint32_t dwProvCapabilities;
    std::uint32_t dwSettableParams;
    std::uint32_t dwSettableBaud;
    std::uint16_t wSettableData;
    std::uint16_t wSettableStopParity;
    std::uint32_t dwCurrentTxQueue;
    std::uint32_t dwCurrentRxQueue;
    std::uint32_t dwProvSpec1;
    std::uint32_t dwProvSpec2;
    std::uint16_t wcProvChar[1];
};

struct COMMCONFIG {
    std::uint32_t dwSize;
    std::uint16_t wVersion;
    std::uint16_t wReserved;
    DCB dcb;
    std::uint32_t dwProviderSubType;
    std::uint32_t dwProviderOffset;
    std::uint32_t dwProviderSize;
    std::uint16_t wcProviderData[1];
};

inline constexpr std::uint32_t PST_RS232 = 1;

// Events of WaitCommEvent and the event mask.
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;
inline constexpr std::uint32_t EV_TXEMPTY = 0x0004;
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t EV_RING = 0x0100;

inline constexpr std::uint32_t PURGE_TXABORT = 0x0001;
inline constexpr std::uint32_t PURGE_RXABORT = 0x0002;
inline constexpr std::uint32_t PURGE_TXCLEAR = 0x0004;
inline constexpr std::uint32_t PURGE_RXCLEAR = 0x0008;

// Function codes of EscapeCommFunction.
inline constexpr std::uint32_t SETXOFF = 1;
inline constexpr std::uint32_t SETXON = 2;
inline constexpr std::uint32_t SETRTS = 3;
inline constexpr std::uint32_t CLRRTS = 4;
inline constexpr std::uint32_t SETDTR = 5;
inline constexpr std::uint32_t CLRDTR = 6;
inline constexpr std::uint32_t SETBREAK = 8;
inline constexpr std::uint32_t CLRBREAK = 9;

inline constexpr std::uint32_t MS_CTS_ON = 0x0010;
inline constexpr std::uint32_t MS_DSR_ON = 0x0020;
inline constexpr std::uint32_t MS_RING_ON = 0x0040;
inline constexpr std::uint32_t MS_RLSD_ON = 0x0080;

// Error flags of ClearCommError.
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;

// Internal of an OVERLAPPED record while its operation runs.
inline constexpr std::uint32_t STATUS_PENDING = 0x103;

// The record of one asynchronous transfer. The caller owns it and keeps it
// alive until the transfer has ended; starting a new transfer through a
// record that is still busy takes the record away from the old one.
struct OVERLAPPED {
    // STATUS_PENDING while the transfer runs, then 0 or the error code.
    std::atomic<std::uint32_t> Internal{0};
    // Bytes transferred.
    std::atomic<std::uint32_t> InternalHigh{0};
    std::uint32_t Offset = 0;
    std::uint32_t OffsetHigh = 0;
    // Set when the transfer ends and cleared when one starts (overlapped style).
    Event* hEvent = nullptr;
    // The completion-routine style leaves hEvent alone; its issuer keeps
    // itself here so the routine can find it again.
    CObject* pIssuer = nullptr;
    // The transfer engine holding this record, while a transfer runs.
    std::atomic<PortIo*> pEngine{nullptr};
};

// Called, on the thread that started the transfer, while it waits alertably.
using LPOVERLAPPED_COMPLETION_ROUTINE = void (*)(std::uint32_t errorCode,
                                                 std::uint32_t bytesTransferred,
                                                 OVERLAPPED* record);
