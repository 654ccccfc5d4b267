#include "platform/kernel/DeviceMap.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::filesystem::path ConfigHome() {
    const char* const xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && std::filesystem::path(xdg).is_absolute()) {
        return xdg;
    }
    const char* const home = std::getenv("HOME");
    if (home != nullptr && std::filesystem::path(home).is_absolute()) {
        return std::filesystem::path(home) / ".config";
    }
    return {};
}

}  // namespace

std::string ComPortDevicePath(int port) {
    const std::filesystem::path configHome = ConfigHome();
    if (!configHome.empty()) {
        const std::filesystem::path link =
            configHome / "vantrel" / "dosdevices" / ("com" + std::to_string(port));
        std::error_code ignored;
        if (std::filesystem::exists(std::filesystem::symlink_status(link, ignored))) {
            return link.string();
        }
    }
    return "/dev/ttyS" + std::to_string(port - 1);
}
