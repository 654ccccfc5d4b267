#include "platform/kernel/ConfigFolder.h"

#include <cstdlib>

namespace {

// The base folder `variable` names, else `belowHome` inside HOME.
std::filesystem::path BaseFolder(const char* variable, const char* belowHome) {
    const char* const xdg = std::getenv(variable);
    if (xdg != nullptr && std::filesystem::path(xdg).is_absolute()) {
        return xdg;
    }
    const char* const home = std::getenv("HOME");
    if (home != nullptr && std::filesystem::path(home).is_absolute()) {
        return std::filesystem::path(home) / belowHome;
    }
    return {};
}

std::filesystem::path VantrelFolderIn(const std::filesystem::path& base) {
    return base.empty() ? base : base / "vantrel";
}

}  // namespace

std::filesystem::path VantrelConfigFolder() {
    return VantrelFolderIn(BaseFolder("XDG_CONFIG_HOME", ".config"));
}

std::filesystem::path VantrelStateFolder() {
    return VantrelFolderIn(BaseFolder("XDG_STATE_HOME", ".local/state"));
}
