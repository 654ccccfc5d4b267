#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "tests/app/DialogFixture.h"
#include "tests/serial/FakeReceiverLine.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ReceiverPlayer.h"

// Runs against a receiver, a line or files that fail while the window
// drives them: each ends in a clear message or goes on as a run does, and
// none spins while it waits.

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The share of one core the whole process used since it was made.
class CpuShare {
public:
    double Since() const {
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        return (CpuSeconds() - m_cpu) / wall;
    }

private:
    double m_cpu = CpuSeconds();
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// A busy loop takes a whole core; waiting takes next to nothing.
constexpr double kMostCpuWhileWaiting = 0.25;

class FailingReceiverTest : public TunerDlgTest {
protected:
    explicit FailingReceiverTest(std::vector<std::string> simulatorOptions = {})
        : TunerDlgTest(std::move(simulatorOptions)) {}

    // One step of a run: once `when` holds, `then` acts, and the next step waits.
    struct Step {
        std::function<bool()> when;
        std::function<void()> then;
    };
    void Follow(std::vector<Step> steps) {
        auto next = std::make_shared<std::size_t>(0);
        Poll([steps = std::move(steps), next] {
            while (*next < steps.size() && steps[*next].when()) {
                steps[(*next)++].then();
            }
            return *next == steps.size();
        });
    }
    std::function<bool()> Sent(std::size_t count) const {
        return [this, count] { return m_station.Commands().size() >= count; };
    }
    std::function<bool()> BoxShown() const {
        return [this] { return !m_boxes.isEmpty(); };
    }
    void PressNextPass() { QTest::mouseClick(&NextPass(), Qt::LeftButton); }
    // The receiver answers the switch-off after the run has ended; a run
    // started at once would take that answer for its first reply, so the
    // next run waits for it, as a user's next press would.
    void AwaitTheSwitchOffAnswer() { QTest::qWait(300); }
    void PressCancel() { QTest::mouseClick(&Cancel(), Qt::LeftButton); }
    int Checks() const {
        const Lines lines = LogLines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), "SatTimer Gone off"));
    }
    bool Logged(std::string_view line) const {
        const Lines lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::string TakeBox() {
        EXPECT_FALSE(m_boxes.isEmpty());
        return m_boxes.isEmpty() ? std::string() : m_boxes.takeFirst().toStdString();
    }
};

}  // namespace

TEST_F(FailingReceiverTest, AReceiverThatVanishesEndsTheRunWithThePortAndTheReason) {
    m_station.WritePassList(SimulatedStation::PassLine(std::time(nullptr) + 3, 600, "NOAA 19"));
    ShortenWaits();
    std::unique_ptr<CpuShare> cpu;
    double waitingShare = 1.0;
    Follow({{Sent(6),
             [&] {
                 m_station.StopSimulator();
                 cpu = std::make_unique<CpuShare>();
             }},
            // The pass begins: the first command finds nobody there.
            {BoxShown(), [&] { waitingShare = cpu->Since(); }}});
    const AfterRun after = RunThenCancel();
    const std::string box = TakeBox();
    EXPECT_NE(box.find("COM1 (" + m_station.Com1().string() + ")"), std::string::npos) << box;
    EXPECT_NE(box.find(std::strerror(EIO)), std::string::npos) << box;
    EXPECT_EQ(after.caption, "Turn Off Pcr");
    EXPECT_TRUE(after.nextPassEnabled);
    EXPECT_TRUE(after.open);
    EXPECT_LT(waitingShare, kMostCpuWhileWaiting);
}

