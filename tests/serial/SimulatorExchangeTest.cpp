#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "serial/serialport.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/serial/SimulatorProcess.h"
#include "tests/support/Diagnostics.h"

namespace {

class SimulatorExchangeTest : public ::testing::Test {
protected:
    std::filesystem::path Link() const { return home.Path() / "vantrel" / "dosdevices" / "com1"; }

    // Starts the simulator on COM1 and opens the port as the run loop does.
    std::unique_ptr<SimulatorProcess> Start(std::vector<std::string> options) {
        options.insert(options.begin(), {"--link", Link().string()});
        auto simulator = std::make_unique<SimulatorProcess>(options);
        terminal = simulator->TerminalPath();
        port.Open(1, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true);
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

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
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

    EXPECT_EQ(Exchange("H1?\r\n"), "H100\r\n");
    EXPECT_EQ(Exchange("H101\r\n"), "G000\r\n");
    EXPECT_EQ(Exchange("H1?\r\n"), "H101\r\n");
    EXPECT_EQ(Exchange("K00137500000 060400\r\n"), "G000\r\n");
    EXPECT_EQ(Exchange("J407F\r\n"), "G000\r\n");
    EXPECT_EQ(Exchange("J414C\r\n"), "G000\r\n");
    EXPECT_EQ(Exchange("J8001\r\n"), "G000\r\n");
    EXPECT_EQ(Exchange("J8101\r\n"), "G000\r\n");
    EXPECT_EQ(Exchange("J8208\r\n"), "G000\r\n");
    EXPECT_EQ(Exchange("K0123\r\n"), "G001\r\n");
    EXPECT_EQ(Exchange("H100\r\n"), "G000\r\n");
    port.AbortReads();
    port.AbortWrites();
    port.Flush();
    EXPECT_TRUE(diagnostics.traces.empty());

    EXPECT_EQ(simulator->Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Link())));
    EXPECT_EQ(Lines(simulator->Output()),
              (std::vector<std::string>{
                  terminal, "Power on",
                  "Tuned 137.500000 MHz WFM 230 kHz (unusual spacing: a space before the mode "
                  "digits)",
                  "Volume 127 of 255", "Squelch 76 of 255", "DSP unit on", "DSP noise reduction on",
                  "DSP noise reduction level 8", "Power off"}));

    std::ifstream file(transcript);
    std::stringstream contents;
    contents << file.rdbuf();
    const std::vector<std::string> lines = Lines(contents.str());
    ASSERT_EQ(lines.size(), 11u);
    const std::regex stamped(R"(\d+\.\d{3}\t.*)");
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    }
    EXPECT_EQ(lines[3].substr(lines[3].find('\t')), "\tK00137500000 060400\\r\\n");
    EXPECT_EQ(lines[10].substr(lines[10].find('\t')), "\tH100\\r\\n");
}

TEST_F(SimulatorExchangeTest, ASilentReceiverLeavesTheReplyAloneAfterThreeSeconds) {
    const auto simulator = Start({"--silent"});
    std::strcpy(port.m_szReply, "earlier");
    EXPECT_EQ(Exchange("H1?\r\n"), "(no reply)");
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

TEST_F(SimulatorExchangeTest, AReceiverThatGoesAwayEndsTheExchangeWithAnException) {
    const auto simulator = Start({});
    EXPECT_EQ(Exchange("H1?\r\n"), "H100\r\n");
    port.BeginReceive(8);
    EXPECT_EQ(simulator->Stop(), 0);
    EXPECT_EQ(SerialErrorOf([this] { port.ReceiveReply(8); }), static_cast<std::uint32_t>(EIO));
    EXPECT_EQ(SerialErrorOf([this] { Exchange("H1?\r\n"); }), static_cast<std::uint32_t>(EIO));
}
