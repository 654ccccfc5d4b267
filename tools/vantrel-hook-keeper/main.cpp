#include <signal.h>

#include <cstdio>

#include "platform/kernel/FileTime.h"
#include "tools/vantrel-hook-keeper/HookKeeper.h"
#include "tools/vantrel-hook-keeper/HookLog.h"

namespace {

constexpr int kHookDescriptor = 3;

constexpr const char* kUsage =
    "usage: vantrel-hook-keeper LOG PROGRAM SATELLITE, with PROGRAM open on descriptor 3\n"
    "Vantrel starts it to run its `tuned` hook; it is not meant to be run by hand.\n";

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // Vantrel's standard error may be gone (its terminal closed) while the
    // hook still runs; writing there must not end the keeper.
    ::signal(SIGPIPE, SIG_IGN);
    HookLog log(argv[1], argv[3], CurrentCalendarTime);
    EndLike(KeepHook({UniqueFd(kHookDescriptor), argv[2], argv[3]}, log));
}
