#pragma once

#include <cstdint>
#include <string>

#include "serial/CommTypes.h"

// The serial interface Vantrel was written against, on Linux terminals. A
// handle is a file descriptor; the calls keep a table of what the driver
// would hold for each. Every call returns false (or INVALID_HANDLE_VALUE)
// with errno set when it fails; errno plays the platform's last error.
// Calls with a record are overlapped: false with errno ERROR_IO_PENDING
// means the transfer goes on and its record's event is set when it ends.

// Opens the terminal at `path` for exclusive use, non-blocking; see
// CommDevice::OpenExclusive for the errors.
int CreateCommFile(const std::string& path);
bool CloseHandle(int handle);

bool GetCommState(int handle, DCB& dcb);
bool SetCommState(int handle, const DCB& dcb);
bool GetCommTimeouts(int handle, COMMTIMEOUTS& timeouts);
bool SetCommTimeouts(int handle, const COMMTIMEOUTS& timeouts);
bool GetCommMask(int handle, std::uint32_t& mask);
bool SetCommMask(int handle, std::uint32_t mask);
bool SetupComm(int handle, std::uint32_t inQueue, std::uint32_t outQueue);
// Waits until every queued write has been taken, then until it is sent.
bool FlushFileBuffers(int handle);
bool PurgeComm(int handle, std::uint32_t flags);
bool EscapeCommFunction(int handle, std::uint32_t function);
bool SetCommBreak(int handle);
bool ClearCommBreak(int handle);
bool ClearCommError(int handle, std::uint32_t* errors, COMSTAT* status);
bool GetCommProperties(int handle, COMMPROP& properties);
bool GetCommModemStatus(int handle, std::uint32_t& status);
// `size` gives the room of `config`; too little fails with ENOBUFS and
// `size` set to what is needed.
bool GetCommConfig(int handle, COMMCONFIG& config, std::uint32_t& size);
bool SetCommConfig(int handle, const COMMCONFIG& config, std::uint32_t size);
// The settings a port named "COM<n>" has while nobody holds it open.
bool GetDefaultCommConfig(const std::string& name, COMMCONFIG& config, std::uint32_t& size);
bool SetDefaultCommConfig(const std::string& name, const COMMCONFIG& config, std::uint32_t size);

// Without a record the call blocks until the transfer has ended.
bool ReadFile(int handle, void* buffer, std::uint32_t count, std::uint32_t* bytesRead,
              OVERLAPPED* record);
bool WriteFile(int handle, const void* data, std::uint32_t count, std::uint32_t* bytesWritten,
               OVERLAPPED* record);
// The routine runs on this thread once the transfer has ended, during an
// alertable wait; it runs even when the transfer ended at once.
bool ReadFileEx(int handle, void* buffer, std::uint32_t count, OVERLAPPED& record,
                LPOVERLAPPED_COMPLETION_ROUTINE routine);
bool WriteFileEx(int handle, const void* data, std::uint32_t count, OVERLAPPED& record,
                 LPOVERLAPPED_COMPLETION_ROUTINE routine);
// A transfer still running reports ERROR_IO_PENDING when `wait` is false.
bool GetOverlappedResult(int handle, OVERLAPPED& record, std::uint32_t& bytes, bool wait);
// Ends every transfer of the handle as cancelled (ECANCELED).
bool CancelIo(int handle);
bool TransmitCommChar(int handle, char character);
bool WaitCommEvent(int handle, std::uint32_t& events, OVERLAPPED* record);

// Makes `record` fresh for transfers that signal `event`, taking it away
// from any transfer that still uses it.
void ResetOverlapped(OVERLAPPED& record, Event* event);
