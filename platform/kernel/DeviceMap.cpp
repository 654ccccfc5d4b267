#include "platform/kernel/DeviceMap.h"

#include <system_error>

#include "platform/kernel/ConfigFolder.h"

std::filesystem::path ComPortLinkPath(int port) {
    const std::filesystem::path folder = VantrelConfigFolder();
    return folder.empty() ? folder : folder / "dosdevices" / ("com" + std::to_string(port));
}

std::string ComPortDevicePath(int port) {
    const std::filesystem::path link = ComPortLinkPath(port);
    std::error_code ignored;
    if (!link.empty() && std::filesystem::exists(std::filesystem::symlink_status(link, ignored))) {
        return link.string();
    }
    return "/dev/ttyS" + std::to_string(port - 1);
}
