#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <ctime>
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

    ChildProcess Start() { return ChildProcess({VANTREL_PATH, "--headless"}); }

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
