#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "planning/PassScheduler.h"
#include "planning/PlainMessagePump.h"
#include "platform/kernel/FileTime.h"
#include "tests/support/Diagnostics.h"
#include "tests/support/RunParts.h"
#include "tests/support/SimulatedStation.h"

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

// A run on the plain message pump against pcr1000-sim, with the checks
// every second and replies awaited for a shortened time.
class PassSchedulerTest : public ::testing::Test, protected RunParts {
protected:
    PassSchedulerTest() {
        station.WriteCatalogue(SimulatedStation::kCatalogue);
        port.SetReplyTimeout(kReplyTimeout);
        scheduler.SetCheckPeriodForTesting(1s);
    }
    ~PassSchedulerTest() override { EndRun(); }

    void StartRun() { RunParts::StartRun(settings); }
    void QuitRun() { ASSERT_TRUE(RunParts::QuitRun(10s)); }
    // The log, oldest line first.
    Strings Logged() const { return view.Lines(); }
    // The commands the receiver got, once there are `count` of them.
    Strings CommandsOnceThere(std::size_t count) const {
        EXPECT_TRUE(station.AwaitCommands(count, kPatience));
        return station.Commands();
    }

    static constexpr std::chrono::milliseconds kReplyTimeout{400};
    static constexpr std::chrono::milliseconds kPatience{15s};

    SimulatedStation station;
    CapturedDiagnostics diagnostics;
    RunSettings settings{1, ""};
};

}  // namespace

// The dialog's, the headless station's and the hook's tests run it too.
TEST_F(PassSchedulerTest, ARunTunesDefaultThenThePassAtItsStartThenDefaultAndSwitchesOff) {
    const std::time_t passStart = CurrentCalendarTime() + 4;
    station.WritePassList(SimulatedStation::PassLine(passStart, 2, "NOAA 19"));
    StartRun();
    ASSERT_TRUE(station.AwaitCommands(12, kPatience));
    QuitRun();

    Strings expected{"H1?\\r\\n", "H101\\r\\n", "H1?\\r\\n"};
    for (const auto& commands :
         {SimulatedStation::kDefaultCommands, SimulatedStation::kNoaa19Commands,
          SimulatedStation::kDefaultCommands}) {
        expected.insert(expected.end(), commands, commands + 3);
    }
    expected.push_back("H100\\r\\n");
    EXPECT_EQ(CommandsOnceThere(13), expected);
    EXPECT_TRUE(exchange.TunedSatellite().empty());
    ASSERT_EQ(tunings.sent.size(), 3u);
    // A check's own line follows the selection's; the commands it queued go
    // out at the next wake-up, before any later check.
    const Strings lines = Logged();
    const auto asked =
        std::find(lines.begin(), lines.end(), "Asking Sat To Tune to <NOAA 19> Sat") -
        lines.begin();
    ASSERT_LT(asked + 4, static_cast<std::ptrdiff_t>(lines.size()));
    EXPECT_EQ(
        Strings(lines.begin() + asked + 1, lines.begin() + asked + 4),
        (Strings{"SatTimer Gone off", "Write Timer Gone off", "Tune Radio to Sat <NOAA 19>"}));
}

TEST_F(PassSchedulerTest, AtThresholdOneARunShowsOnlyItsTunings) {
    log.SetReportLevelThreshold(ReportTuningOnly);
    station.WritePassList(SimulatedStation::PassLine(CurrentCalendarTime() + 4, 4, "NOAA 19"));
    StartRun();
    ASSERT_TRUE(station.AwaitCommands(12, kPatience));
    QuitRun();

    // The length line follows whenever the satellite tuned before was not
    // DEFAULT, the run's first tuning included.
    const auto tuning = [](std::string satellite, std::string frequency, std::string volume,
                           std::string squelch) {
        return Strings{"Writing Radio Commands",
                       "Tune Radio to Sat <" + satellite + ">",
                       "      Freq    <" + frequency + "> Mhz",
                       "      Mode    <WFM>",
                       "      Filter  <230> Khz",
                       "      Vol     <" + volume + ">%",
                       "      Squelch <" + squelch + ">%",
                       "Tell Radio to Tune etc."};
    };
    const Strings idle = tuning("DEFAULT", "137.5", "0", "100");
    const std::string length = "Length of Pass set to <4> Seconds";
    Strings expected = idle;
    expected.push_back(length);
    const Strings pass = tuning("NOAA 19", "137.1", "50", "30");
    expected.insert(expected.end(), pass.begin(), pass.end());
    expected.insert(expected.end(), idle.begin(), idle.end());
    expected.push_back(length);
    EXPECT_EQ(Logged(), expected);
}

TEST_F(PassSchedulerTest, APortThatCannotBeOpenedEndsTheRunWithoutItsShutdown) {
    station.StopSimulator();
    for (const auto& [number, error] : {std::pair{1, ENOENT}, {0, ENODEV}, {256, ENODEV}}) {
        receiver.SetComPort(number);
        try {
            scheduler.OnNextPass(receiver, settings);
            ADD_FAILURE() << "COM" << number << " opened";
        } catch (CSerialException* exception) {
            EXPECT_EQ(exception->m_dwError, static_cast<std::uint32_t>(error)) << "COM" << number;
            exception->Delete();
        }
    }
    EXPECT_TRUE(cancelButton.captions.empty());
    EXPECT_TRUE(view.Lines().empty());
    EXPECT_TRUE(diagnostics.assertions.empty());
}

// A port that failed halfway through a retune leaves commands queued and the
// write event set; the next run must still retune, whole, at its first check.
TEST_F(PassSchedulerTest, ANewRunSendsNothingLeftOverFromARetuneThatFailedHalfway) {
    station.WritePassList("");
    ASSERT_TRUE(catalogue.LoadSatellite("DEFAULT"));
    exchange.RequestRetune(std::nullopt);
    std::string sent;
    ASSERT_TRUE(exchange.NextRadioCommand(sent));
    StartRun();
    ASSERT_TRUE(view.AwaitLines("SatTimer Gone off", 2, kPatience));
    QuitRun();

    Strings expected{"H1?\\r\\n", "H101\\r\\n", "H1?\\r\\n"};
    expected.insert(expected.end(), std::begin(SimulatedStation::kDefaultCommands),
                    std::end(SimulatedStation::kDefaultCommands));
    expected.push_back("H100\\r\\n");
    EXPECT_EQ(CommandsOnceThere(expected.size()), expected);
    ASSERT_EQ(tunings.sent.size(), 1u);
    EXPECT_EQ(tunings.sent.front().satellite, "DEFAULT");
}

// Every other test shortens the period; a user's run checks every ten seconds.
TEST(PassSchedulerDefaults, ChecksAgainTenSecondsAfterItsFirstCheck) {
    SimulatedStation station;
    station.WriteCatalogue(SimulatedStation::kCatalogue);
    station.WritePassList("");
    RunParts run;
    run.StartRun({1, ""});
    ASSERT_TRUE(run.view.AwaitLines("SatTimer Gone off", 1, 10s));
    const auto firstCheck = std::chrono::steady_clock::now();
    ASSERT_TRUE(run.view.AwaitLines("SatTimer Gone off", 2, 15s));
    EXPECT_GE(std::chrono::steady_clock::now() - firstCheck, 9s);
    ASSERT_TRUE(run.QuitRun(10s));
}
