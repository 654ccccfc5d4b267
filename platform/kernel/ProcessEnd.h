#pragma once

#include <sys/types.h>

#include <optional>

#include "platform/kernel/UniqueFd.h"

// How a child process ended: its exit status, or the signal that ended it.
struct ProcessEnd {
    bool bySignal = false;
    int value = 0;

    bool operator==(const ProcessEnd&) const = default;
};

// A descriptor for the child `child` (a pidfd) that becomes readable once
// it has ended, so poll() or a Qt socket notifier can watch for the end.
// Invalid, with errno set, when the kernel gives none.
UniqueFd OpenProcessDescriptor(pid_t child);

// Reaps the child `processDescriptor` stands for, if it has ended. Never
// blocks. Nullopt with errno 0 while it runs; nullopt with errno set when it
// cannot be waited for: ECHILD when the system reaped it itself, as it does
// while SIGCHLD is ignored.
std::optional<ProcessEnd> ReapIfEnded(int processDescriptor);

// Waits for the child `child` to end and reaps it; nullopt, with errno
// set, when it is no child of this process.
std::optional<ProcessEnd> WaitForEnd(pid_t child);
