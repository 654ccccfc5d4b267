#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/hooks/HookEnvironment.h"
#include "app/hooks/TunedHook.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/RunParts.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/SimulatedStation.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

constexpr std::chrono::milliseconds kPatience{20s};

// True when a child of this process has ended and was not reaped.
bool ZombieLeft() {
    siginfo_t info{};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

// Waits until `holds` is true, or `limit` has passed.
bool Await(const std::function<bool()>& holds, std::chrono::milliseconds limit = kPatience) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Handles the pump's input until `count` lines of `view` hold `text`, or
// kPatience has passed.
bool PumpUntilLogged(MessagePump& pump, const SharedLogLines& view, std::string_view text,
                     std::size_t count = 1) {
    return PumpUntil(
        pump, [&] { return view.Count(text) >= count; }, kPatience);
}

std::string Script(std::string_view body) {
    return "#!/bin/sh\n" + std::string(body) + "\n";
}

// A test's hook in XDG_CONFIG_HOME `configHome`, and a folder of its own
// for hooks.log (as XDG_STATE_HOME) and for what the hook leaves.
class HookFiles {
public:
    explicit HookFiles(const std::filesystem::path& configHome)
        : m_hook(configHome / "vantrel" / "hooks" / "tuned") {}
    // A test that failed half-way must not leave a hook waiting for ever.
    ~HookFiles() {
        const UniqueFd gate(::open(Scratch("gate").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        if (gate.IsValid()) {
            [[maybe_unused]] const ssize_t written = ::write(gate.Get(), "go\n", 3);
        }
    }
    HookFiles(const HookFiles&) = delete;
    HookFiles& operator=(const HookFiles&) = delete;

    const std::filesystem::path& Hook() const { return m_hook; }
    void WriteHook(std::string_view script, mode_t mode = 0700) const {
        std::filesystem::create_directories(m_hook.parent_path());
        std::ofstream(m_hook) << script;
        ::chmod(m_hook.c_str(), mode);
    }
    std::string HooksLog() const {
        return FileContents(m_dir.Path() / "state" / "vantrel" / "hooks.log");
    }
    std::filesystem::path Scratch(std::string_view name) const { return m_dir.Path() / name; }
    // A FIFO the hook reads from, so that it runs until the test writes.
    std::filesystem::path MakeGate() const {
        const std::filesystem::path gate = Scratch("gate");
        ::mkfifo(gate.c_str(), 0600);
        return gate;
    }
    static void OpenGate(const std::filesystem::path& gate) { std::ofstream(gate) << "go\n"; }

private:
    TempDir m_dir;
    ScopedEnvironmentVariable m_stateHome{"XDG_STATE_HOME", (m_dir.Path() / "state").string()};
    std::filesystem::path m_hook;
};

// The hook on its own, outside a run: a tuning is handed to it directly and
// the test pumps the input its end comes back as.
class TunedHookTest : public ::testing::Test {
protected:
    bool PumpUntilLogged(std::string_view text, std::size_t count = 1) {
        return ::PumpUntilLogged(pump, view, text, count);
    }

    const SentTuning kDefault{"DEFAULT", {}, std::nullopt, "pcr1000"};
    std::string Refused(std::string_view reason) const {
        return "Hook <tuned> refused: <" + files.Hook().string() + "> " + std::string(reason);
    }

    TempDir config;
    ScopedEnvironmentVariable configHome{"XDG_CONFIG_HOME", config.Path().string()};
    HookFiles files{config.Path()};
    SharedLogLines view;
    ActivityLog log{view};
    PlainMessagePump pump;
    TunedHook hook{log, pump, HOOK_KEEPER_PATH};
};

// Makes the hook a file of another user's: root gives one away, anyone
// else links to one of root's.
void MakeAnotherUsersHook(const HookFiles& files) {
    if (::geteuid() == 0) {
        files.WriteHook(Script("exit 0"));
        ASSERT_EQ(::chown(files.Hook().c_str(), 65534, 65534), 0);
    } else {
        std::filesystem::create_directories(files.Hook().parent_path());
        std::filesystem::create_symlink("/bin/true", files.Hook());
    }
}

}  // namespace

TEST_F(TunedHookTest, OnlyAnExecutableFileOfTheUsersOwnThatOnlyTheyMayWriteRuns) {
    const std::string good = Script("exit 0");
    struct Case {
        const char* what;
        std::function<void()> make;
        Strings logged;
    };
    const std::vector<Case> cases{
        {"missing", [] {}, {}},
        {"not executable", [&] { files.WriteHook(good, 0600); }, {Refused("is not executable")}},
        {"writable by group",
         [&] { files.WriteHook(good, 0770); },
         {Refused("is writable by group or others")}},
        {"writable by others",
         [&] { files.WriteHook(good, 0702); },
         {Refused("is writable by group or others")}},
        {"a folder",
         [&] { std::filesystem::create_directories(files.Hook()); },
         {Refused("is not a regular file")}},
        {"another user's",
         [&] { MakeAnotherUsersHook(files); },
         {Refused("is not owned by the user Vantrel runs as")}},
        {"a link to a good one",
         [&] {
             std::ofstream(files.Scratch("good")) << good;
             ::chmod(files.Scratch("good").c_str(), 0700);
             std::filesystem::create_directories(files.Hook().parent_path());
             std::filesystem::create_symlink(files.Scratch("good"), files.Hook());
         },
         {"Hook <tuned> started for <DEFAULT>"}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(files.Hook());
        c.make();
        view.RemoveAllLines();
        hook.OnTuningSent(kDefault);
        EXPECT_EQ(view.Lines(), c.logged) << c.what;
    }
    EXPECT_TRUE(PumpUntilLogged("Hook <tuned> ended with status <0>"));
}

TEST_F(TunedHookTest, HowAHookEndedIsLoggedAndItsOutputGoesToHooksLog) {
    struct Case {
        std::string script;
        std::string ended;
        std::string output;
    };
    const std::vector<Case> cases{
        {Script("echo failing; exit 3"), "ended with status <3>", "<DEFAULT> failing\n"},
        {Script("echo stopping >&2; kill -TERM $$"), "ended by signal <15>",
         "<DEFAULT> stopping\n"},
        {"#!/no/such/shell\n", "ended with status <127>",
         "<DEFAULT> cannot run " + files.Hook().string() + ": No such file or directory\n"},
    };
    for (const Case& c : cases) {
        files.WriteHook(c.script);
        view.RemoveAllLines();
        hook.OnTuningSent(kDefault);
        ASSERT_TRUE(PumpUntilLogged("Hook <tuned> ended")) << c.script;
        EXPECT_EQ(view.Lines(),
                  (Strings{"Hook <tuned> started for <DEFAULT>", "Hook <tuned> " + c.ended}))
            << c.script;
        // Reaped as soon as its end was noticed.
        EXPECT_FALSE(ZombieLeft()) << c.script;
        EXPECT_NE(files.HooksLog().find(c.output), std::string::npos) << files.HooksLog();
    }
}

TEST_F(TunedHookTest, TheHookRunsApartFromVantrelWithNoneOfItsDescriptorsOrSignalSettings) {
    // What a careless library might leave open, Vantrel's own input, and a
    // signal Vantrel's terminal handling might ignore.
    const UniqueFd leaked(::dup2(UniqueFd(::open("/dev/zero", O_RDONLY)).Get(), 50));
    ASSERT_TRUE(leaked.IsValid());
    const UniqueFd input(::dup(STDIN_FILENO));
    ::dup2(leaked.Get(), STDIN_FILENO);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ::sigaction(SIGINT, &ignore, &previous);
    files.WriteHook(
        Script("read -r _ _ _ _ _ session _ < /proc/$$/stat\n"
               "[ \"$session\" = \"$PPID\" ] && echo own session\n"
               "[ -e /proc/$$/fd/50 ] && echo leaked\n"
               "echo input $(readlink /proc/$$/fd/0)\n"
               "echo ignored $(sed -n 's/^SigIgn:\\t//p' /proc/$$/status)\n"
               "exit 0"));
    hook.OnTuningSent(kDefault);
    ::sigaction(SIGINT, &previous, nullptr);
    ::dup2(input.Get(), STDIN_FILENO);
    ASSERT_TRUE(PumpUntilLogged("Hook <tuned> ended with status <0>"));

    const std::string output = files.HooksLog();
    EXPECT_NE(output.find("<DEFAULT> own session\n"), std::string::npos) << output;
    EXPECT_EQ(output.find("leaked"), std::string::npos) << output;
    EXPECT_NE(output.find("<DEFAULT> input /dev/null\n"), std::string::npos) << output;
    const std::size_t ignored = output.find("<DEFAULT> ignored ");
    ASSERT_NE(ignored, std::string::npos) << output;
    const unsigned long long mask = std::stoull(output.substr(ignored + 18), nullptr, 16);
    EXPECT_EQ(mask & ((1ULL << (SIGINT - 1)) | (1ULL << (SIGPIPE - 1))), 0u) << output;
}

TEST_F(TunedHookTest, AnEndTheSystemReapedItselfIsLoggedAndNotWatchedForever) {
    // Started by a parent that ignores SIGCHLD, Vantrel inherits that.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ::sigaction(SIGCHLD, &ignore, &previous);
    files.WriteHook(Script("exit 0"));
    hook.OnTuningSent(kDefault);
    // The reason depends on how far the system got with reaping it: "No
    // child processes", or "No such process" once it is gone altogether.
    const bool logged = PumpUntilLogged("Hook <tuned> ended, how is not known: No ");
    ::sigaction(SIGCHLD, &previous, nullptr);
    EXPECT_TRUE(logged) << view.Lines().back();
}

TEST_F(TunedHookTest, WhatTheHookLeavesRunningStillWritesToHooksLogAfterItsEnd) {
    const std::filesystem::path gate = files.MakeGate();
    files.WriteHook(Script("(read line < \"" + gate.string() + "\"; echo late) &\necho early"));
    hook.OnTuningSent(kDefault);
    ASSERT_TRUE(PumpUntilLogged("Hook <tuned> ended with status <0>"));
    HookFiles::OpenGate(gate);
    EXPECT_TRUE(Await([&] {
        return files.HooksLog().find("<DEFAULT> late\n") != std::string::npos;
    })) << files.HooksLog();
    EXPECT_NE(files.HooksLog().find("<DEFAULT> early\n"), std::string::npos) << files.HooksLog();
}

TEST_F(TunedHookTest, HooksStillRunningAreLeftToFinishAndEndedOnesAreReaped) {
    const std::filesystem::path gate = files.MakeGate();
    files.WriteHook(Script("echo $PPID > \"" + files.Scratch("").string() + "$1\"\n" +
                           "[ \"$1\" = quick ] && exit 0\nread line < \"" + gate.string() +
                           "\"\necho finished > \"" + files.Scratch("finished").string() + "\""));
    pid_t waiting = 0;
    {
        TunedHook leaving(log, pump, HOOK_KEEPER_PATH);
        SentTuning tuning = kDefault;
        tuning.satellite = "quick";
        leaving.OnTuningSent(tuning);
        tuning.satellite = "waiting";
        leaving.OnTuningSent(tuning);
        for (const char* written : {"quick", "waiting"}) {
            ASSERT_TRUE(Await([&] { return !FileContents(files.Scratch(written)).empty(); }));
        }
        const pid_t quick = std::stoi(FileContents(files.Scratch("quick")));
        waiting = std::stoi(FileContents(files.Scratch("waiting")));
        // The quick one ends; nobody pumps, so it waits to be reaped.
        siginfo_t info{};
        ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(quick), &info, WEXITED | WNOWAIT), 0);
    }
    EXPECT_FALSE(ZombieLeft());
    EXPECT_FALSE(std::filesystem::exists(files.Scratch("finished")));
    HookFiles::OpenGate(gate);
    int status = -1;
    ASSERT_EQ(::waitpid(waiting, &status, 0), waiting);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(FileContents(files.Scratch("finished")), "finished\n");
}

// Hooks that hang must not pile up: eight run at once, a ninth waits for
// the next retune; and a keeper started at the descriptor limit, which could
// never be watched, is not started at all, so none stays a zombie.
TEST_F(TunedHookTest, AtMostEightHooksRunAndEveryKeeperIsReaped) {
    const std::filesystem::path go = files.Scratch("go");
    files.WriteHook(Script("until [ -e \"" + go.string() + "\" ]; do sleep 0.1; done"));
    for (std::size_t started = 0; started <= TunedHook::kMostRunning; ++started) {
        hook.OnTuningSent(kDefault);
    }
    EXPECT_EQ(view.Count("Hook <tuned> started for <DEFAULT>"), TunedHook::kMostRunning);
    EXPECT_EQ(view.Lines().back(), "Hook <tuned> not started for <DEFAULT>: 8 hooks still running");
    std::ofstream(go).flush();
    ASSERT_TRUE(PumpUntilLogged("Hook <tuned> ended with status <0>", TunedHook::kMostRunning));

    files.WriteHook(Script("exit 0"));
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    // Room for the hook's own file, and not one descriptor more.
    const int lowestFree = UniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC)).Get();
    const rlimit full{static_cast<rlim_t>(lowestFree + 1), limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &full), 0);
    view.RemoveAllLines();
    hook.OnTuningSent(kDefault);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(view.Lines(), Strings{"Hook <tuned> not started for <DEFAULT>: Too many open files"});
    EXPECT_FALSE(Await(ZombieLeft, 1s));
}

