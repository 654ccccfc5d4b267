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
    std::unique_ptr<SimulatorProcess> Start(std::vector<std::string> options) {
        options.insert(options.begin(), {"--link", Com1().string()});
        auto simulator = std::make_unique<SimulatorProcess>(options);
        terminal = simulator->TerminalPath();
        return simulator;
    }
    bool Linked() const { return fs::is_symlink(fs::symlink_status(Com1())); }

    TempDir dir;
    fs::path config = dir.Path() / "config";
    ScopedEnvironmentVariable configHome{"XDG_CONFIG_HOME", config.string()};
    std::string terminal;
};

}  // namespace

TEST(ReceiverModel, AnswersOnlyPowerCommandsWhileOff) {
    ReceiverModel receiver(false);
    for (const std::string_view ignored : {"J407F", "K00137500000 060400", "XYZ"}) {
        EXPECT_EQ(AnswerTo(receiver, ignored), "(none)") << ignored;
    }
    EXPECT_EQ(receiver.State().volume, 0);
    EXPECT_EQ(receiver.Handle("H101").changes, Lines{"Power on"});
    EXPECT_TRUE(receiver.Handle("H101").changes.empty());
    EXPECT_EQ(AnswerTo(receiver, "XYZ"), "G001\r\n");
}

TEST(ReceiverModel, ReportsEachChangeOnce) {
    ReceiverModel receiver(true);
    EXPECT_EQ(receiver.Handle("K00137912500050100").changes,
              Lines{"Tuned 137.912500 MHz NFM 6 kHz"});
    EXPECT_TRUE(receiver.Handle("K00137912500050100").changes.empty());
    EXPECT_EQ(receiver.Handle("J414c").changes, Lines{"Squelch 76 of 255"});
    EXPECT_EQ(receiver.Handle("J8210").changes, Lines{"DSP noise reduction level 16"});
    EXPECT_EQ(receiver.Handle("J8101").changes, Lines{"DSP noise reduction on"});
    EXPECT_EQ(receiver.Handle("J8100").changes, Lines{"DSP noise reduction off"});
    EXPECT_TRUE(receiver.Handle("J8100").changes.empty());
}

TEST(ReceiverModel, RejectsMalformedTuningCommandsAndKeepsItsSettings) {
    ReceiverModel receiver(true);
    ASSERT_EQ(AnswerTo(receiver, "K00137500000060400"), "G000\r\n");
    for (const std::string_view bad : {"K0",
                                       "K0013750000006040",
                                       "K001375000000604000",
                                       "K00137500000  060400",
                                       "K0013750000A060400",
                                       "K00137500000040400",
                                       "K00137500000060500",
                                       "K00137500000160400",
                                       "K00137500000060401",
                                       "K01300000001060400",
                                       "K00000009999060400",
                                       "J407",
                                       "J40G0",
                                       "J407FF",
                                       "J8002",
                                       "J8102",
                                       "J8211",
                                       "J4 7F",
                                       "J40-1",
                                       "J41-F",
                                       "J80-1",
                                       "J81-1",
                                       "J82-1",
                                       "J40+1"}) {
        EXPECT_EQ(AnswerTo(receiver, bad), "G001\r\n") << bad;
    }
    EXPECT_EQ(receiver.State().frequencyHz, 137500000u);
    EXPECT_EQ(receiver.State().volume, 0);
    EXPECT_EQ(receiver.State().noiseReductionLevel, 0);
    EXPECT_FALSE(receiver.State().dspUnit);
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
    EXPECT_TRUE(receiver.Handle("K00137500000 060400").changes.empty());
    EXPECT_EQ(receiver.Handle("K00137100000 050100").changes,
              Lines{"Tuned 137.100000 MHz NFM 6 kHz"});
    EXPECT_EQ(AnswerTo(receiver, "K00137100000 050100"), "G000\r\n");
}

TEST(CommandFramer, CutsCommandsAtLineFeedsAcrossReads) {
    CommandFramer framer;
    EXPECT_TRUE(framer.Feed("H1").empty());
    EXPECT_EQ(framer.Feed(std::string_view("?\r\nH101\r\n\0J40", 13)),
              (Lines{"H1?\r\n", "H101\r\n"}));
    const Lines next = framer.Feed("7F\n");
    EXPECT_EQ(next, Lines{std::string("\0J407F\n", 7)});
    EXPECT_EQ(CommandText(next.at(0)), "J407F");
    EXPECT_EQ(CommandText("H1?\r\n"), "H1?");
    EXPECT_EQ(CommandText(std::string_view("\0\0", 2)), "");
    // Only a CR right before the LF belongs to the line end.
    EXPECT_EQ(CommandText("H1?\r\r\n"), "H1?\r");

    const Lines cut = framer.Feed(std::string(2500, 'x'));
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].size(), CommandFramer::kLongestCommand);
}

