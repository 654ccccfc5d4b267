#include "app/hooks/TunedHook.h"

#include <fcntl.h>
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
    for (const auto& [number, keeper] : m_running) {
        if (keeper.watched) {
            m_pump.UnwatchDescriptor(number);
        }
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
    ReapUnwatched();
    if (m_running.size() >= kMostRunning) {
        m_log.LogMessage(ReportVerbose,
                         StringPrintf("Hook <tuned> not started for <%s>: %zu hooks still running",
                                      tuning.satellite.c_str(), m_running.size()));
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
    // The keeper's process descriptor is what reaps it: a keeper started
    // without one would stay a zombie, so its number is kept free first.
    UniqueFd reserved(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (!reserved.IsValid()) {
        m_log.LogMessage(ReportVerbose,
                         StringPrintf("Hook <tuned> not started for <%s>: %s",
                                      tuning.satellite.c_str(), std::strerror(errno)));
        return;
    }
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
    reserved.Reset();
    UniqueFd ended = OpenProcessDescriptor(keeper);
    if (!ended.IsValid()) {
        // Only a keeper already reaped has none (SIGCHLD ignored).
        m_log.LogMessage(ReportVerbose, StringPrintf("Hook <tuned> ended, how is not known: %s",
                                                     std::strerror(errno)));
        return;
    }
    const int number = ended.Get();
    const bool watched = m_pump.WatchDescriptor(number, [this, number] { OnKeeperEnded(number); });
    if (!watched) {
        m_log.LogMessage(ReportVerbose,
                         StringPrintf("Hook <tuned> cannot be watched: %s", std::strerror(errno)));
    }
    m_running.emplace(number, Keeper{std::move(ended), watched});
}

void TunedHook::ReapUnwatched() {
    std::vector<int> unwatched;
    for (const auto& [number, keeper] : m_running) {
        if (!keeper.watched) {
            unwatched.push_back(number);
        }
    }
    for (const int number : unwatched) {
        OnKeeperEnded(number);
    }
}

void TunedHook::OnKeeperEnded(int processDescriptor) {
    const std::optional<ProcessEnd> end = ReapIfEnded(processDescriptor);
    const int failure = errno;
    const auto keeper = m_running.find(processDescriptor);
    if ((!end && failure == 0) || keeper == m_running.end()) {
        return;
    }
    // One that cannot be waited for has ended too, and must not stay
    // watched: its descriptor stays readable.
    if (keeper->second.watched) {
        m_pump.UnwatchDescriptor(processDescriptor);
    }
    m_running.erase(keeper);
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
