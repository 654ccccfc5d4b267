#include "platform/kernel/DeviceMap.h"

#include <filesystem>
#include <system_error>

#include "platform/kernel/ConfigFolder.h"

std::string ComPortDevicePath(int port) {
    const std::filesystem::path folder = VantrelConfigFolder();
    if (!folder.empty()) {
        const std::filesystem::path link = folder / "dosdevices" / ("com" + std::to_string(port));
        std::error_code ignored;
        if (std::filesystem::exists(std::filesystem::symlink_status(link, ignored))) {
            return link.string();
        }
    }
    return "/dev/ttyS" + std::to_string(port - 1);
}
