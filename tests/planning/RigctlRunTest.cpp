#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/FileTime.h"
#include "radio/RigctlLink.h"
#include "tests/support/Loopback.h"
#include "tests/support/RigctldProcess.h"
#include "tests/support/RunParts.h"
#include "tests/support/SimulatedStation.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

// rigctld's settings after each retune the receiver took whole, read on the
// run's thread before the run goes on.
class RigctldReadings final : public TuningListener {
public:
    explicit RigctldReadings(std::uint16_t port) : m_port(port) {}
    void OnTuningSent(const SentTuning&) override {
        readings.push_back(AskLoopback(m_port, "f\nm\nl AF\nl SQL\n", 5));
    }
    std::vector<std::string> readings;

private:
    std::uint16_t m_port;
};

}  // namespace

TEST(RigctlRunTest, ARunDrivesRigctldThroughAPassAndSwitchesItOff) {
    const RigctldProcess rigctld;
    const TempDir dir;
    const ScopedWorkingDirectory inDir(dir.Path());
    dir.Write("Vantrel.ini",
              "METEOR-M2 3, 137.9, WFM, 230, 50, 30\nDEFAULT, 137.1, FM, 15, 0, 100\n");
    dir.Write("PassList.txt",
              SimulatedStation::PassLine(CurrentCalendarTime() + 3, 3, "METEOR-M2 3"));
    RunParts parts;
    parts.scheduler.SetCheckPeriodForTesting(1s);
    RigctlLink link(parts.log);
    link.SetTarget({rigctld.Address(), RigctlServerKind::Rigctld});
    RigctldReadings readings(rigctld.Port());
    parts.tunings.next = &readings;

    parts.StartRun({1, ""}, link);
    ASSERT_TRUE(parts.view.AwaitLines("Write Timer Gone off", 3, 30s));
    // The quit waits for the retune under way, its readings included.
    ASSERT_TRUE(parts.QuitRun(10s));

    const std::string idle = "137100000\nFM\n15000\n0.000000\n1.000000\n";
    EXPECT_EQ(readings.readings, (std::vector<std::string>{
                                     idle, "137900000\nWFM\n230000\n0.500000\n0.300000\n", idle}));
    EXPECT_EQ(parts.view.Count("Radio ON - all Ok"), 1u);
    EXPECT_EQ(parts.view.Count("Receiver"), 0u);
    // Switched off, rigctld 4.5.4 leaves the question unanswered; others may say 0.
    EXPECT_NE(AskLoopback(rigctld.Port(), "\\get_powerstat\n", 1, 1s), "1\n");
}
