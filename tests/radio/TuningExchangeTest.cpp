#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST_F(TuningExchangeTest, TenCommandsLeaveOldestFirstOnceEachThenTheEventIsReset) {
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(catalogue.Queue().QueueRadioCommand("C" + std::to_string(i)));
    }
    EXPECT_FALSE(catalogue.Queue().QueueRadioCommand("an eleventh"));
    exchange.RequestRetune(std::nullopt);
    std::string command;
    // "Got Radio Command" is a verbose line: hidden at threshold 1.
    log.SetReportLevelThreshold(ReportTuningOnly);
    ASSERT_TRUE(exchange.NextRadioCommand(command));
    EXPECT_EQ(command, "C0");
    EXPECT_TRUE(TakeLogged().empty());
    log.SetReportLevelThreshold(ReportVerbose);
    for (int i = 1; i < 10; ++i) {
        EXPECT_TRUE(exchange.WriteEvent().IsSet()) << "drained while commands remain";
        ASSERT_TRUE(exchange.NextRadioCommand(command));
        EXPECT_EQ(command, "C" + std::to_string(i));
    }
    EXPECT_EQ(TakeLogged(), Strings(9, "Got Radio Command"));
    EXPECT_FALSE(exchange.NextRadioCommand(command));
    EXPECT_FALSE(exchange.WriteEvent().IsSet());
    // A request that finds the queue already empty is answered by a reset.
    exchange.RequestRetune(std::nullopt);
    EXPECT_FALSE(exchange.NextRadioCommand(command));
    EXPECT_FALSE(exchange.WriteEvent().IsSet());
}

TEST_F(TuningExchangeTest, ReportShowsTheSettingsAtTuningLevelAndThePassLengthUnlessAfterDefault) {
    const Strings settings{"Tune Radio to Sat <NOAA 15>", "      Freq    <137.5> Mhz",
                           "      Mode    <WFM>",         "      Filter  <230> Khz",
                           "      Vol     <50>%",         "      Squelch <30>%",
                           "Tell Radio to Tune etc."};
    const auto withLength = [&](const std::string& seconds) {
        Strings lines = settings;
        lines.push_back("Length of Pass set to <" + seconds + "> Seconds");
        return lines;
    };
    log.SetReportLevelThreshold(ReportTuningOnly);
    ASSERT_TRUE(catalogue.LoadSatellite("NOAA 15"));
    TakeLogged();
    // Nothing tuned yet (start of a run): the length is reported.
    for (const auto& [lengthText, seconds] : std::vector<std::pair<std::string, std::string>>{
             {"900\n", "900"}, {" -60\tNOAA", "-60"}, {"xyz", "0"}, {"99999999999", "0"}}) {
        exchange.ReportTuning(lengthText);
        EXPECT_EQ(TakeLogged(), withLength(seconds)) << lengthText;
    }
    exchange.RecordLoadedAsTuned();
    exchange.ReportTuning("600");
    EXPECT_EQ(TakeLogged(), withLength("600"));

    ASSERT_TRUE(catalogue.LoadSatellite("DEFAULT"));
    exchange.RecordLoadedAsTuned();
    ASSERT_TRUE(catalogue.LoadSatellite("NOAA 15"));
    TakeLogged();
    exchange.ReportTuning("600");
    EXPECT_EQ(TakeLogged(), settings);

    log.SetReportLevelThreshold(2);
    exchange.ReportTuning("600");
    EXPECT_TRUE(TakeLogged().empty()) << "the report is at level 1";
}

TEST(TuningExchange, CloseDownGoesTwiceWithItsZeroByteToAnOpenPortOnly) {
    ConfigHome home;
    FakeReceiverLine line{home.Path()};
    CapturedDiagnostics diagnostics;
    CSerialPort port;
    SendCloseDown(port);
    OpenCom1(port);
    SendCloseDown(port);
    // What follows shows that nothing more came before it.
    port.Write("END", 3);
    using namespace std::string_literals;
    EXPECT_EQ(line.Receive(17), "P100\r\n\0P100\r\n\0END"s);
    port.Close();
    SendCloseDown(port);
    EXPECT_TRUE(diagnostics.assertions.empty()) << "a closed port was written to";
    EXPECT_TRUE(diagnostics.traces.empty());
}
