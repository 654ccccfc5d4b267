#include "app/SerialPortError.h"

#include "framework/StringFormat.h"
#include "platform/kernel/DeviceMap.h"

std::string SerialPortErrorText(std::int32_t comPort, const CSerialException& error) {
    std::string reason = error.GetErrorText();
    if (reason.empty()) {
        reason = StringPrintf("error %u", error.m_dwError);
    }
    if (!CSerialPort::IsPortNumber(comPort)) {
        return StringPrintf("Serial port COM%d: %s", comPort, reason.c_str());
    }
    return StringPrintf("Serial port COM%d (%s): %s", comPort, ComPortDevicePath(comPort).c_str(),
                        reason.c_str());
}
