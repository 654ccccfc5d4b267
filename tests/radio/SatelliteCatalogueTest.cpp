#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "radio/SatelliteCatalogue.h"
#include "tests/support/TempDir.h"

namespace {

using Strings = std::vector<std::string>;

class SatelliteCatalogueTest : public ::testing::Test, MessageBoxPresenter {
protected:
    void ShowMessageBox(std::string_view text) override { shown.emplace_back(text); }

    // Loads `name` from a catalogue holding `contents`.
    bool Load(std::string_view contents, const std::string& name) {
        dir.Write(SatelliteCatalogue::kFileName, contents);
        return catalogue.LoadSatellite(name);
    }

    // The log's lines, oldest first.
    Strings Logged() const {
        return Strings(view.NewestFirst().rbegin(), view.NewestFirst().rend());
    }

    // The queued commands, one after the other.
    std::string Queued() const {
        std::string commands;
        for (std::size_t i = 0; i < CommandQueue::kSlots && !catalogue.Queue()[i].empty(); ++i) {
            commands += catalogue.Queue()[i];
        }
        return commands;
    }

    TempDir dir;
    LogLines view;
    ActivityLog log{view};
    Strings shown;
    SatelliteCatalogue catalogue{log, *this, (dir.Path() / SatelliteCatalogue::kFileName).string()};
};

const std::string kNoaa15 = "NOAA 15,137.5,WFM,230,50,30\n";
const std::string kNoaa15Commands = "K00137500000 060400\r\nJ407F\r\nJ414C\r\n";

}  // namespace

TEST_F(SatelliteCatalogueTest, ValidLinesQueueTheirCommands) {
    const std::string& tune = kNoaa15Commands;
    const std::string dspOn = tune + "J8001\r\nJ8101\r\n";
    for (const auto& [line, commands] : std::vector<std::pair<std::string, std::string>>{
             {"S,0.4,AM,6,0,0", "K00000400000 020100\r\nJ4000\r\nJ4100\r\n"},
             {"S,1300,AM,6,100,abc", "K01300000000 020100\r\nJ40FF\r\nJ4100\r\n"},
             // Spaces go from every field, wherever they stand.
             {"S , 137. 5 , W F M , 2 30 ,5 0, 3 0 , dsp on , nr 5 0 ", dspOn + "J8208\r\n"},
             {"S,137.5,WFM,230,50,30,dsp off,0", tune + "J8001\r\nJ8100\r\nJ8200\r\n"},
             {"S,137.5,WFM,230,50,30,DSPON,", dspOn + "J8200\r\n"},
             // DSP commands follow only for a valid pair.
             {"S,137.5,WFM,230,50,30,DSPON", tune},
             {"S,137.5,WFM,230,50,30,DSPMAYBE,50", tune},
             {"S,137.5,WFM,230,50,30,DSPON,101", tune},
             // Would wrap to 50 in 32 bits.
             {"S,137.5,WFM,230,50,30,DSPON,4294967346", tune}}) {
        ASSERT_TRUE(Load(line + "\n", "S")) << line;
        EXPECT_EQ(Queued(), commands) << line;
    }
    ASSERT_TRUE(Load("NOAA 15,137.5,WFM,230,50,30,DSPOFF,16\r\n", "NOAA 15"));
    EXPECT_EQ(catalogue.Settings().m_strDspLevel, "16") << "a CR LF ends the line, not the field";
}

TEST_F(SatelliteCatalogueTest, EveryModeAndFilterKeywordTunesItsOwnCode) {
    for (const auto& [mode, code] :
         std::vector<std::pair<std::string, std::string>>{{"LSB", "00"},
                                                          {"USB", "01"},
                                                          {"AM", "02"},
                                                          {"CW", "03"},
                                                          {"FM", "05"},
                                                          {"WFM", "06"},
                                                          {"WBFM", "06"}}) {
        ASSERT_TRUE(Load("S,137.5," + mode + ",6,0,0\n", "S")) << mode;
        EXPECT_EQ(catalogue.Queue()[0], "K00137500000 " + code + "0100\r\n") << mode;
    }
    for (const auto& [filter, code] : std::vector<std::pair<std::string, std::string>>{
             {"3", "00"}, {"2.8", "00"}, {"6", "01"}, {"15", "02"}, {"50", "03"}, {"230", "04"}}) {
        ASSERT_TRUE(Load("S,137.5,AM," + filter + ",0,0\n", "S")) << filter;
        EXPECT_EQ(catalogue.Queue()[0], "K00137500000 02" + code + "00\r\n") << filter;
    }
}

TEST_F(SatelliteCatalogueTest, DspLevelsScaleBy16AndTruncate) {
    // 97 % is 15.52 and 4 % is 0.64: truncated, not rounded.
    for (const auto& [level, command] : std::vector<std::pair<std::string, std::string>>{
             {"100", "J8210\r\n"}, {"97", "J820f\r\n"}, {"4", "J8200\r\n"}, {"7", "J8201\r\n"}}) {
        ASSERT_TRUE(Load("S,137.5,WFM,230,50,30,DSPON," + level + "\n", "S")) << level;
        EXPECT_EQ(catalogue.Queue()[5], command) << level;
    }
}