TEST_F(TunedHookTest, TheReadmesExampleRecordsEachPassIntoAFileNamedAfterTheSatelliteAndTime) {
    const std::string readme = FileContents(README_PATH);
    const std::size_t start = readme.find("    #!/bin/sh\n    # ~/.config/vantrel/hooks/tuned");
    ASSERT_NE(start, std::string::npos);
    std::string script;
    std::istringstream block(readme.substr(start, readme.find("\n\n", start) - start));
    for (std::string line; std::getline(block, line);) {
        script += line.substr(4) + "\n";
    }
    files.WriteHook(script);
    // arecord stands in for itself: it tells what it was asked for.
    const std::filesystem::path bin = files.Scratch("bin");
    std::filesystem::create_directories(bin);
    std::ofstream(bin / "arecord")
        << Script("printf '%s ' \"$@\" > \"" + files.Scratch("asked").string() + "\"");
    ::chmod((bin / "arecord").c_str(), 0700);
    const ScopedEnvironmentVariable path("PATH", bin.string() + ":" + std::getenv("PATH"));
    const ScopedEnvironmentVariable home("HOME", files.Scratch("home").string());
    // Where the README says the output goes when nothing else is set.
    const ScopedEnvironmentVariable stateHome("XDG_STATE_HOME", std::nullopt);

    hook.OnTuningSent(kDefault);
    ASSERT_TRUE(PumpUntilLogged("Hook <tuned> ended with status <0>"));
    // An SDR program records the pass itself.
    const std::time_t now = CurrentCalendarTime();
    SentTuning pass{"METEOR-M2 3", {}, PassSpan{now - 60, now + 600}, ""};
    std::size_t ended = 1;
    for (const char* receiver : {"gqrx", "sdrpp", "rigctld"}) {
        EXPECT_FALSE(std::filesystem::exists(files.Scratch("asked"))) << receiver;
        pass.receiver = receiver;
        hook.OnTuningSent(pass);
        ASSERT_TRUE(PumpUntilLogged("Hook <tuned> ended with status <0>", ++ended));
    }

    const std::string asked = FileContents(files.Scratch("asked"));
    const std::string folder = files.Scratch("home").string() + "/wx/recordings/";
    std::smatch tail;
    // What is left of the pass when the hook ran: a busy machine may be late.
    ASSERT_TRUE(std::regex_match(asked, tail,
                                 std::regex("-q -f S16_LE -r 48000 -c 1 -d (5[4-9][0-9]|600) (" +
                                            folder + "METEOR-M2_3-[0-9]{8}-[0-9]{6}\\.wav) ")))
        << asked;
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    const std::string output =
        FileContents(files.Scratch("home") / ".local" / "state" / "vantrel" / "hooks.log");
    EXPECT_NE(
        output.find("<METEOR-M2 3> recording " + tail.str(1) + " seconds to " + tail.str(2) + "\n"),
        std::string::npos)
        << output;
}

