#include "platform/kernel/UserAccount.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace {

std::string TextOrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

}  // namespace

std::optional<UserAccount> FindUserAccount(uid_t uid) {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    return UserAccount{TextOrEmpty(entry.pw_name), TextOrEmpty(entry.pw_dir)};
}
