#include <gtest/gtest.h>

#include <signal.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/FileTime.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeRigctlServer.h"
#include "tests/support/RigctldProcess.h"
#include "tests/support/SimulatedStation.h"

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

// `vantrel --headless` in a simulated station, at the system's own times:
// the 3000 ms reply time-out and the check every ten seconds.
class HeadlessStationTest : public ::testing::Test {
protected:
    HeadlessStationTest() { station.WriteCatalogue(SimulatedStation::kCatalogue); }

    ChildProcess Start(const ChildOptions& options = {}) {
        return ChildProcess({VANTREL_PATH, "--headless"}, options);
    }
    ChildProcess Start(std::vector<std::string> options) {
        options.insert(options.begin(), {VANTREL_PATH, "--headless"});
        return ChildProcess(std::move(options));
    }
    // The `tuned` hook; hooks.log goes to `state`.
    void WriteHook(std::string_view body) const {
        const std::filesystem::path hook = station.ConfigFolder() / "vantrel" / "hooks" / "tuned";
        std::filesystem::create_directories(hook.parent_path());
        std::ofstream(hook) << "#!/bin/sh\n" << body << "\n";
        std::filesystem::permissions(hook, std::filesystem::perms::owner_all);
    }
    // When a pass begins that the run's first check finds ahead and its
    // second under way: the start-up waits 3 s for the radio, so the second
    // comes after 13 s, and a busy machine may hold up the first by seconds.
    static std::time_t SecondCheckTime() { return CurrentCalendarTime() + 12; }
    void SaveSettings(std::string_view values) const {
        std::filesystem::create_directories(station.ConfigFolder() / "vantrel");
        std::ofstream(station.ConfigFolder() / "vantrel" / "Vantrel.conf") << "[General]\n"
                                                                           << values;
    }
    // The receiver's last three commands once it has got `count`: the
    // simulator may still be taking the last when Vantrel has ended.
    Strings LastCommands(std::size_t count) const {
        EXPECT_TRUE(station.AwaitCommands(count, 10s));
        const Strings commands = station.Commands();
        return Strings(
            commands.end() - static_cast<std::ptrdiff_t>(std::min<std::size_t>(3, commands.size())),
            commands.end());
    }
    // A run's end: off, then closed down.
    static inline const Strings kEnd{"H100\\r\\n", "P100\\r\\n", "\\0P100\\r\\n"};

    static Strings Lines(const std::string& text) {
        Strings lines;
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            lines.push_back(text.substr(start, end - start));
        }
        return lines;
    }

    SimulatedStation station;
    const TempDir state;
    const ScopedEnvironmentVariable stateHome{"XDG_STATE_HOME", state.Path().string()};
};

}  // namespace

TEST_F(HeadlessStationTest, RunsAtOnceTunesAtThePassStartRunsTheHookAndStopsCleanlyOnSigterm) {
    station.WritePassList(SimulatedStation::PassLine(SecondCheckTime(), 600, "NOAA 19"));
    WriteHook("sleep 1");
    ChildProcess vantrel = Start();
    ASSERT_TRUE(vantrel.AwaitOutput("Asking Sat To Tune to <DEFAULT> Sat\n", 10s));
    ASSERT_TRUE(vantrel.AwaitOutput("Hook <tuned> ended with status <0>\n", 10s));
    ASSERT_TRUE(vantrel.AwaitOutput("Asking Sat To Tune to <NOAA 19> Sat\n", 15s));
    ASSERT_TRUE(vantrel.AwaitOutput("Hook <tuned> started for <NOAA 19>\n", 10s));
    vantrel.Signal(SIGTERM);
    EXPECT_EQ(vantrel.Wait(10s), 0);

    ASSERT_TRUE(station.AwaitCommands(12, 5s));
    EXPECT_EQ(station.Commands().back(), "\\0P100\\r\\n");
    // Only developer traces go to standard error.
    EXPECT_EQ(vantrel.Errors(), "No Data from Radio port\n");
}

// A log reader that stops reading (a full pipe) holds up neither the pass's
// retune nor, once it reads again, any line; SIGHUP ends the run as Cancel.
TEST_F(HeadlessStationTest, AStalledLogReaderHoldsUpNothingAndSighupEndsTheRunCleanly) {
    station.WritePassList(SimulatedStation::PassLine(SecondCheckTime(), 600, "NOAA 19"));
    ChildProcess vantrel = Start({.closed = {}, .fullOutput = true});
    ASSERT_TRUE(station.AwaitCommands(9, 20s));
    EXPECT_EQ(station.Commands().back(), SimulatedStation::kNoaa19Commands[2]);
    ASSERT_TRUE(vantrel.AwaitOutput("Asking Sat To Tune to <NOAA 19> Sat\n", 10s));
    vantrel.Signal(SIGHUP);
    EXPECT_EQ(vantrel.Wait(10s), 0);
    EXPECT_EQ(LastCommands(12), kEnd);
    EXPECT_NE(vantrel.Output().find(std::string(4096, '.') + "Settings Read to Registry\n"),
              std::string::npos);
}

TEST_F(HeadlessStationTest, ALogReaderThatGoesAwayIsSaidOnceAndTheRunGoesOn) {
    station.WritePassList("");
    ChildProcess vantrel = Start();
    ASSERT_TRUE(vantrel.AwaitOutput("Settings Read to Registry\n", 10s));
    vantrel.CloseOutput();
    ASSERT_TRUE(station.AwaitCommands(6, 20s));
    vantrel.Signal(SIGTERM);
    EXPECT_EQ(vantrel.Wait(10s), 0);
    EXPECT_EQ(LastCommands(9), kEnd);
    const std::string errors = vantrel.Errors();
    const std::string gone = "vantrel: the log's reader is gone (Broken pipe); the run goes on\n";
    EXPECT_EQ(errors.find(gone), errors.rfind(gone)) << errors;
    EXPECT_NE(errors.find(gone), std::string::npos) << errors;
}

