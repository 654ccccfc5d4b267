#include "app/SerialPortError.h"

#include "framework/StringFormat.h"

std::string SerialPortErrorText(std::int32_t comPort, const std::string& devicePath,
                                const CSerialException& error) {
    std::string reason = error.GetErrorText();
    if (reason.empty()) {
        reason = StringPrintf("error %u", error.m_dwError);
    }
    if (devicePath.empty()) {
        return StringPrintf("Serial port COM%d: %s", comPort, reason.c_str());
    }
    return StringPrintf("Serial port COM%d (%s): %s", comPort, devicePath.c_str(), reason.c_str());
}
