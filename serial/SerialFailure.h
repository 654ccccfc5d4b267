#pragma once

// How CSerialPort's operations fail: the trace line naming the failed call
// (none when null), then ThrowSerialError with the call's errno.
[[noreturn]] void FailSerialCall(const char* failureTrace);

inline void RequireSerialCall(bool succeeded, const char* failureTrace) {
    if (!succeeded) {
        FailSerialCall(failureTrace);
    }
}
