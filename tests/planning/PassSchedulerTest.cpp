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
    explicit PassSchedulerTest(std::vector<std::string> simulatorOptions = {})
        : station(std::move(simulatorOptions)) {
        station.WriteCatalogue(SimulatedStation::kCatalogue);
        port.SetReplyTimeout(kReplyTimeout);
        scheduler.SetCheckSecondsForTesting(1);
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
    bool WasLogged(std::string_view line) const {
        const Strings lines = Logged();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    static constexpr std::chrono::milliseconds kReplyTimeout{400};
    static constexpr std::chrono::milliseconds kPatience{15s};

    SimulatedStation station;
    CapturedDiagnostics diagnostics;
    RunSettings settings{1, 1, ""};
};

Strings Join(std::initializer_list<std::initializer_list<std::string_view>> parts) {
    Strings joined;
    for (const auto& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

const Strings kStartUp{"H1?\\r\\n", "H101\\r\\n", "H1?\\r\\n"};

}  // namespace

TEST_F(PassSchedulerTest, ARunTunesDefaultThenThePassAtItsStartThenDefaultAndSwitchesOff) {
    const std::time_t passStart = CurrentCalendarTime() + 4;
    station.WritePassList(SimulatedStation::PassLine(passStart, 2, "NOAA 19"));
    StartRun();
    ASSERT_TRUE(station.AwaitCommands(12, kPatience));
    QuitRun();

    const auto& d = SimulatedStation::kDefaultCommands;
    const auto& n = SimulatedStation::kNoaa19Commands;
    EXPECT_EQ(CommandsOnceThere(13), Join({{kStartUp[0], kStartUp[1], kStartUp[2]},
                                           {d[0], d[1], d[2]},
                                           {n[0], n[1], n[2]},
                                           {d[0], d[1], d[2]},
                                           {"H100\\r\\n"}}));
    EXPECT_EQ(cancelButton.captions, (Strings{"Turn Off Pcr", "Exit"}));
    EXPECT_TRUE(exchange.TunedSatellite().empty());
    EXPECT_TRUE(messages.shown.empty());
    // Each retune is told once its commands are out, with the pass it is for.
    ASSERT_EQ(tunings.sent.size(), 3u);
    EXPECT_EQ(tunings.sent[0].satellite, "DEFAULT");
    EXPECT_FALSE(tunings.sent[0].pass);
    EXPECT_EQ(tunings.sent[1].satellite, "NOAA 19");
    EXPECT_EQ(tunings.sent[1].settings.m_strFrequency, "137.1");
    EXPECT_EQ(tunings.sent[1].pass, (PassSpan{passStart, passStart + 2}));
    EXPECT_EQ(tunings.sent[2].satellite, "DEFAULT");
    EXPECT_FALSE(tunings.sent[2].pass);

    const Strings lines = Logged();
    EXPECT_EQ(Strings(lines.begin(), lines.begin() + 5),
              (Strings{"Radio Talking", "Radio OFF", "Loading Next Sat Pass", "Found Sat <DEFAULT>",
                       "Writing Radio Commands"}));
    // A check's own line follows the selection's; the commands it queued go
    // out at the next wake-up, before any later check.
    const auto asked =
        std::find(lines.begin(), lines.end(), "Asking Sat To Tune to <NOAA 19> Sat") -
        lines.begin();
    ASSERT_LT(asked + 4, static_cast<std::ptrdiff_t>(lines.size()));
    EXPECT_EQ(
        Strings(lines.begin() + asked + 1, lines.begin() + asked + 4),
        (Strings{"SatTimer Gone off", "Write Timer Gone off", "Tune Radio to Sat <NOAA 19>"}));
    EXPECT_TRUE(WasLogged("Length of Pass set to <2> Seconds"));
    EXPECT_TRUE(WasLogged("Asking Sat To Tune to <DEFAULT> Sat"));
    const auto stillCurrent =
        std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find(
                       "> Sat <DEFAULT> is still current - Radio not being asked to retune") !=
                   std::string::npos;
        });
    EXPECT_GE(stillCurrent, 1);
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

TEST_F(PassSchedulerTest, AQuitAskedForBeforeTheWaitEndsTheRunAtItsFirstLook) {
    pump.RequestQuit();
    StartRun();
    ASSERT_TRUE(AwaitRunEnd(kPatience));

    EXPECT_EQ(CommandsOnceThere(4),
              Join({{kStartUp[0], kStartUp[1], kStartUp[2]}, {"H100\\r\\n"}}));
    EXPECT_EQ(cancelButton.captions, (Strings{"Turn Off Pcr", "Exit"}));
    // No pass list: the run goes on without passes.
    EXPECT_EQ(messages.shown, Strings{"Can Not Open WxTrack Passlist.txt File"});
    EXPECT_FALSE(WasLogged("SatTimer Gone off"));
    EXPECT_FALSE(pump.PumpInput());
}

TEST_F(PassSchedulerTest, APortThatCannotBeOpenedEndsTheRunWithoutItsShutdown) {
    station.StopSimulator();
    for (const auto& [number, error] : {std::pair{1, ENOENT}, {0, ENODEV}, {256, ENODEV}}) {
        settings.comPort = number;
        try {
            scheduler.OnNextPass(settings);
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

namespace {

class SilentReceiverTest : public PassSchedulerTest {
protected:
    SilentReceiverTest() : PassSchedulerTest({"--silent"}) {}
};

}  // namespace

TEST_F(SilentReceiverTest, StartUpGivesUpAfterThePowerOnAndLeavesAQuitQueued) {
    station.WritePassList(SimulatedStation::PassLine(CurrentCalendarTime(), 600, "NOAA 19"));
    StartRun();
    ASSERT_TRUE(AwaitRunEnd(kPatience));

    EXPECT_EQ(CommandsOnceThere(3), (Strings{"H1?\\r\\n", "H101\\r\\n", "H100\\r\\n"}));
    EXPECT_EQ(Logged(), Strings{"Unknown Error"});
    EXPECT_EQ(cancelButton.captions, Strings{"Exit"});
    EXPECT_EQ(table.GetItemCount(), 0);
    // The quit the start-up asked for is still queued for whoever pumps next.
    EXPECT_TRUE(pump.PumpInput());
    EXPECT_FALSE(pump.PumpInput());
}
