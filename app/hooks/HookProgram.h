#pragma once

#include <filesystem>
#include <string>

#include "platform/kernel/UniqueFd.h"

// The user's hook program, opened to be run from its descriptor: what runs
// is then what was checked, even if the file is replaced meanwhile.
struct HookProgram {
    // Valid when the program may run.
    UniqueFd descriptor;
    // Why it may not, as the end of a sentence about it ("is not
    // executable"); empty when it may, and when there is no program.
    std::string refusal;
};

// Opens `path` (a link is followed) and checks what it opened, as ssh checks
// its own files: a regular file, owned by the user Vantrel runs as, not
// writable by group or others, and executable by its owner. No file at all
// gives neither a descriptor nor a refusal.
HookProgram OpenHookProgram(const std::filesystem::path& path);
