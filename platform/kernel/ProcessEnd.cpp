#include "platform/kernel/ProcessEnd.h"

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

ProcessEnd EndOf(const siginfo_t& info) {
    return {info.si_code != CLD_EXITED, info.si_status};
}

}  // namespace

UniqueFd OpenProcessDescriptor(pid_t child) {
    // glibc 2.36 declares pidfd_open without C linkage, so C++ cannot link
    // it; the system call gives the same, close-on-exec descriptor.
    return UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, child, 0)));
}

std::optional<ProcessEnd> ReapIfEnded(int processDescriptor) {
    siginfo_t info{};
    if (::waitid(P_PIDFD, static_cast<id_t>(processDescriptor), &info, WEXITED | WNOHANG) != 0) {
        return std::nullopt;
    }
    if (info.si_pid == 0) {
        errno = 0;
        return std::nullopt;
    }
    return EndOf(info);
}

std::optional<ProcessEnd> WaitForEnd(pid_t child) {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED) != 0) {
        if (errno != EINTR) {
            return std::nullopt;
        }
    }
    return EndOf(info);
}
