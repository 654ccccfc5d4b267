#pragma once

#include <string>

#include "platform/kernel/ProcessEnd.h"
#include "platform/kernel/UniqueFd.h"
#include "tools/vantrel-hook-keeper/HookLog.h"

// The hook a keeper runs: the program open on `descriptor` (an O_PATH
// descriptor, checked by Vantrel), shown as `program`, with the satellite's
// name as its one argument.
struct KeptHook {
    UniqueFd descriptor;
    std::string program;
    std::string satellite;
};

// Runs the hook in a child with the keeper's environment, input from the
// keeper's, and its standard output and error copied line by line into
// `log`, and returns how it ended once it has. Output that descendants of the
// hook still write after that is copied on by a process of its own, so the
// keeper can end with the hook and they do not lose their output or get
// SIGPIPE. A hook that cannot be run ends with status 127 when its program
// or interpreter is not there, else 126, and the reason in the log.
ProcessEnd KeepHook(KeptHook hook, HookLog& log);

// Ends the keeper as `end` says: with the hook's status, or by its signal
// (without a core file of the keeper's own).
[[noreturn]] void EndLike(const ProcessEnd& end);
