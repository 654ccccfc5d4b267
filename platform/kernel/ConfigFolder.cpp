#include "platform/kernel/ConfigFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "platform/kernel/UserAccount.h"

namespace {

bool IsAbsolute(const char* folder) {
    return folder != nullptr && std::filesystem::path(folder).is_absolute();
}

// HOME, else the password database's home folder for this user: a service
// or a cron job may run without HOME.
std::filesystem::path HomeFolder() {
    if (const char* const home = std::getenv("HOME"); IsAbsolute(home)) {
        return home;
    }
    const std::optional<UserAccount> user = FindUserAccount(::getuid());
    if (user && IsAbsolute(user->home.c_str())) {
        return user->home;
    }
    return {};
}

// The base folder `variable` names, else `belowHome` inside the home folder.
std::filesystem::path BaseFolder(const char* variable, const char* belowHome) {
    if (const char* const xdg = std::getenv(variable); IsAbsolute(xdg)) {
        return xdg;
    }
    const std::filesystem::path home = HomeFolder();
    return home.empty() ? home : home / belowHome;
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
