#pragma once

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

// A child of this process that runs `body` and exits with the code it
// returns (1 when it throws). Killed and reaped at the end of its scope.
// Fork it only while this process has no other threads.
class ForkedChild {
public:
    template <class Body>
    explicit ForkedChild(Body body) : m_pid(::fork()) {
        if (m_pid == 0) {
            int code = 1;
            try {
                code = body();
            } catch (...) {
            }
            ::_exit(code);
        }
    }
    ~ForkedChild() {
        Kill();
        Wait();
    }
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    void Kill() const {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
        }
    }

    // The exit code, 128 + the signal that ended it, or -1 once reaped.
    int Wait() {
        int status = 0;
        if (m_pid <= 0 || ::waitpid(m_pid, &status, 0) != m_pid) {
            return -1;
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t m_pid;
};

// Drops root's rights for those of `user` in this (forked) process; a user
// who is not root already has no more than ordinary rights.
inline bool BecomeOrdinaryUser(const passwd& user) {
    return ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 &&
                                ::setresgid(user.pw_gid, user.pw_gid, user.pw_gid) == 0 &&
                                ::setresuid(user.pw_uid, user.pw_uid, user.pw_uid) == 0);
}