TEST(HookEnvironmentTest,
     TheTuningReplacesInheritedValuesAndTheSecondsLeftAreWholeAndNeverBelowZero) {
    SatelliteSettings settings;
    settings.m_strFrequency = "137.9125";
    settings.m_dFrequencyMHz = 137.9125;
    settings.m_strMode = "WFM";
    settings.m_strFilter = "230";
    settings.m_strVolume = "50";
    settings.m_strSquelch = "30";
    const SentTuning tuning{"NOAA 19", settings, PassSpan{1000, 1900}, "sdrpp"};
    const char* const inherited[] = {"PATH=/bin", "VANTREL_SATELLITE=stale",
                                     "VANTREL_SATELLITES=kept", nullptr};
    const auto at = [](std::time_t seconds, std::chrono::milliseconds extra) {
        return std::chrono::system_clock::from_time_t(seconds) + extra;
    };
    for (const auto& [now, left] :
         std::vector<std::pair<std::chrono::system_clock::time_point, std::string>>{
             {at(1000, 500ms), "899"},
             {at(1899, 0ms), "1"},
             {at(1899, 1ms), "0"},
             {at(2000, 0ms), "0"}}) {
        EXPECT_EQ(
            HookEnvironment(tuning, now, inherited),
            (Strings{"PATH=/bin", "VANTREL_SATELLITES=kept", "VANTREL_SATELLITE=NOAA 19",
                     "VANTREL_RECEIVER=sdrpp", "VANTREL_FREQUENCY_MHZ=137.9125",
                     "VANTREL_FREQUENCY_HZ=137912500", "VANTREL_MODE=WFM", "VANTREL_FILTER_KHZ=230",
                     "VANTREL_VOLUME=50", "VANTREL_SQUELCH=30", "VANTREL_PASS_START=1000",
                     "VANTREL_PASS_END=1900", "VANTREL_PASS_SECONDS=" + left}))
            << left;
    }
    settings.m_dFrequencyMHz = 128.003;
    const std::vector<std::string> between =
        HookEnvironment({"DEFAULT", settings, std::nullopt, "sdrpp"}, at(1000, 0ms), inherited);
    EXPECT_EQ(between[5], "VANTREL_FREQUENCY_HZ=128003000");
    EXPECT_EQ(Strings(between.end() - 3, between.end()),
              (Strings{"VANTREL_PASS_START=", "VANTREL_PASS_END=", "VANTREL_PASS_SECONDS="}));
}