TEST_F(FailingReceiverTest, APortAnotherProgramTookBetweenRunsIsRefusedUntilItLetsGo) {
    m_station.WritePassList("");
    ShortenWaits();
    Follow({{Sent(6), [this] { PressCancel(); }}});
    RunThenCancel();
    // Vantrel has closed the port; another program takes it before the next run.
    m_dialog.reset();
    const std::string terminal = std::filesystem::read_symlink(m_station.Com1()).string();
    // It holds the lock itself, so the lock goes when it is stopped.
    auto holder = std::make_unique<ChildProcess>(std::vector<std::string>{
        "/bin/sh", "-c", "exec 9<>\"$0\" && flock 9 && exec sleep 60", terminal});
    QTest::qWait(300);
    m_dialog = std::make_unique<CTunerDlg>();
    ShortenWaits();
    const std::size_t sentBefore = m_station.Commands().size();
    EXPECT_EQ(Exec([&] {
                  PressNextPass();
                  ASSERT_EQ(m_boxes.size(), 1);
                  holder.reset();
                  Follow({{Sent(sentBefore + 6), [this] { PressCancel(); }}});
                  PressNextPass();
                  PressCancel();
              }),
              QDialog::Rejected);
    const std::string box = TakeBox();
    EXPECT_NE(box.find(std::strerror(EACCES)), std::string::npos) << box;
    // Once let go, the port serves a run as before.
    EXPECT_TRUE(m_station.AwaitCommands(sentBefore + 7, 2s));
}

TEST_F(FailingReceiverTest, ACatalogueDeletedMidRunIsReportedAtEachCheckUntilItIsBack) {
    m_station.WritePassList(SimulatedStation::PassLine(std::time(nullptr) + 4, 600, "NOAA 19"));
    ShortenWaits();
    const std::filesystem::path catalogue = m_station.WorkFolder() / "Vantrel.ini";
    std::unique_ptr<CpuShare> cpu;
    double waitingShare = 1.0;
    Follow({{Sent(6),
             [&] {
                 std::filesystem::remove(catalogue);
                 cpu = std::make_unique<CpuShare>();
             }},
            {[this] { return m_boxes.size() >= 2; },
             [&] {
                 waitingShare = cpu->Since();
                 m_station.WriteCatalogue(SimulatedStation::kCatalogue);
             }},
            {Sent(9), [this] { PressCancel(); }}});
    RunThenCancel();
    EXPECT_TRUE(Logged("Sat <NOAA 19> could Not be loaded"));
    while (!m_boxes.isEmpty()) {
        EXPECT_EQ(TakeBox(), "Could not Open file Vantrel.ini");
    }
    const Lines commands = m_station.Commands();
    ASSERT_GE(commands.size(), 9u);
    EXPECT_EQ(Lines(commands.begin() + 6, commands.begin() + 9),
              Lines(std::begin(SimulatedStation::kNoaa19Commands),
                    std::end(SimulatedStation::kNoaa19Commands)));
    EXPECT_LT(waitingShare, kMostCpuWhileWaiting);
}

TEST_F(FailingReceiverTest, APassListEditedMidRunCountsFromTheNextRunOn) {
    m_station.WritePassList("");
    ShortenWaits();
    std::size_t sentAfterEdit = 0;
    EXPECT_EQ(Exec([&] {
                  Follow({{Sent(6),
                           [this] {
                               m_station.WritePassList(SimulatedStation::PassLine(
                                   std::time(nullptr) - 10, 600, "NOAA 19"));
                           }},
                          {[this] { return Checks() >= 4; },
                           [&] {
                               sentAfterEdit = m_station.Commands().size();
                               PressCancel();
                           }}});
                  PressNextPass();
                  AwaitTheSwitchOffAnswer();
                  Follow({{Sent(13), [this] { PressCancel(); }}});
                  PressNextPass();
                  PressCancel();
              }),
              QDialog::Rejected);
    // The run that was going on kept its table: no retune.
    EXPECT_EQ(sentAfterEdit, 6u);
    const Lines commands = m_station.Commands();
    ASSERT_GE(commands.size(), 13u);
    EXPECT_EQ(Lines(commands.begin() + 10, commands.begin() + 13),
              Lines(std::begin(SimulatedStation::kNoaa19Commands),
                    std::end(SimulatedStation::kNoaa19Commands)));
}

