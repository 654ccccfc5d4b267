// Weeks of a station's running in minutes: a headless run on the plain pump
// against pcr1000-sim, checking every 5 ms on a clock that moves 5 s at each
// check, with a pass every 200 s (a retune every 20 checks), the `tuned`
// hook after each retune and the pass list replaced once every 1,000 checks.
//
//   soak_run [CHECKS]        (default 100000)
//
// Prints descriptors, threads, resident memory and child processes at the
// start, after warm-up and at the end. Exits 0 when nothing grew after
// warm-up (memory within 1 MB, judged from 20,000 checks on), no log line
// was lost and every retune's commands went out whole and in order.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/hooks/TunedHook.h"
#include "bench/ProcessStatus.h"
#include "planning/PassListReader.h"
#include "planning/PassScheduler.h"
#include "planning/PlainMessagePump.h"
#include "radio/Pcr1000Link.h"
#include "services/LineOutput.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/SimulatedStation.h"

namespace {

using namespace std::chrono_literals;

constexpr std::time_t kFakeStart = 1'900'000'000;
constexpr std::time_t kFakeSecondsPerCheck = 5;
constexpr std::time_t kPassEvery = 200;
constexpr std::time_t kPassLength = 100;
constexpr int kChecksPerList = 1000;
constexpr std::chrono::milliseconds kCheckPeriod{5};
constexpr int kChecksBeforeMemoryCounts = 20'000;
constexpr long kMostMemoryGrowthKb = 1024;

struct Resources {
    int descriptors = 0;
    int threads = 0;
    long residentKb = 0;
    int children = 0;
};

// Child processes of this one, but for `except` (the simulator).
int Children(pid_t except) {
    int children = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(name) == except) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t afterName = line.rfind(')');
        int parent = 0;
        if (afterName != std::string::npos &&
            std::sscanf(line.c_str() + afterName + 2, "%*c %d", &parent) == 1 &&
            parent == ::getpid()) {
            ++children;
        }
    }
    return children;
}

Resources Measure(pid_t simulator) {
    Resources now;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++now.descriptors;
    }
    now.threads = static_cast<int>(ProcessStatusField("Threads"));
    now.residentKb = ProcessStatusField("VmRSS");
    now.children = Children(simulator);
    return now;
}

void Print(const char* when, const Resources& resources) {
    std::printf("%-8s %11d %7d %10ld %8d\n", when, resources.descriptors, resources.threads,
                resources.residentKb, resources.children);
}

std::string PassLines(std::time_t from, std::time_t to) {
    std::string lines;
    for (std::time_t start = from - from % kPassEvery; start < to; start += kPassEvery) {
        lines += SimulatedStation::PassLine(start, kPassLength, "NOAA 19");
    }
    return lines;
}

// The log of the run: every line goes to the output and is counted; the
// checks move the clock, replace the pass list now and then, take the
// warm-up's measure and, at the last, ask the run to quit.
class SoakLog final : public LogView {
public:
    SoakLog(LineOutput& output, SimulatedStation& station, PlainMessagePump& pump, int checks,
            pid_t simulator)
        : m_output(output),
          m_station(station),
          m_pump(pump),
          m_checks(checks),
          m_simulator(simulator) {}

    void InsertLineAtTop(std::string_view text) override {
        m_output.Add(text);
        ++lines;
        if (text.starts_with("Write Timer Gone off")) {
            ++retunes;
        } else if (text.starts_with("Pass list changed")) {
            ++readsAgain;
        } else if (text.starts_with("Hook <tuned> started")) {
            ++hooksStarted;
        } else if (text.starts_with("Hook <tuned> ended")) {
            ++hooksEnded;
        } else if (text == "SatTimer Gone off") {
            OnCheck();
        }
    }
    void RemoveAllLines() override {}

    std::time_t Now() const { return kFakeStart + checksDone * kFakeSecondsPerCheck; }
    void ReplacePassList() const {
        const std::filesystem::path next = m_station.WorkFolder() / "PassList.next";
        std::ofstream(next) << PassLines(Now(), Now() + 2 * kChecksPerList * kFakeSecondsPerCheck);
        std::filesystem::rename(next, m_station.WorkFolder() / PassListReader::kFileName);
    }

    long lines = 0;
    int checksDone = 0;
    int retunes = 0;
    int readsAgain = 0;
    int hooksStarted = 0;
    int hooksEnded = 0;
    std::optional<Resources> afterWarmUp;

private:
    void OnCheck() {
        ++checksDone;
        // It prints each change of its settings.
        m_station.Simulator().DiscardOutput();
        // Half-way between two thousands, so the last one is read too.
        if (checksDone % kChecksPerList == kChecksPerList / 2) {
            ReplacePassList();
        }
        if (checksDone == m_checks / 5) {
            afterWarmUp = Measure(m_simulator);
        }
        if (checksDone == m_checks) {
            m_pump.RequestQuit();
        }
    }

    LineOutput& m_output;
    SimulatedStation& m_station;
    PlainMessagePump& m_pump;
    int m_checks;
    pid_t m_simulator;
};

const std::vector<std::string> kStartUpCommands{"H1?\\r\\n", "H101\\r\\n", "H1?\\r\\n"};

// How many commands `retunes` retunes leave on the wire: start-up's, three
// for each retune, then the power-off.
std::size_t CommandsAfter(int retunes) {
    return kStartUpCommands.size() + 3 * static_cast<std::size_t>(retunes) + 1;
}

