#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/UniqueFd.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempDir.h"
#include "tests/tools/CheckRun.h"
#include "tools/pcr1000-sim/CommandFramer.h"
#include "tools/pcr1000-sim/ReceiverModel.h"
#include "tools/pcr1000-sim/SimulatorOptions.h"
#include "tools/pcr1000-sim/Transcript.h"

namespace {

using Lines = std::vector<std::string>;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string AnswerTo(ReceiverModel& receiver, std::string_view command) {
    return receiver.Handle(command).answer.value_or("(none)");
}

// The port's side of the simulator's terminal, opened as a program would.
class TerminalClient {
public:
    explicit TerminalClient(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    bool IsOpen() const { return m_fd.IsValid(); }

    void Send(std::string_view bytes) const {
        ASSERT_EQ(::write(m_fd.Get(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    // What arrives up to a line feed; less when nothing more comes within `limit`.
    std::string Line(std::chrono::milliseconds limit) const {
        std::string line;
        pollfd readable{m_fd.Get(), POLLIN, 0};
        char byte = 0;
        while (!line.ends_with('\n') &&
               ::poll(&readable, 1, static_cast<int>(limit.count())) == 1 &&
               ::read(m_fd.Get(), &byte, 1) == 1) {
            line += byte;
        }
        return line;
    }

private:
    UniqueFd m_fd;
};

// The simulator with COM1 linked to it under a config folder of the test's own.
class SimulatorTest : public ::testing::Test {
protected:
    fs::path Com1() const { return config / "vantrel" / "dosdevices" / "com1"; }
    bool Linked() const { return fs::is_symlink(fs::symlink_status(Com1())); }

    TempDir dir;
    fs::path config = dir.Path() / "config";
    ScopedEnvironmentVariable configHome{"XDG_CONFIG_HOME", config.string()};
};

}  // namespace

// Refusals and the answers' form are also pinned by the command framer's fuzz corpus.
TEST(ReceiverModel, AnswersOnlyPowerCommandsWhileOffAndReportsEachChangeOnce) {
    ReceiverModel receiver(false);
    EXPECT_EQ(AnswerTo(receiver, "J407F"), "(none)");
    EXPECT_EQ(receiver.Handle("H101").changes, Lines{"Power on"});
    EXPECT_TRUE(receiver.Handle("H101").changes.empty());
    EXPECT_EQ(receiver.Handle("K00137912500050100").changes,
              Lines{"Tuned 137.912500 MHz NFM 6 kHz"});
    EXPECT_TRUE(receiver.Handle("K00137912500050100").changes.empty());
    EXPECT_EQ(receiver.Handle("J8101").changes, Lines{"DSP noise reduction on"});
    EXPECT_EQ(receiver.Handle("J8100").changes, Lines{"DSP noise reduction off"});
    EXPECT_TRUE(receiver.Handle("J8100").changes.empty());
    for (const std::string_view bad : {"K00137500000  060400", "K0013750000A060400", "J407FF",
                                       "J4 7F", "J40+1", "J40-1", "J8102", "J8211", "XYZ"}) {
        EXPECT_EQ(AnswerTo(receiver, bad), "G001\r\n") << bad;
    }
    EXPECT_EQ(receiver.State().volume, 0);
}

TEST(ReceiverModel, TakesEveryValueUpToTheEdgesOfItsRanges) {
    ReceiverModel receiver(true);
    const std::vector<std::pair<std::string_view, std::string>> edges{
        {"K01300000000060400", "Tuned 1300.000000 MHz WFM 230 kHz"},
        {"K00000010000000000", "Tuned 0.010000 MHz LSB 3 kHz"},
        {"K00145800000010100", "Tuned 145.800000 MHz USB 6 kHz"},
        {"K00145800000020200", "Tuned 145.800000 MHz AM 15 kHz"},
        {"K00145800000030300", "Tuned 145.800000 MHz CW 50 kHz"},
        {"J40FF", "Volume 255 of 255"},
        {"J41ff", "Squelch 255 of 255"},
        {"J8001", "DSP unit on"},
        {"J8210", "DSP noise reduction level 16"},
        {"J8200", "DSP noise reduction level 0"}};
    for (const auto& [command, change] : edges) {
        const ReceiverResponse response = receiver.Handle(command);
        EXPECT_EQ(response.answer, "G000\r\n") << command;
        EXPECT_EQ(response.changes, Lines{change}) << command;
    }
}

TEST(ReceiverModel, NotesTheSpaceInVantrelsTuneCommandOnce) {
    ReceiverModel receiver(true);
    const std::string note =
        "Note: the tune command has a space before the mode digits, as Vantrel writes it; taken "
        "as if it had none";
    EXPECT_EQ(receiver.Handle("K00137500000 060400").changes,
              (Lines{note, "Tuned 137.500000 MHz WFM 230 kHz"}));
    EXPECT_EQ(receiver.Handle("K00137100000 050100").changes,
              Lines{"Tuned 137.100000 MHz NFM 6 kHz"});
}

TEST(CommandFramer, OnlyACrRightBeforeTheLineFeedBelongsToTheLineEnd) {
    EXPECT_EQ(CommandText("H1?\r\r\n"), "H1?\r");
    EXPECT_EQ(TranscriptLine(1234ms, std::string_view("\0K0 1\r\n", 7)), "1.234\t\\0K0 1\\r\\n\n");
}

TEST(SimulatorOptions, TakesAReplyDelayAndRefusesNonsense) {
    std::string error;
    for (const long milliseconds : {0L, 3'600'000L}) {
        const std::string value = std::to_string(milliseconds);
        const std::vector<std::string_view> delay{"--reply-delay", value};
        EXPECT_EQ(ParseSimulatorOptions(delay, error).value().replyDelay.count(), milliseconds);
    }
    for (const std::vector<std::string_view>& bad : {std::vector<std::string_view>{"--link"},
                                                     {"--power", "maybe"},
                                                     {"--reply-delay", "-1"},
                                                     {"--reply-delay", "10ms"},
                                                     {"--reply-delay", "3600001"}}) {
        EXPECT_FALSE(ParseSimulatorOptions(bad, error)) << bad[1];
    }
}

TEST_F(SimulatorTest, AnswersInTurnAfterItsReplyDelayAndAppendsToItsTranscript) {
    const fs::path transcript = dir.Write("transcript.txt", "0.000\tearlier\\n\n");
    SimulatorProcess simulator({"--link", Com1().string(), "--transcript", transcript.string(),
                                "--reply-delay", "400", "--power", "on"});
    simulator.TerminalPath();
    const TerminalClient port(Com1().string());
    ASSERT_TRUE(port.IsOpen());
    const auto sent = std::chrono::steady_clock::now();
    port.Send("H1?\r\nJ4001\r\n");
    EXPECT_EQ(port.Line(5s), "H101\r\n");
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 400ms);
    EXPECT_EQ(port.Line(5s), "G000\r\n");
    EXPECT_EQ(simulator.Stop(), 0);
    const std::string lines = FileContents(transcript);
    EXPECT_EQ(lines.rfind("0.000\tearlier\\n\n", 0), 0u) << lines;
    EXPECT_NE(lines.find("\tH1?\\r\\n\n"), std::string::npos) << lines;
    EXPECT_TRUE(lines.ends_with("\tJ4001\\r\\n\n")) << lines;
}

TEST_F(SimulatorTest, LeavesAFileWhereItsLinkShouldGoAndRemovesItsLinkOnSigintOrSigterm) {
    for (const int signal : {SIGINT, SIGTERM}) {
        ChildProcess simulator({PCR1000_SIM_PATH, "--link", Com1().string()});
        ASSERT_TRUE(simulator.AwaitOutput("\n", 10s));
        ASSERT_TRUE(Linked());
        simulator.Signal(signal);
        EXPECT_EQ(simulator.Wait(10s), 0) << signal;
        EXPECT_FALSE(Linked()) << signal;
    }
    dir.Write("config/vantrel/dosdevices/com1", "a file of the user's");
    ChildProcess simulator({PCR1000_SIM_PATH, "--link", Com1().string()});
    EXPECT_EQ(simulator.Wait(10s), 1);
    EXPECT_EQ(simulator.Errors(),
              "pcr1000-sim: will not replace " + Com1().string() + ": not a symbolic link\n");
    EXPECT_EQ(FileContents(Com1()), "a file of the user's");
}

// The link leads through the simulator's own descriptor, so once it is
// killed the device is missing, even when another terminal took its number.
TEST_F(SimulatorTest, ALinkLeftByAKilledSimulatorLeadsNowhere) {
    SimulatorProcess simulator({"--link", Com1().string()});
    const std::string terminal = simulator.TerminalPath();
    const std::string procPrefix = "/proc/" + std::to_string(simulator.Pid()) + "/fd/";
    ASSERT_EQ(terminal.rfind(procPrefix, 0), 0u) << terminal;
    // Above where shells keep their terminal, should the process number come back.
    EXPECT_GE(std::stoi(terminal.substr(procPrefix.size())), 256) << terminal;
    const auto [status, shown, errors] = Check({"port", "1"});
    EXPECT_EQ(status, 0) << errors;
    EXPECT_NE(shown.find(", a link to " + terminal + " (/dev/pts/"), std::string::npos) << shown;
    {
        const TerminalClient port(Com1().string());
        port.Send("H1?\r\n");
        EXPECT_EQ(port.Line(5s), "H100\r\n");
    }
    const std::string device = fs::canonical(Com1()).string();

    simulator.Kill();
    ASSERT_TRUE(Linked());
    // New terminals take the lowest free number, so the killed one's comes back soon.
    std::vector<UniqueFd> terminals;
    for (std::string name; terminals.size() < 32 && name != device;) {
        const UniqueFd& next =
            terminals.emplace_back(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        std::array<char, 64> text{};
        ASSERT_TRUE(next.IsValid() && ::grantpt(next.Get()) == 0 && ::unlockpt(next.Get()) == 0 &&
                    ::ptsname_r(next.Get(), text.data(), text.size()) == 0);
        name = text.data();
    }
    const TerminalClient taken(Com1().string());
    EXPECT_FALSE(taken.IsOpen());
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(
        Check({"port", "1"}),
        (CheckRun{1, "COM1 is " + Com1().string() + ", a link to " + terminal + "\nexists: no\n",
                  "vantrel-check: Vantrel cannot open COM1: the link points to " + terminal +
                      ", which does not exist: plug the adapter in, or point the link at "
                      "its device (ls -l /dev/serial/by-id/)\n"}));
}
