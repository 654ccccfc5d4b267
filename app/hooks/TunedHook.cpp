#include "app/hooks/TunedHook.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/hooks/DetachedLaunch.h"
#include "app/hooks/HookEnvironment.h"
#include "app/hooks/HookProgram.h"
#include "framework/StringFormat.h"
#include "platform/kernel/ConfigFolder.h"
#include "platform/kernel/ProcessEnd.h"

namespace {

std::filesystem::path HookPath() {
    const std::filesystem::path config = VantrelConfigFolder();
    return config.empty() ? config : config / "hooks" / "tuned";
}

// Where the keeper writes the hook's output; empty sends it to standard error.
std::filesystem::path HookLogPath() {
    const std::filesystem::path state = VantrelStateFolder();
    return state.empty() ? state : state / "hooks.log";
}

}  // namespace

TunedHook::TunedHook(ActivityLog& log, MessagePump& pump, std::filesystem::path keeper)
    : m_log(log), m_pump(pump), m_keeper(std::move(keeper)) {}

TunedHook::~TunedHook() {
    for (const auto& [number, descriptor] : m_running) {
        m_pump.UnwatchDescriptor(number);
        // One that has ended must not stay a zombie; the others are let go.
        ReapIfEnded(number);
    }
}

std::filesystem::path TunedHook::InstalledKeeper() {
    std::error_code failed;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
    return failed ? std::filesystem::path()
                  : (self.parent_path() / VANTREL_HOOK_KEEPER).lexically_normal();
}

void TunedHook::OnTuningSent(const SentTuning& tuning) {
    const std::filesystem::path path = HookPath();
    if (path.empty()) {
        return;
    }
    const HookProgram program = OpenHookProgram(path);
    if (!program.refusal.empty()) {
        m_log.LogMessage(ReportVerbose, StringPrintf("Hook <tuned> refused: <%s> %s", path.c_str(),
                                                     program.refusal.c_str()));
    } else if (program.descriptor.IsValid()) {
        Start(tuning, path, program.descriptor);
    }
}

void TunedHook::Start(const SentTuning& tuning, const std::filesystem::path& program,
                      const UniqueFd& descriptor) {
    const pid_t keeper = LaunchDetached(
        {m_keeper.string(), HookLogPath().string(), program.string(), tuning.satellite},
        HookEnvironment(tuning, std::chrono::system_clock::now(), environ), descriptor.Get());
    if (keeper < 0) {
        m_log.LogMessage(ReportVerbose, StringPrintf("Hook <tuned> could not be started: <%s> %s",
                                                     m_keeper.c_str(), std::strerror(errno)));
        return;
    }
    m_log.LogMessage(ReportVerbose,
                     StringPrintf("Hook <tuned> started for <%s>", tuning.satellite.c_str()));
    UniqueFd ended = OpenProcessDescriptor(keeper);
    const int number = ended.Get();
    if (!ended.IsValid() ||
        !m_pump.WatchDescriptor(number, [this, number] { OnKeeperEnded(number); })) {
        m_log.LogMessage(ReportVerbose,
                         StringPrintf("Hook <tuned> cannot be watched: %s", std::strerror(errno)));
        return;
    }
    m_running.emplace(number, std::move(ended));
}

void TunedHook::OnKeeperEnded(int processDescriptor) {
    const std::optional<ProcessEnd> end = ReapIfEnded(processDescriptor);
    const int failure = errno;
    if (!end && failure == 0) {
        return;
    }
    // One that cannot be waited for has ended too, and must not stay
    // watched: its descriptor stays readable.
    m_pump.UnwatchDescriptor(processDescriptor);
    m_running.erase(processDescriptor);
    if (!end) {
        m_log.LogMessage(ReportVerbose, StringPrintf("Hook <tuned> ended, how is not known: %s",
                                                     std::strerror(failure)));
    } else if (end->bySignal) {
        m_log.LogMessage(ReportVerbose,
                         StringPrintf("Hook <tuned> ended by signal <%d>", end->value));
    } else {
        m_log.LogMessage(ReportVerbose,
                         StringPrintf("Hook <tuned> ended with status <%d>", end->value));
    }
}
