#include "platform/kernel/ConfigFolder.h"

#include <cstdlib>

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

std::filesystem::path VantrelConfigFolder() {
    const std::filesystem::path configHome = ConfigHome();
    return configHome.empty() ? configHome : configHome / "vantrel";
}