TEST_F(SatelliteCatalogueTest, AtThresholdOneOnlyTheWritingLineShows) {
    log.SetReportLevelThreshold(ReportTuningOnly);
    ASSERT_TRUE(Load("S,1,XX,6,0,0,DSPX,1\nS,137.5,AM,6,0,0\n", "S"));
    EXPECT_EQ(Logged(), Strings{"Writing Radio Commands"});
}

TEST_F(SatelliteCatalogueTest, CommentsCaseAndFirstMatchingLine) {
    const std::string_view file =
        "# NOAA 15,100,FM,15,10,10\n"
        "NOAA 18,137.9125,WFM,230,50,30 # kept\n"
        "noaa 15,137.62,wfm,230,60,20\n"
        "NOAA 15,137.5,WFM,230,50,30\n";
    ASSERT_TRUE(Load(file, "NOAA 15"));
    EXPECT_EQ(Queued(), "K00137620000 060400\r\nJ4099\r\nJ4133\r\n");
    ASSERT_TRUE(Load(file, "NOAA 18"));
    EXPECT_EQ(catalogue.Settings().m_strSquelch, "30#KEPT");
    EXPECT_FALSE(Load(file, "noaa 15"));
    EXPECT_TRUE(Queued().empty());
    // A prefix is found in whichever line comes first.
    ASSERT_TRUE(Load(file, "NOAA 1"));
    EXPECT_EQ(catalogue.Settings().m_strFrequency, "137.9125");
}

TEST_F(SatelliteCatalogueTest, EveryFaultOfALineIsLoggedThenTheNextLineTried) {
    EXPECT_FALSE(Load(
        "S,0.39,AM,6,0,0\nS,1300.1,AM,6,0,0\nS,NAN,FM,6,1,1\n"
        "S,137.5,AM,6,101,-1\r\nS,137.5,FM,6,4294967346,1\nS,137.5,\tWFM,6.0,2,-4294967296,DSPX,5\n"
        "S,5,FM,15\n",
        "S"));
    const std::string found = "Found Sat <S>";
    EXPECT_EQ(
        Logged(),
        (Strings{found, "Bad Frequency Parameter <0.39>", found, "Bad Frequency Parameter <1300.1>",
                 found, "Bad Frequency Parameter <NAN>", found, "Bad Volume Parameter <101>",
                 "Bad Squelch Parameter <-1>", found, "Bad Volume Parameter <4294967346>", found,
                 "Bad Mode Parameter <\tWFM>", "Bad BandW Parameter <6.0>",
                 "Bad Squelch Parameter <-4294967296>", "DSP Command Unknown <DSPX>", found}));
    EXPECT_TRUE(Queued().empty());
}

TEST_F(SatelliteCatalogueTest, AMissingFileKeepsTheQueueNoValidLineEmptiesIt) {
    ASSERT_TRUE(Load(kNoaa15, "NOAA 15"));
    std::filesystem::remove(dir.Path() / SatelliteCatalogue::kFileName);
    view.RemoveAllLines();
    EXPECT_FALSE(catalogue.LoadSatellite("NOAA 15"));
    EXPECT_EQ(shown, (Strings{"Could not Open file Vantrel.ini"}));
    EXPECT_EQ(Queued(), kNoaa15Commands);
    EXPECT_TRUE(Logged().empty());

    EXPECT_FALSE(Load("DEFAULT,137.5,WFM,230,50\n", "DEFAULT"));
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(catalogue.LoadedSatellite(), "DEFAULT");
    EXPECT_FALSE(Load(kNoaa15, "METEOR"));
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(SatelliteCatalogueTest, LongLinesAreReadAsSeveralLines) {
    // The name's line is cut after 99 characters; its rest is a line of its own.
    ASSERT_TRUE(Load("NOAA 15" + std::string(92, ' ') + kNoaa15, "NOAA 15"));
    EXPECT_EQ(Logged(),
              (Strings{"Found Sat <NOAA 15>", "Found Sat <NOAA 15>", "Writing Radio Commands"}));
    // Exactly 99 characters including the line end still fit, even with CR LF.
    ASSERT_TRUE(
        Load("NOAA 15,137.5,WFM,230,50,30,DSPON," + std::string(62, ' ') + "50\r\n", "NOAA 15"));
    EXPECT_EQ(Queued(), kNoaa15Commands + "J8001\r\nJ8101\r\nJ8208\r\n");
}

TEST_F(SatelliteCatalogueTest, PercentSignsAndBinaryBytesAreShownAsTheyAre) {
    // Nothing after a zero byte can match.
    using namespace std::string_literals;
    EXPECT_FALSE(Load("%S%N,137.5,%D,%5\n\0NOAA 15,137.5,WFM,230,50,30\nNOAA 15,\x80,FM,6,1,1\n"s,
                      "NOAA 15"));
    EXPECT_FALSE(Load("%S%N,137.5,%D,%5,%X,%%\n", "%S%N"));
    EXPECT_EQ(Logged(),
              (Strings{"Found Sat <NOAA 15>", "Bad Frequency Parameter <\x80>", "Found Sat <%S%N>",
                       "Bad Mode Parameter <%D>", "Bad BandW Parameter <%5>"}));
}
