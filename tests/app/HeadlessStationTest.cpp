#include <gtest/gtest.h>

#include <signal.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/FileTime.h"
#include "tests/support/ChildProcess.h"
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
};

}  // namespace

TEST_F(HeadlessStationTest, RunsAtOnceTunesAtThePassStartRunsTheHookAndStopsCleanlyOnSigterm) {
    const std::time_t passStart = CurrentCalendarTime() + 8;
    station.WritePassList(SimulatedStation::PassLine(passStart, 600, "NOAA 19"));
    const TempDir state;
    const ScopedEnvironmentVariable stateHome("XDG_STATE_HOME", state.Path().string());
    const std::filesystem::path hook = station.ConfigFolder() / "vantrel" / "hooks" / "tuned";
    std::filesystem::create_directories(hook.parent_path());
    std::ofstream(hook) << "#!/bin/sh\nsleep 1\n";
    std::filesystem::permissions(hook, std::filesystem::perms::owner_all);
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

TEST_F(HeadlessStationTest, ShowsWhatTheSavedThresholdShowsAndStopsOnSigint) {
    std::filesystem::create_directories(station.ConfigFolder() / "vantrel");
    std::ofstream(station.ConfigFolder() / "vantrel" / "Vantrel.conf")
        << "[General]\nReporting=1\n";
    ChildProcess vantrel = Start();
    ASSERT_TRUE(vantrel.AwaitOutput("Length of Pass set to <0> Seconds\n", 10s));
    vantrel.Signal(SIGINT);
    EXPECT_EQ(vantrel.Wait(10s), 0);
    EXPECT_EQ(Lines(vantrel.Output()),
              (Strings{"Writing Radio Commands", "Tune Radio to Sat <DEFAULT>",
                       "      Freq    <137.5> Mhz", "      Mode    <WFM>",
                       "      Filter  <230> Khz", "      Vol     <0>%", "      Squelch <100>%",
                       "Tell Radio to Tune etc.", "Length of Pass set to <0> Seconds"}));
    EXPECT_NE(vantrel.Errors().find("vantrel: Can Not Open WxTrack Passlist.txt File\n"),
              std::string::npos);
}

TEST_F(HeadlessStationTest, APortThatFailsEndsItWithThePortAndTheReason) {
    station.StopSimulator();
    ChildProcess vantrel = Start();
    EXPECT_EQ(vantrel.Wait(10s), 1);
    EXPECT_EQ(vantrel.Output(), "Settings Read to Registry\n");
    EXPECT_NE(vantrel.Errors().find("vantrel: Serial port COM1 (" + station.Com1().string() +
                                    "): No such file or directory\n"),
              std::string::npos)
        << vantrel.Errors();
    EXPECT_TRUE(station.Commands().empty());
}

// A log reader that stops reading (a full pipe) holds up neither the pass's
// retune nor, once it reads again, any line; SIGHUP ends the run as Cancel.
TEST_F(HeadlessStationTest, AStalledLogReaderHoldsUpNothingAndSighupEndsTheRunCleanly) {
    station.WritePassList(SimulatedStation::PassLine(CurrentCalendarTime() + 5, 600, "NOAA 19"));
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
    vantrel.Signal(SIGTERM);
    EXPECT_EQ(vantrel.Wait(10s), 0);
    EXPECT_EQ(LastCommands(9), kEnd);
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
