#include "app/hooks/HookProgram.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Why the file `status` describes may not run; empty when it may.
std::string Refusal(const struct stat& status) {
    if (!S_ISREG(status.st_mode)) {
        return "is not a regular file";
    }
    if (status.st_uid != ::geteuid()) {
        return "is not owned by the user Vantrel runs as";
    }
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "is writable by group or others";
    }
    if ((status.st_mode & S_IXUSR) == 0) {
        return "is not executable";
    }
    return {};
}

}  // namespace

HookProgram OpenHookProgram(const std::filesystem::path& path) {
    // O_PATH: opened to be checked and run, never read, so a file that is
    // not for us (a FIFO, say) cannot block us.
    UniqueFd descriptor(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (!descriptor.IsValid()) {
        if (errno == ENOENT) {
            return {};
        }
        return {{}, std::string("cannot be opened: ") + std::strerror(errno)};
    }
    struct stat status {};
    if (::fstat(descriptor.Get(), &status) != 0) {
        return {{}, std::string("cannot be looked at: ") + std::strerror(errno)};
    }
    std::string refusal = Refusal(status);
    if (!refusal.empty()) {
        return {{}, std::move(refusal)};
    }
    return {std::move(descriptor), {}};
}