// Noise where replies belong: bytes of no command set, a zero, no line end,
// more than a reply's eight bytes (the rest is still there at the next
// read), or a line end alone.
TEST_F(FailingReceiverTest, AReceiverThatAnswersGarbageNeitherStopsNorSpinsTheRun) {
    const std::vector<std::string> garbage{std::string("\x8f\xff\0\x01noise", 9),
                                           std::string(40, '#') + "\r\n", "\r\n", "H1",
                                           "G0\xfe\xfe\xfe\xfe\xfe\xfe\xfe\xfe\xfe"};
    std::size_t answered = 0;
    const TempDir elsewhere;
    const ScopedEnvironmentVariable configHome{"XDG_CONFIG_HOME", elsewhere.Path().string()};
    FakeReceiverLine line(elsewhere.Path());
    const ReceiverPlayer receiver(
        line, [&](const std::string&) { return garbage[answered++ % garbage.size()]; });
    m_station.WritePassList("");
    ShortenWaits();
    std::unique_ptr<CpuShare> cpu;
    double waitingShare = 1.0;
    std::size_t commandsAtChecks = 0;
    Follow({{[this] { return Caption() == "Turn Off Pcr"; },
             [&] { cpu = std::make_unique<CpuShare>(); }},
            {[this] { return Checks() >= 3; },
             [&] {
                 waitingShare = cpu->Since();
                 commandsAtChecks = receiver.Commands().size();
                 PressCancel();
             }}});
    const AfterRun after = RunThenCancel([] {}, 30s);
    EXPECT_EQ(after.caption, "Exit");
    EXPECT_TRUE(after.open);
    EXPECT_TRUE(Logged("Radio Talking"));
    EXPECT_TRUE(Logged("Radio OFF"));
    EXPECT_TRUE(Logged("Asking Sat To Tune to <DEFAULT> Sat"));
    // Start-up's three and the DEFAULT settings' three, each answered.
    const Lines commands = receiver.Commands();
    EXPECT_EQ(commandsAtChecks, 6u);
    ASSERT_GE(commands.size(), 7u);
    EXPECT_EQ(Lines(commands.begin(), commands.begin() + 7),
              (Lines{"H1?\r\n", "H101\r\n", "H1?\r\n", "K00137500000 060400\r\n", "J4000\r\n",
                     "J41FF\r\n", "H100\r\n"}));
    EXPECT_LT(waitingShare, kMostCpuWhileWaiting);
    // Its close-down command goes to the line while the test still plays it.
    m_dialog.reset();
}

// XOFF (0x13) stops our output until an XON that never comes.
TEST_F(FailingReceiverTest, AReceiverThatStopsOurOutputEndsTheRunWithAMessageNotAHang) {
    const TempDir elsewhere;
    const ScopedEnvironmentVariable configHome{"XDG_CONFIG_HOME", elsewhere.Path().string()};
    FakeReceiverLine line(elsewhere.Path());
    const ReceiverPlayer receiver(line, [](const std::string&) { return std::string("H1\x13"); });
    m_station.WritePassList("");
    ShortenWaits();
    Follow({{[this] { return Checks() >= 1; }, [this] { PressCancel(); }}});
    const auto start = std::chrono::steady_clock::now();
    const AfterRun after = RunThenCancel([] {}, 30s);
    EXPECT_EQ(after.caption, "Exit");
    EXPECT_TRUE(after.nextPassEnabled);
    const std::string box = TakeBox();
    EXPECT_NE(box.find("COM1"), std::string::npos) << box;
    EXPECT_NE(box.find(std::strerror(ETIMEDOUT)), std::string::npos) << box;
    // The flush gives up after its limit, the close-down writes after theirs.
    m_dialog.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

namespace {

class SlowReceiverTest : public FailingReceiverTest {
protected:
    SlowReceiverTest() : FailingReceiverTest({"--reply-delay", "2900"}) {}
};

}  // namespace

// At the system's own reply time-out of 3000 ms.
TEST_F(SlowReceiverTest, AnswersJustInsideTheTimeOutAreTaken) {
    m_station.WritePassList("");
    m_dialog->GetTuner().Scheduler().SetCheckSecondsForTesting(1);
    Follow({{Sent(6), [this] { PressCancel(); }}});
    const AfterRun after = RunThenCancel([] {}, 40s);
    EXPECT_EQ(after.caption, "Exit");
    EXPECT_TRUE(Logged("Radio OFF"));
    EXPECT_FALSE(Logged("Unknown Error"));
    EXPECT_TRUE(Logged("Asking Sat To Tune to <DEFAULT> Sat"));
}