namespace {

// Runs against pcr1000-sim with the hook told of each retune, the checks
// every second and replies awaited for a shortened time.
class TunedHookRunTest : public ::testing::Test, protected RunParts {
protected:
    TunedHookRunTest() {
        station.WriteCatalogue(SimulatedStation::kCatalogue);
        port.SetReplyTimeout(400ms);
        scheduler.SetCheckPeriodForTesting(1s);
        tunings.next = &hook;
    }
    ~TunedHookRunTest() override { EndRun(); }

    ScopedTimeZone tz{"<+04>-4"};
    SimulatedStation station;
    HookFiles files{station.ConfigFolder()};
    TunedHook hook{log, pump, HOOK_KEEPER_PATH};
};

std::string LocalStamp(std::time_t at) {
    std::tm local{};
    localtime_r(&at, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    return stamp;
}

}  // namespace

TEST_F(TunedHookRunTest, TheHookIsRunAfterEachRetuneWithThePassItIsFor) {
    files.WriteHook(
        Script("echo \"$1 $VANTREL_RECEIVER $VANTREL_FREQUENCY_HZ $VANTREL_PASS_START "
               "$VANTREL_PASS_END\""));
    const std::time_t passStart = CurrentCalendarTime() + 4;
    station.WritePassList(SimulatedStation::PassLine(passStart, 3, "NOAA 19"));
    StartRun({1, ""});
    ASSERT_TRUE(view.AwaitLines("Hook <tuned> ended with status <0>", 3, kPatience));
    ASSERT_TRUE(QuitRun(10s));
    EXPECT_FALSE(ZombieLeft());

    // Each hook starts once its retune's commands are out.
    const Strings lines = view.Lines();
    Strings startedFor;
    for (std::size_t index = 1; index < lines.size(); ++index) {
        if (lines[index].starts_with("Hook <tuned> started")) {
            startedFor.push_back(lines[index]);
            EXPECT_EQ(lines[index - 1], "Got Radio Command");
        }
    }
    EXPECT_EQ(startedFor,
              (Strings{"Hook <tuned> started for <DEFAULT>", "Hook <tuned> started for <NOAA 19>",
                       "Hook <tuned> started for <DEFAULT>"}));
    // Stamped in local time when the keeper took the line: at the pass's
    // start or a check later.
    const std::string hooksLog = files.HooksLog();
    EXPECT_NE(hooksLog.find(" <DEFAULT> DEFAULT pcr1000 137500000  \n"), std::string::npos)
        << hooksLog;
    const std::string pass = " <NOAA 19> NOAA 19 pcr1000 137100000 " + std::to_string(passStart) +
                             " " + std::to_string(passStart + 3) + "\n";
    EXPECT_TRUE(std::ranges::any_of(
        std::vector<std::time_t>{passStart, passStart + 1, passStart + 2},
        [&](std::time_t at) { return hooksLog.find(LocalStamp(at) + pass) != std::string::npos; }))
        << hooksLog;
}

TEST_F(TunedHookRunTest, AHookThatRunsOnHoldsUpNeitherTheChecksNorTheEndOfTheRun) {
    const std::filesystem::path gate = files.MakeGate();
    files.WriteHook(Script("read line < \"" + gate.string() + "\""));
    station.WritePassList("");
    StartRun({1, ""});
    ASSERT_TRUE(view.AwaitLines("Hook <tuned> started for <DEFAULT>", 1, kPatience));
    const std::size_t checks = view.Count("SatTimer Gone off");
    EXPECT_TRUE(view.AwaitLines("SatTimer Gone off", checks + 2, kPatience));
    ASSERT_TRUE(QuitRun(10s));
    EXPECT_EQ(view.Count("Hook <tuned> ended"), 0u);

    // Its end is noticed wherever the input is pumped next.
    HookFiles::OpenGate(gate);
    ASSERT_TRUE(PumpUntilLogged(pump, view, "Hook <tuned> ended"));
    EXPECT_EQ(view.Lines().back(), "Hook <tuned> ended with status <0>");
    EXPECT_FALSE(ZombieLeft());
}
