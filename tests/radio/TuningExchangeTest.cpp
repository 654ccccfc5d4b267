#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "radio/Pcr1000Link.h"
#include "radio/TuningExchange.h"
#include "tests/serial/FakeReceiverLine.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Diagnostics.h"
#include "tests/support/TempDir.h"

namespace {

using Strings = std::vector<std::string>;

class TuningExchangeTest : public ::testing::Test, MessageBoxPresenter {
protected:
    void SetUp() override {
        dir.Write(SatelliteCatalogue::kFileName,
                  "noaa 15, 137.5 ,Wfm,230,50,30\nDEFAULT,145.8,FM,15,20,10\n");
    }
    void ShowMessageBox(std::string_view) override {}

    // The log's lines, oldest first, and an empty log afterwards.
    Strings TakeLogged() {
        Strings lines(view.NewestFirst().rbegin(), view.NewestFirst().rend());
        view.RemoveAllLines();
        return lines;
    }

    TempDir dir;
    LogLines view;
    ActivityLog log{view};
    SatelliteCatalogue catalogue{log, *this, (dir.Path() / SatelliteCatalogue::kFileName).string()};
    TuningExchange exchange{catalogue, log};
};

}  // namespace

// Which lines a whole run logs at threshold 1 is pinned by the run's test.
TEST_F(TuningExchangeTest, TenCommandsLeaveOldestFirstOnceEachThenTheEventIsReset) {
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(catalogue.Queue().QueueRadioCommand("C" + std::to_string(i)));
    }
    EXPECT_FALSE(catalogue.Queue().QueueRadioCommand("an eleventh"));
    exchange.RequestRetune(std::nullopt);
    std::string command;
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(exchange.WriteEvent().IsSet()) << "drained while commands remain";
        ASSERT_TRUE(exchange.NextRadioCommand(command));
        EXPECT_EQ(command, "C" + std::to_string(i));
    }
    EXPECT_FALSE(exchange.NextRadioCommand(command));
    EXPECT_FALSE(exchange.WriteEvent().IsSet());
    // A request that finds the queue already empty is answered by a reset.
    exchange.RequestRetune(std::nullopt);
    EXPECT_FALSE(exchange.NextRadioCommand(command));
    EXPECT_FALSE(exchange.WriteEvent().IsSet());
}

TEST_F(TuningExchangeTest, ThePassLengthReadsAsItsLeadingNumberOrAsNothing) {
    ASSERT_TRUE(catalogue.LoadSatellite("NOAA 15"));
    for (const auto& [lengthText, seconds] : std::vector<std::pair<std::string, std::string>>{
             {"900\n", "900"}, {" -60\tNOAA", "-60"}, {"xyz", "0"}, {"99999999999", "0"}}) {
        TakeLogged();
        exchange.ReportTuning(lengthText);
        EXPECT_EQ(TakeLogged().back(), "Length of Pass set to <" + seconds + "> Seconds")
            << lengthText;
    }
}

TEST(Pcr1000Link, CloseDownGoesTwiceWithItsZeroByteToAnOpenPortOnly) {
    ConfigHome home;
    FakeReceiverLine line{home.Path()};
    CapturedDiagnostics diagnostics;
    CSerialPort port;
    LogLines view;
    ActivityLog log{view};
    struct : QuitRequester {
        void RequestQuit() override {}
    } noQuits;
    Pcr1000Link link(port, log, noQuits);
    link.CloseDown();
    OpenCom1(port);
    link.CloseDown();
    // What follows shows that nothing more came before it.
    port.Write("END", 3);
    using namespace std::string_literals;
    EXPECT_EQ(line.Receive(17), "P100\r\n\0P100\r\n\0END"s);
    port.Close();
    link.CloseDown();
    EXPECT_TRUE(diagnostics.assertions.empty()) << "a closed port was written to";
    EXPECT_TRUE(diagnostics.traces.empty());
}