// Start-up, then each retune's three commands, alternating between the
// pass's and DEFAULT's, then the power-off: nothing lost, nothing out of order.
bool RetunesWentOutWhole(const std::vector<std::string>& commands, int retunes) {
    const std::vector<std::string>& startUp = kStartUpCommands;
    const std::size_t expected = CommandsAfter(retunes);
    if (commands.size() != expected || commands.back() != "H100\\r\\n" ||
        !std::equal(startUp.begin(), startUp.end(), commands.begin())) {
        std::printf("commands on the wire: %zu, expected %zu\n", commands.size(), expected);
        return false;
    }
    const std::string_view* previous = nullptr;
    for (std::size_t at = startUp.size(); at + 1 < commands.size(); at += 3) {
        const std::string_view* sequence = nullptr;
        for (const std::string_view* candidate :
             {SimulatedStation::kDefaultCommands, SimulatedStation::kNoaa19Commands}) {
            if (std::equal(candidate, candidate + 3, commands.begin() + static_cast<long>(at))) {
                sequence = candidate;
            }
        }
        if (sequence == nullptr || sequence == previous) {
            std::printf("retune at command %zu is not whole or not a change\n", at);
            return false;
        }
        previous = sequence;
    }
    return true;
}

long LinesIn(const std::filesystem::path& file) {
    std::ifstream stream(file);
    long lines = 0;
    for (std::string line; std::getline(stream, line);) {
        if (line.find("log line") != std::string::npos && line.find("lost") != std::string::npos) {
            std::printf("the log says: %s\n", line.c_str());
        }
        ++lines;
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    const int checks = argc > 1 ? std::atoi(argv[1]) : 100'000;
    if (checks < 100) {
        std::fprintf(stderr, "usage: soak_run [CHECKS]   (at least 100)\n");
        return 2;
    }
    SimulatedStation station({"--power", "on"});
    station.WriteCatalogue(SimulatedStation::kCatalogue);
    const std::filesystem::path hook = station.ConfigFolder() / "vantrel" / "hooks" / "tuned";
    std::filesystem::create_directories(hook.parent_path());
    std::ofstream(hook) << "#!/bin/sh\nexit 0\n";
    std::filesystem::permissions(hook, std::filesystem::perms::owner_all);
    const std::filesystem::path state = station.WorkFolder().parent_path() / "state";
    const ScopedEnvironmentVariable stateHome("XDG_STATE_HOME", state.string());
    const std::filesystem::path logFile = station.WorkFolder().parent_path() / "run.log";
    const pid_t simulator = station.Simulator().Pid();

    std::printf("%-8s %11s %7s %10s %8s\n", "", "descriptors", "threads", "rss_kB", "children");
    const Resources atStart = Measure(simulator);
    Print("start", atStart);

    int failures = 0;
    {
        const UniqueFd logDescriptor(::open(logFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        LineOutput output(logDescriptor.Get());
        PlainMessagePump pump;
        SoakLog view(output, station, pump, checks, simulator);
        view.ReplacePassList();
        ActivityLog log(view);
        struct : MessageBoxPresenter {
            void ShowMessageBox(std::string_view text) override {
                std::printf("box: %.*s\n", static_cast<int>(text.size()), text.data());
            }
        } boxes;
        struct : CancelButton {
            void SetCaption(std::string_view) override {}
        } noButton;
        PassRows table;
        CSerialPort port;
        SatelliteCatalogue catalogue(log, boxes);
        TuningExchange exchange(catalogue, log);
        PassListReader reader(table, log, boxes, pump);
        SatelliteSelector selector(table, catalogue, exchange, log, [&view] { return view.Now(); });
        TunedHook tunedHook(log, pump, HOOK_KEEPER_PATH);
        Pcr1000Link receiver(port, log, pump);
        PassScheduler scheduler(log, reader, selector, exchange, pump, noButton, tunedHook);
        scheduler.SetCheckPeriodForTesting(kCheckPeriod);

        const auto begun = std::chrono::steady_clock::now();
        scheduler.OnNextPass(receiver, {1, ""});
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        if (!PumpUntil(
                pump, [&view] { return view.hooksEnded == view.hooksStarted; }, 30s)) {
            std::printf("hooks still running at the end: %d\n",
                        view.hooksStarted - view.hooksEnded);
            ++failures;
        }
        const Resources atEnd = Measure(simulator);
        if (view.afterWarmUp) {
            Print("warm-up", *view.afterWarmUp);
        }
        Print("end", atEnd);
        std::printf(
            "checks %d, retunes %d, hook runs %d, pass list read again %d times, "
            "%ld log lines, in %.0f s\n",
            view.checksDone, view.retunes, view.hooksEnded, view.readsAgain, view.lines, seconds);

        const Resources warm = view.afterWarmUp.value_or(atStart);
        if (atEnd.descriptors > warm.descriptors || atEnd.threads > warm.threads ||
            atEnd.children > 0) {
            std::printf("descriptors, threads or children grew after warm-up\n");
            ++failures;
        }
        if (checks >= kChecksBeforeMemoryCounts &&
            atEnd.residentKb - warm.residentKb > kMostMemoryGrowthKb) {
            std::printf("memory grew by %ld kB after warm-up\n",
                        atEnd.residentKb - warm.residentKb);
            ++failures;
        }
        // A check or two may come between the quit's request and its taking.
        if (view.checksDone < checks || view.readsAgain < checks / kChecksPerList) {
            std::printf("not every check, or not every new list, was taken\n");
            ++failures;
        }
        const long logged = view.lines;
        if (!output.Flush(10s) || LinesIn(logFile) != logged) {
            std::printf("log lines lost: %ld logged, %ld written\n", logged, LinesIn(logFile));
            ++failures;
        }
        station.AwaitCommands(CommandsAfter(view.retunes), 10s);
        if (!RetunesWentOutWhole(station.Commands(), view.retunes)) {
            ++failures;
        }
    }
    std::printf(failures == 0 ? "soak: passed\n" : "soak: FAILED\n");
    return failures == 0 ? 0 : 1;
}