// Descriptors the run opens must not take the numbers of closed standard ones.
TEST_F(HeadlessStationTest, StartedWithoutStandardDescriptorsItGivesThemDevNull) {
    station.WritePassList("");
    ChildProcess vantrel = Start({.closed = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}});
    ASSERT_TRUE(station.AwaitCommands(6, 20s));
    for (const int standard : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        const std::string link =
            "/proc/" + std::to_string(vantrel.Pid()) + "/fd/" + std::to_string(standard);
        EXPECT_EQ(std::filesystem::read_symlink(link), "/dev/null") << link;
    }
}

// What the service's restart depends on.
TEST_F(HeadlessStationTest, ARunThatEndsByItselfExitsWithStatusOne) {
    station.WritePassList("2026 S 1 1 NOAA 19\n");
    ChildProcess vantrel = Start();
    EXPECT_EQ(vantrel.Wait(20s), 1);
    EXPECT_EQ(LastCommands(6), kEnd);
    EXPECT_NE(vantrel.Errors().find("vantrel: the run ended by itself; the log above says why\n"),
              std::string::npos);
}

// --rigctl against Hamlib's own server: the pass's settings are what the
// server holds, the hook is told which receiver and frequency, and the end
// of the run switches the radio off.
TEST_F(HeadlessStationTest, RigctlDrivesRigctldThroughAPassAndSwitchesItOffAtTheEnd) {
    const RigctldProcess rigctld;
    station.WriteCatalogue(
        "METEOR-M2 3, 137.9, WFM, 230, 50, 30\nDEFAULT, 137.1, FM, 15, 0, 100\n");
    // Its first check comes at once, the second ten seconds later.
    station.WritePassList(
        SimulatedStation::PassLine(CurrentCalendarTime() + 8, 600, "METEOR-M2 3"));
    WriteHook("echo \"$VANTREL_RECEIVER $VANTREL_FREQUENCY_HZ\"");

    ChildProcess vantrel = Start({"--rigctl", rigctld.Address()});
    ASSERT_TRUE(vantrel.AwaitOutput("Hook <tuned> started for <METEOR-M2 3>\n", 25s));
    EXPECT_EQ(AskLoopback(rigctld.Port(), "f\nm\nl AF\nl SQL\n\\get_powerstat\n", 6),
              "137900000\nWFM\n230000\n0.500000\n0.300000\n1\n");
    const std::filesystem::path hooksLog = state.Path() / "vantrel" / "hooks.log";
    const auto told = [&hooksLog](std::string_view line) {
        return FileContents(hooksLog).find(line) != std::string::npos;
    };
    for (const auto end = std::chrono::steady_clock::now() + 10s;
         !told("<METEOR-M2 3>") && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(20ms);
    }
    vantrel.Signal(SIGTERM);
    EXPECT_EQ(vantrel.Wait(10s), 0);
    // Switched off, rigctld 4.5.4 leaves the question unanswered; others may say 0.
    EXPECT_NE(AskLoopback(rigctld.Port(), "\\get_powerstat\n", 1, 1s), "1\n");

    const Strings log = Lines(vantrel.Output());
    for (const char* line : {"Radio Talking", "Radio ON - all Ok"}) {
        EXPECT_EQ(std::ranges::count(log, line), 1) << line;
    }
    EXPECT_FALSE(std::ranges::any_of(
        log, [](const std::string& line) { return line.starts_with("Receiver"); }));
    for (const char* line :
         {"<DEFAULT> rigctld 137100000\n", "<METEOR-M2 3> rigctld 137900000\n"}) {
        EXPECT_TRUE(told(line)) << FileContents(hooksLog);
    }
    EXPECT_TRUE(station.Commands().empty());
}

// Headless takes the saved network receiver; --rigctl or --rigctl-kind alone
// takes its part's place, the other part from the settings.
TEST_F(HeadlessStationTest, TheSavedNetworkReceiverOrTheCommandLinesPartInItsPlace) {
    const FakeRigctlServer gqrx(RigctlServerKind::Gqrx);
    std::string closed;
    {
        const FakeRigctlServer gone(RigctlServerKind::Gqrx);
        closed = gone.Address();
    }
    SaveSettings("Receiver=rigctl\nRigctl%20Address=" + closed + "\nRigctl%20Kind=gqrx\n");
    ChildProcess unreachable = Start();
    EXPECT_EQ(unreachable.Wait(10s), 1);
    EXPECT_EQ(unreachable.Output(), "Settings Read to Registry\n");
    EXPECT_NE(unreachable.Errors().find("vantrel: The receiver at " + closed +
                                        " cannot be reached: Connection refused\n"),
              std::string::npos)
        << unreachable.Errors();

    const auto drivesGqrx = [this](const std::vector<std::string>& options) {
        ChildProcess vantrel = Start(options);
        EXPECT_TRUE(vantrel.AwaitOutput("Volume and squelch are left to gqrx\n", 10s));
        vantrel.Signal(SIGTERM);
        EXPECT_EQ(vantrel.Wait(10s), 0);
    };
    drivesGqrx({"--rigctl", gqrx.Address()});
    SaveSettings("Receiver=pcr1000\nRigctl%20Address=" + gqrx.Address() +
                 "\nRigctl%20Kind=rigctld\n");
    drivesGqrx({"--rigctl-kind", "gqrx"});
    EXPECT_EQ(std::ranges::count(gqrx.Commands(), "\\chk_vfo"), 2);
    EXPECT_TRUE(station.Commands().empty());
}
