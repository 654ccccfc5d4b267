#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "serial/serialport.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Diagnostics.h"
#include "tests/support/SimulatorProcess.h"

namespace {

class SimulatorExchangeTest : public ::testing::Test {
protected:
    std::filesystem::path Link() const { return home.Path() / "vantrel" / "dosdevices" / "com1"; }

    // Starts the simulator on COM1 and opens the port as the run loop does.
    std::unique_ptr<SimulatorProcess> Start(std::vector<std::string> options) {
        options.insert(options.begin(), {"--link", Link().string()});
        auto simulator = std::make_unique<SimulatorProcess>(options);
        terminal = simulator->TerminalPath();
        OpenCom1(port);
        return simulator;
    }

    // One command and its reply, as the run loop exchanges them.
    std::string Exchange(const std::string& command) {
        port.Write(command.data(), static_cast<std::uint32_t>(command.size()), g_radioOverlapped);
        return port.ReceiveReply(8) ? std::string(port.m_szReply) : "(no reply)";
    }

    ConfigHome home;
    CapturedDiagnostics diagnostics;
    CSerialPort port;
    std::string terminal;
};

std::vector<std::string> Lines(std::istream&& stream) {
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST_F(SimulatorExchangeTest, TheRunLoopsExchangeWorksEndToEnd) {
    const std::filesystem::path transcript = home.Path() / "transcript.txt";
    const auto simulator = Start({"--transcript", transcript.string()});
    EXPECT_EQ(std::filesystem::read_symlink(Link()), terminal);

    const std::vector<std::pair<std::string, std::string>> exchanges{
        {"H1?\r\n", "H100\r\n"},   {"H101\r\n", "G000\r\n"},
        {"H1?\r\n", "H101\r\n"},   {"K00137500000 060400\r\n", "G000\r\n"},
        {"J407F\r\n", "G000\r\n"}, {"J414C\r\n", "G000\r\n"},
        {"J8001\r\n", "G000\r\n"}, {"J8101\r\n", "G000\r\n"},
        {"J8208\r\n", "G000\r\n"}, {"K0123\r\n", "G001\r\n"},
        {"X9\r\n", "G001\r\n"},    {"H100\r\n", "G000\r\n"}};
    for (const auto& [command, reply] : exchanges) {
        EXPECT_EQ(Exchange(command), reply) << command;
    }
    EXPECT_EQ(simulator->Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Link())));
    EXPECT_EQ(
        Lines(std::istringstream(simulator->Output())),
        (std::vector<std::string>{
            terminal, "Power on",
            "Note: the tune command has a space before the mode digits, as Vantrel writes "
            "it; taken as if it had none",
            "Tuned 137.500000 MHz WFM 230 kHz", "Volume 127 of 255", "Squelch 76 of 255",
            "DSP unit on", "DSP noise reduction on", "DSP noise reduction level 8", "Power off"}));

    // One line per command; the format itself is pinned where it is made.
    const std::vector<std::string> lines = Lines(std::ifstream(transcript));
    ASSERT_EQ(lines.size(), exchanges.size());
    EXPECT_EQ(lines[3].substr(lines[3].find('\t')), "\tK00137500000 060400\\r\\n");
}

TEST_F(SimulatorExchangeTest, ASilentReceiverLeavesTheReplyAloneAfterThreeSeconds) {
    const auto simulator = Start({"--silent"});
    std::strcpy(port.m_szReply, "earlier");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange("H1?\r\n"), "(no reply)");
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(3000));
    EXPECT_LT(waited, std::chrono::milliseconds(4000));
    EXPECT_STREQ(port.m_szReply, "earlier");
    EXPECT_EQ(diagnostics.traces, (std::vector<std::string>{"No Data from Radio port\n"}));
    // The read is left running for the next exchange to take over.
    EXPECT_EQ(g_radioOverlapped.Internal, STATUS_PENDING);
}

TEST_F(SimulatorExchangeTest, ASlowReceiverIsStillHeard) {
    const auto simulator = Start({"--reply-delay", "300", "--power", "on"});
    EXPECT_EQ(Exchange("H1?\r\n"), "H101\r\n");
    EXPECT_EQ(Exchange("J4000\r\n"), "G000\r\n");
}

TEST_F(SimulatorExchangeTest, AReceiverThatGoesAwayMidExchangeEndsItWithAnException) {
    const auto simulator = Start({});
    EXPECT_EQ(Exchange("H1?\r\n"), "H100\r\n");
    std::thread pull([&simulator] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        simulator->Stop();
    });
    EXPECT_EQ(SerialErrorOf([this] { port.ReceiveReply(8); }), Code(EIO));
    pull.join();
    EXPECT_EQ(diagnostics.traces.back(), "Warning: throwing CSerialException for error 5\n");
    diagnostics.traces.clear();
    EXPECT_EQ(SerialErrorOf([this] { Exchange("H1?\r\n"); }), Code(EIO));
    EXPECT_EQ(diagnostics.traces.at(0), "Failed in call to WriteFile\n");
}
