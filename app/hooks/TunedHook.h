#pragma once

#include <filesystem>
#include <map>

#include "planning/MessagePump.h"
#include "planning/PassScheduler.h"
#include "platform/kernel/UniqueFd.h"
#include "services/ActivityLog.h"

// The `tuned` hook: after each retune, the user's program
// $XDG_CONFIG_HOME/vantrel/hooks/tuned, if there is one and it passes the
// checks, is started with the satellite's name as its argument and the
// tuning in VANTREL_ variables, and left to run. A keeper program of ours
// runs it and writes its output to $XDG_STATE_HOME/vantrel/hooks.log; the
// keeper's end, which is the hook's, comes back through the message pump
// as input, and the log tells it. At most kMostRunning hooks run at once,
// and every keeper is reaped, watched or not.
class TunedHook final : public TuningListener {
public:
    static constexpr std::size_t kMostRunning = 8;

    // `keeper` is the keeper program (vantrel-hook-keeper).
    TunedHook(ActivityLog& log, MessagePump& pump, std::filesystem::path keeper);
    // Hooks still running are left to finish.
    ~TunedHook() override;
    TunedHook(const TunedHook&) = delete;
    TunedHook& operator=(const TunedHook&) = delete;

    void OnTuningSent(const SentTuning& tuning) override;

    // The keeper as installed beside this program (or built beside it).
    static std::filesystem::path InstalledKeeper();

private:
    struct Keeper {
        UniqueFd ended;
        // Its end comes as input; else it is looked for at the next hook.
        bool watched = false;
    };

    void Start(const SentTuning& tuning, const std::filesystem::path& program,
               const UniqueFd& descriptor);
    // Reaps and logs the keeper if it has ended.
    void OnKeeperEnded(int processDescriptor);
    // Looks for the end of the keepers whose end cannot come as input.
    void ReapUnwatched();

    ActivityLog& m_log;
    MessagePump& m_pump;
    std::filesystem::path m_keeper;
    // The running keepers, by the number of their process descriptor.
    std::map<int, Keeper> m_running;
};
