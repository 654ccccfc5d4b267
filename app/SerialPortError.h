#pragma once

#include <cstdint>
#include <string>

#include "serial/serialport.h"

// What the user is told when the receiver's port fails: the COM port, the
// device it was opened on (`devicePath`, left out when empty), and the
// system's reason.
std::string SerialPortErrorText(std::int32_t comPort, const std::string& devicePath,
                                const CSerialException& error);