TEST(Transcript, StampsAndEscapesEachCommand) {
    EXPECT_EQ(TranscriptLine(std::chrono::milliseconds(1234), "H1?\r\n"), "1.234\tH1?\\r\\n\n");
    EXPECT_EQ(TranscriptLine(std::chrono::milliseconds(7), std::string_view("\0K0 1\n", 6)),
              "0.007\t\\0K0 1\\n\n");
    EXPECT_EQ(TranscriptLine(std::chrono::milliseconds(61000), ""), "61.000\t\n");
}

TEST(SimulatorOptions, TakesAReplyDelayAndRefusesNonsense) {
    std::string error;
    for (const long milliseconds : {0L, 250L, 3'600'000L}) {
        const std::string value = std::to_string(milliseconds);
        const std::vector<std::string_view> delay{"--reply-delay", value};
        EXPECT_EQ(ParseSimulatorOptions(delay, error).value().replyDelay.count(), milliseconds);
    }
    for (const std::vector<std::string_view>& bad : {std::vector<std::string_view>{"--link"},
                                                     {"--power", "maybe"},
                                                     {"--reply-delay", "-1"},
                                                     {"--reply-delay", "10ms"},
                                                     {"--reply-delay", "3600001"},
                                                     {"--verbose"}}) {
        error.clear();
        EXPECT_FALSE(ParseSimulatorOptions(bad, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(SimulatorTest, AnswersInTurnAfterItsReplyDelayAndAppendsToItsTranscript) {
    const fs::path transcript = dir.Write("transcript.txt", "0.000\tearlier\\n\n");
    const auto simulator =
        Start({"--transcript", transcript.string(), "--reply-delay", "400", "--power", "on"});
    const TerminalClient port(Com1().string());
    ASSERT_TRUE(port.IsOpen());
    const auto sent = std::chrono::steady_clock::now();
    port.Send("H1?\r\nJ4001\r\n");
    EXPECT_EQ(port.Line(5s), "H101\r\n");
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 400ms);
    EXPECT_EQ(port.Line(5s), "G000\r\n");
    EXPECT_EQ(simulator->Stop(), 0);
    const std::string lines = FileContents(transcript);
    EXPECT_EQ(lines.rfind("0.000\tearlier\\n\n", 0), 0u) << lines;
    EXPECT_NE(lines.find("\tH1?\\r\\n\n"), std::string::npos) << lines;
    EXPECT_TRUE(lines.ends_with("\tJ4001\\r\\n\n")) << lines;
}

TEST_F(SimulatorTest, LeavesAFileWhereItsLinkShouldGo) {
    const fs::path com1 = dir.Write("config/vantrel/dosdevices/com1", "a file of the user's");
    ChildProcess simulator({PCR1000_SIM_PATH, "--link", com1.string()});
    EXPECT_EQ(simulator.Wait(10s), 1);
    EXPECT_EQ(simulator.Errors(),
              "pcr1000-sim: will not replace " + com1.string() + ": not a symbolic link\n");
    EXPECT_EQ(FileContents(com1), "a file of the user's");
}

TEST_F(SimulatorTest, RemovesItsLinkWhenStoppedBySigintOrSigterm) {
    for (const int signal : {SIGINT, SIGTERM}) {
        ChildProcess simulator({PCR1000_SIM_PATH, "--link", Com1().string()});
        ASSERT_TRUE(simulator.AwaitOutput("\n", 10s));
        ASSERT_TRUE(Linked());
        simulator.Signal(signal);
        EXPECT_EQ(simulator.Wait(10s), 0) << signal;
        EXPECT_FALSE(Linked()) << signal;
    }
}

// Its link leads through the simulator's own descriptor: Vantrel and the
// port doctor take the terminal through it while the simulator runs, and
// find the device missing once it has been killed, even when another
// terminal has taken its number.
TEST_F(SimulatorTest, ALinkLeftByAKilledSimulatorLeadsNowhere) {
    auto simulator = Start({});
    const std::string procPrefix = "/proc/" + std::to_string(simulator->Pid()) + "/fd/";
    ASSERT_EQ(terminal.rfind(procPrefix, 0), 0u) << terminal;
    // Above where shells keep their terminal, should the process number come back.
    EXPECT_GE(std::stoi(terminal.substr(procPrefix.size())), 256) << terminal;
    EXPECT_EQ(fs::read_symlink(Com1()), terminal);
    const auto [status, shown, errors] = Check({"port", "1"});
    EXPECT_EQ(status, 0) << errors;
    EXPECT_NE(shown.find(", a link to " + terminal + " (/dev/pts/"), std::string::npos) << shown;
    {
        const TerminalClient port(Com1().string());
        port.Send("H1?\r\n");
        EXPECT_EQ(port.Line(5s), "H100\r\n");
    }
    const std::string device = fs::canonical(Com1()).string();

    simulator->Kill();
    ASSERT_TRUE(Linked());
    // New terminals take the lowest free number, so the killed one's comes
    // back among the first few (unless another program took it meanwhile).
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
