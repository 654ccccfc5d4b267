#pragma once

#include <cstdint>
#include <string>

#include "serial/serialport.h"

// Whether this user may read and write the device at `devicePath` (a link
// is followed), as opening a port needs.
struct DeviceAccess {
    bool allowed = false;
    // When not allowed: why, and what would let them, without the device's
    // name, e.g. "only members of the group dialout may open it, and you
    // are not one: add yourself with `sudo adduser $USER dialout`, then log
    // in again".
    std::string problem;
};
DeviceAccess CheckDeviceAccess(const std::string& devicePath);

// Why opening `devicePath` was refused as access denied: what
// CheckDeviceAccess finds, or, when this user may open it, that another
// program holds it (the serial layer reports a held port so).
std::string AccessDeniedReason(const std::string& devicePath);

// What the user is told when the receiver's port fails: the COM port, the
// device it was opened on (`devicePath`, left out when empty), the system's
// reason and, for access denied, AccessDeniedReason.
std::string SerialPortErrorText(std::int32_t comPort, const std::string& devicePath,
                                const CSerialException& error);
