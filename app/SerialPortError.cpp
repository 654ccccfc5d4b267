#include "app/SerialPortError.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "framework/StringFormat.h"
#include "platform/kernel/UserAccount.h"

namespace {

// The group database's entry for `gid`, with the storage its texts live in.
struct GroupEntry {
    group entry{};
    std::vector<char> storage;
};

std::optional<GroupEntry> FindGroup(gid_t gid) {
    GroupEntry found;
    group* result = nullptr;
    found.storage.resize(16384);
    if (::getgrgid_r(gid, &found.entry, found.storage.data(), found.storage.size(), &result) != 0 ||
        result == nullptr) {
        return std::nullopt;
    }
    return found;
}

std::string GroupName(gid_t gid) {
    const std::optional<GroupEntry> found = FindGroup(gid);
    return found ? found->entry.gr_name : std::to_string(gid);
}

std::string UserName(uid_t uid) {
    const std::optional<UserAccount> user = FindUserAccount(uid);
    return user ? user->name : std::to_string(uid);
}

// Whether this process runs with `gid` among its groups.
bool RunsInGroup(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    const int filled = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return filled > 0 && std::ranges::find(groups.begin(), groups.begin() + filled, gid) !=
                             groups.begin() + filled;
}

// Whether the group database makes this user a member of `gid`: true for a
// membership added after the session began, which the session lacks.
bool ListedInGroup(gid_t gid) {
    const std::optional<GroupEntry> found = FindGroup(gid);
    if (!found) {
        return false;
    }
    const std::string user = UserName(::geteuid());
    for (char** member = found->entry.gr_mem; *member != nullptr; ++member) {
        if (user == *member) {
            return true;
        }
    }
    return false;
}

// "crw-rw----", as ls shows it.
std::string ModeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : S_ISREG(mode) ? "-" : "?";
    constexpr mode_t kBits[] = {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP,
                                S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};
    for (std::size_t bit = 0; bit < std::size(kBits); ++bit) {
        text += (mode & kBits[bit]) != 0 ? "rwx"[bit % 3] : '-';
    }
    return text;
}

}  // namespace

DeviceAccess CheckDeviceAccess(const std::string& devicePath) {
    if (::faccessat(AT_FDCWD, devicePath.c_str(), R_OK | W_OK, AT_EACCESS) == 0) {
        return {true, ""};
    }
    struct stat status {};
    if (errno != EACCES || ::stat(devicePath.c_str(), &status) != 0) {
        return {false, std::strerror(errno)};
    }
    const mode_t groupMayUse = S_IRGRP | S_IWGRP;
    if ((status.st_mode & groupMayUse) == groupMayUse && !RunsInGroup(status.st_gid)) {
        const std::string group = GroupName(status.st_gid);
        if (ListedInGroup(status.st_gid)) {
            return {false, "you were added to the group " + group +
                               " after this session began: log in again"};
        }
        return {false, "only members of the group " + group +
                           " may open it, and you are not one: add yourself with `sudo adduser "
                           "$USER " +
                           group + "`, then log in again"};
    }
    return {false, "its permissions (" + ModeText(status.st_mode) + ", owner " +
                       UserName(status.st_uid) + ", group " + GroupName(status.st_gid) +
                       ") do not let you read and write it"};
}

std::string AccessDeniedReason(const std::string& devicePath) {
    DeviceAccess access = CheckDeviceAccess(devicePath);
    return access.allowed ? "another program holds it" : std::move(access.problem);
}

std::string SerialPortErrorText(std::int32_t comPort, const std::string& devicePath,
                                const CSerialException& error) {
    std::string reason = error.GetErrorText();
    if (reason.empty()) {
        reason = StringPrintf("error %u", error.m_dwError);
    }
    if (devicePath.empty()) {
        return StringPrintf("Serial port COM%d: %s", comPort, reason.c_str());
    }
    if (error.m_dwError == EACCES) {
        reason += ": " + AccessDeniedReason(devicePath);
    }
    return StringPrintf("Serial port COM%d (%s): %s", comPort, devicePath.c_str(), reason.c_str());
}
