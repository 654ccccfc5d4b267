#include "tools/vantrel-hook-keeper/HookKeeper.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/kernel/UniqueFd.h"

namespace {

constexpr int kNotFound = 127;
constexpr int kCannotRun = 126;

[[noreturn]] void RunHook(const KeptHook& hook, int output) {
    ::dup2(output, STDOUT_FILENO);
    ::dup2(output, STDERR_FILENO);
    // The keeper ignores it; the hook must get it as any program does.
    ::signal(SIGPIPE, SIG_DFL);
    char* const argv[] = {const_cast<char*>(hook.program.c_str()),
                          const_cast<char*>(hook.satellite.c_str()), nullptr};
    // A script is read through /dev/fd/N, so the descriptor stays open in it.
    ::execveat(hook.descriptor.Get(), "", argv, environ, AT_EMPTY_PATH);
    const int failure = errno;
    const std::string reason = "cannot run " + hook.program + ": " + std::strerror(failure) + "\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, reason.data(), reason.size());
    ::_exit(failure == ENOENT ? kNotFound : kCannotRun);
}

// The read end of the hook's output; not blocking, so that what is there
// can be taken without waiting for more.
struct OutputPipe {
    UniqueFd read;
    UniqueFd write;
};

bool MakePipe(OutputPipe& pipe) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    pipe.read.Reset(ends[0]);
    pipe.write.Reset(ends[1]);
    return ::fcntl(ends[0], F_SETFL, O_NONBLOCK) == 0;
}

// Copies what the output holds now into the log; false once it has ended.
bool CopyAvailable(const UniqueFd& output, HookLog& log) {
    std::array<char, 4096> chunk{};
    for (;;) {
        const ssize_t got = ::read(output.Get(), chunk.data(), chunk.size());
        if (got > 0) {
            log.Take(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            return got < 0 && errno == EAGAIN;
        }
    }
}

void CopyToEnd(const UniqueFd& output, HookLog& log) {
    pollfd readable{output.Get(), POLLIN, 0};
    while ((::poll(&readable, 1, -1) >= 0 || errno == EINTR) && CopyAvailable(output, log)) {
    }
    log.Finish();
}

// The hook has ended but its descendants still hold its output: a process
// of its own copies the rest, so the keeper can end now. Should that fail,
// the keeper copies it itself and ends later.
void HandOverRest(const UniqueFd& output, HookLog& log) {
    const pid_t copier = ::fork();
    if (copier == 0) {
        CopyToEnd(output, log);
        ::_exit(EXIT_SUCCESS);
    }
    if (copier < 0) {
        CopyToEnd(output, log);
    }
}

}  // namespace

ProcessEnd KeepHook(KeptHook hook, HookLog& log) {
    OutputPipe output;
    if (!MakePipe(output)) {
        log.WriteLine(std::string("cannot run ") + hook.program + ": " + std::strerror(errno));
        return {false, kCannotRun};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        RunHook(hook, output.write.Get());
    }
    output.write.Reset();
    hook.descriptor.Reset();
    if (child < 0) {
        log.WriteLine(std::string("cannot run ") + hook.program + ": " + std::strerror(errno));
        return {false, kCannotRun};
    }
    const UniqueFd ended = OpenProcessDescriptor(child);
    std::optional<ProcessEnd> end;
    bool outputOpen = true;
    // Without a process descriptor (or poll) the hook's end is waited for
    // once its output has ended.
    while (!end && (outputOpen || ended.IsValid())) {
        std::array<pollfd, 2> watched{
            {{ended.Get(), POLLIN, 0}, {outputOpen ? output.read.Get() : -1, POLLIN, 0}}};
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (watched[1].revents != 0) {
            outputOpen = CopyAvailable(output.read, log);
        }
        if (watched[0].revents != 0) {
            end = ReapIfEnded(ended.Get());
        }
    }
    if (!end) {
        end = WaitForEnd(child);
    }
    if (outputOpen && CopyAvailable(output.read, log)) {
        HandOverRest(output.read, log);
    } else {
        log.Finish();
    }
    return end.value_or(ProcessEnd{false, kCannotRun});
}

void EndLike(const ProcessEnd& end) {
    if (end.bySignal) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::signal(end.value, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, end.value);
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(end.value);
        // A signal that does not end a process ended it: say so the shell's way.
        ::_exit(128 + end.value);
    }
    ::_exit(end.value);
}
