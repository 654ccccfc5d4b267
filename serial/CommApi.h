#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/CommTypes.h"

// The serial interface Vantrel was written against, on Linux terminals.
// The calls take the port a handle owns; a null port fails with EBADF.
// Every call returns false (or a null handle) with errno set when it fails;
// errno plays the platform's last error. Calls with a record are
// overlapped: false with errno ERROR_IO_PENDING means the transfer goes on
// and its record's event is set when it ends.

// Opens the terminal at `path` for exclusive use, non-blocking; see
// CommDevice::OpenExclusive for the errors.
CommHandle CreateCommFile(const std::string& path);
// Takes on a terminal descriptor opened elsewhere; on failure it stays the
// caller's.
CommHandle AdoptCommFile(int fd);
bool CloseHandle(CommHandle handle);

bool GetCommState(CommDevice* port, DCB& dcb);
bool SetCommState(CommDevice* port, const DCB& dcb);
bool GetCommTimeouts(CommDevice* port, COMMTIMEOUTS& timeouts);
bool SetCommTimeouts(CommDevice* port, const COMMTIMEOUTS& timeouts);
bool GetCommMask(CommDevice* port, std::uint32_t& mask);
bool SetCommMask(CommDevice* port, std::uint32_t mask);
bool SetupComm(CommDevice* port, std::uint32_t inQueue, std::uint32_t outQueue);
// Waits until every queued write has been taken, then until it is sent.
bool FlushFileBuffers(CommDevice* port);
bool PurgeComm(CommDevice* port, std::uint32_t flags);
bool EscapeCommFunction(CommDevice* port, std::uint32_t function);
bool SetCommBreak(CommDevice* port);
bool ClearCommBreak(CommDevice* port);
bool ClearCommError(CommDevice* port, std::uint32_t* errors, COMSTAT* status);
bool GetCommProperties(CommDevice* port, COMMPROP& properties);
bool GetCommModemStatus(CommDevice* port, std::uint32_t& status);
// `size` gives the room of `config`; too little fails with ENOBUFS and
// `size` set to what is needed.
bool GetCommConfig(CommDevice* port, COMMCONFIG& config, std::uint32_t& size);
bool SetCommConfig(CommDevice* port, const COMMCONFIG& config, std::uint32_t size);
// The settings a port named "COM<n>" has while nobody holds it open.
bool GetDefaultCommConfig(const std::string& name, COMMCONFIG& config, std::uint32_t& size);
bool SetDefaultCommConfig(const std::string& name, const COMMCONFIG& config, std::uint32_t size);

// Without a record the call blocks until the transfer has ended.
bool ReadFile(CommDevice* port, void* buffer, std::uint32_t count, std::uint32_t* bytesRead,
              OVERLAPPED* record);
bool WriteFile(CommDevice* port, const void* data, std::uint32_t count, std::uint32_t* bytesWritten,
               OVERLAPPED* record);
// The routine runs on this thread once the transfer has ended, during an
// alertable wait; it runs even when the transfer ended at once.
bool ReadFileEx(CommDevice* port, void* buffer, std::uint32_t count, OVERLAPPED& record,
                LPOVERLAPPED_COMPLETION_ROUTINE routine);
bool WriteFileEx(CommDevice* port, const void* data, std::uint32_t count, OVERLAPPED& record,
                 LPOVERLAPPED_COMPLETION_ROUTINE routine);
// A transfer still running reports ERROR_IO_PENDING when `wait` is false.
bool GetOverlappedResult(CommDevice* port, OVERLAPPED& record, std::uint32_t& bytes, bool wait);
// Ends every transfer of the handle as cancelled (ECANCELED).
bool CancelIo(CommDevice* port);
bool TransmitCommChar(CommDevice* port, char character);
bool WaitCommEvent(CommDevice* port, std::uint32_t& events, OVERLAPPED* record);

// Makes `record` fresh for transfers that signal `event`, taking it away
// from any transfer that still uses it.
void ResetOverlapped(OVERLAPPED& record, Event* event);
