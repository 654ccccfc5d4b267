#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "tests/app/DialogFixture.h"
#include "tests/serial/FakeReceiverLine.h"
#include "tests/support/ReceiverPlayer.h"

// Receivers that fail while the window drives them: each ends in a clear
// message or goes on as a run does. (What a waiting run costs in CPU is
// measured by bench/idle-run.sh, not here: a busy machine skews it.)

namespace {

class FailingReceiverTest : public TunerDlgTest {
protected:
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
    void PressCancel() { QTest::mouseClick(&Cancel(), Qt::LeftButton); }
    std::function<bool()> Checked(int times) const {
        return
            [this, times] { return std::ranges::count(LogLines(), "SatTimer Gone off") >= times; };
    }
    bool Logged(std::string_view line) const { return std::ranges::count(LogLines(), line) > 0; }
    std::string TakeBox() {
        EXPECT_EQ(m_boxes.size(), 1);
        return m_boxes.isEmpty() ? std::string() : m_boxes.takeFirst().toStdString();
    }
};

// The test plays the receiver on a pseudo-terminal of its own as COM1.
struct PlayedLine {
    TempDir folder;
    ScopedEnvironmentVariable configHome{"XDG_CONFIG_HOME", folder.Path().string()};
    FakeReceiverLine line{folder.Path()};
};

}  // namespace

TEST_F(FailingReceiverTest, AReceiverThatVanishesEndsTheRunWithTheReason) {
    m_station.WritePassList(SimulatedStation::PassLine(std::time(nullptr) + 3, 600, "NOAA 19"));
    ShortenWaits();
    // The pass begins: the first command finds nobody there.
    Follow({{[this] { return m_station.Commands().size() >= 6; },
             [this] { m_station.StopSimulator(); }}});
    const AfterRun after = RunThenCancel();
    const std::string box = TakeBox();
    EXPECT_NE(box.find(std::strerror(EIO)), std::string::npos) << box;
    EXPECT_TRUE(after.nextPassEnabled);
}

// Noise where replies belong: bytes of no command set, a zero, no line end,
// more than a reply's eight bytes (the rest is still there at the next
// read), or a line end alone.
TEST_F(FailingReceiverTest, AReceiverThatAnswersGarbageDoesNotStopTheRun) {
    const std::vector<std::string> garbage{std::string("\x8f\xff\0\x01noise", 9),
                                           std::string(40, '#') + "\r\n", "\r\n", "H1",
                                           "G0\xfe\xfe\xfe\xfe\xfe\xfe\xfe\xfe\xfe"};
    std::size_t answered = 0;
    PlayedLine played;
    const ReceiverPlayer receiver(
        played.line, [&](const std::string&) { return garbage[answered++ % garbage.size()]; });
    m_station.WritePassList("");
    ShortenWaits();
    std::size_t commandsAtChecks = 0;
    Follow({{Checked(3), [&] {
                 commandsAtChecks = receiver.Commands().size();
                 PressCancel();
             }}});
    const AfterRun after = RunThenCancel([] {}, 30s);
    EXPECT_EQ(after.caption, "Exit");
    EXPECT_TRUE(Logged("Radio Talking"));
    EXPECT_TRUE(Logged("Radio OFF"));
    // Start-up's three and the DEFAULT settings' three, each answered.
    const Lines commands = receiver.Commands();
    EXPECT_EQ(commandsAtChecks, 6u);
    ASSERT_GE(commands.size(), 7u);
    EXPECT_EQ(Lines(commands.begin(), commands.begin() + 7),
              (Lines{"H1?\r\n", "H101\r\n", "H1?\r\n", "K00137500000 060400\r\n", "J4000\r\n",
                     "J41FF\r\n", "H100\r\n"}));
    // Its close-down command goes to the line while the test still plays it.
    m_dialog.reset();
}

// XOFF (0x13) stops our output until an XON that never comes.
TEST_F(FailingReceiverTest, AReceiverThatStopsOurOutputEndsTheRunWithAMessageNotAHang) {
    PlayedLine played;
    const ReceiverPlayer receiver(played.line,
                                  [](const std::string&) { return std::string("H1\x13"); });
    m_station.WritePassList("");
    ShortenWaits();
    Follow({{Checked(1), [this] { PressCancel(); }}});
    const auto start = std::chrono::steady_clock::now();
    const AfterRun after = RunThenCancel([] {}, 30s);
    EXPECT_EQ(after.caption, "Exit");
    const std::string box = TakeBox();
    EXPECT_NE(box.find("COM1"), std::string::npos) << box;
    EXPECT_NE(box.find(std::strerror(ETIMEDOUT)), std::string::npos) << box;
    // The flush gives up after its limit, the close-down writes after theirs.
    m_dialog.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}
