#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "planning/PassListReader.h"
#include "planning/PassTimes.h"
#include "planning/SatelliteSelector.h"
#include "services/DataMode.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

using Strings = std::vector<std::string>;

// 2002-05-19 14:30:00 UTC, 18:30:00 in the fixture's zone.
constexpr std::time_t kAt1830 = 1021818600;

class SatelliteSelectorTest : public ::testing::Test, MessageBoxPresenter, QuitRequester {
protected:
    void SetUp() override {
        dir.Write(SatelliteCatalogue::kFileName,
                  "DEFAULT,145.8,FM,15,20,10\nNOAA 15,137.5,WFM,230,50,30\n"
                  "NOAA 18,137.9125,WFM,230,50,30\nGOES,5000,FM,15,20,10\n");
    }
    void ShowMessageBox(std::string_view text) override { shown.emplace_back(text); }
    void RequestQuit() override {}

    void AddPass(std::time_t start, std::int32_t length, const std::string& name) {
        PassRow row{
            {FormatPassTime(start), FormatPassTime(start + length), std::to_string(length), name},
            start,
            start + length};
        table.InsertRows(table.GetItemCount(), {row});
    }

    // One check at `at`: the line it logs last. A retune it asks for is
    // taken as the run loop takes it, so the satellite counts as tuned.
    std::string CheckAt(std::time_t at) {
        now = at;
        view.RemoveAllLines();
        exchange.WriteEvent().Reset();
        selector.SelectSatellite();
        retuned = exchange.WriteEvent().IsSet();
        if (retuned) {
            exchange.RecordLoadedAsTuned();
        }
        return view.NewestFirst().empty() ? "" : view.NewestFirst().front();
    }

    static std::string Tuning(const std::string& name) {
        return "Asking Sat To Tune to <" + name + "> Sat";
    }
    static std::string NotLoaded(const std::string& name) {
        return "Sat <" + name + "> could Not be loaded";
    }

    ScopedTimeZone tz{"<+04>-4"};
    TempDir dir;
    LogLines view;
    ActivityLog log{view};
    Strings shown;
    PassRows table;
    SatelliteCatalogue catalogue{log, *this, (dir.Path() / SatelliteCatalogue::kFileName).string()};
    TuningExchange exchange{catalogue, log};
    std::time_t now = 0;
    SatelliteSelector selector{table, catalogue, exchange, log, [this] { return now; }};
    PassListReader reader{table, log, *this, *this};
    bool retuned = false;
};

}  // namespace

TEST_F(SatelliteSelectorTest, TheTopmostPassEnclosingNowBoundsIncludedIsChosen) {
    AddPass(kAt1830, 900, "NOAA 15");
    AddPass(kAt1830 + 600, 900, "NOAA 18");
    const std::optional<PassSpan> none;
    const PassSpan first{kAt1830, kAt1830 + 900};
    const PassSpan second{kAt1830 + 600, kAt1830 + 1500};
    struct Check {
        std::time_t at;
        std::string name;
        std::optional<PassSpan> pass;
    };
    for (const auto& [at, name, pass] : std::vector<Check>{{kAt1830 - 1, "DEFAULT", none},
                                                           {kAt1830, "NOAA 15", first},
                                                           {kAt1830 + 700, "NOAA 15", first},
                                                           {kAt1830 + 900, "NOAA 15", first},
                                                           {kAt1830 + 901, "NOAA 18", second},
                                                           {kAt1830 + 1500, "NOAA 18", second},
                                                           {kAt1830 + 1501, "DEFAULT", none}}) {
        exchange.ForgetTunedSatellite();
        EXPECT_EQ(CheckAt(at), Tuning(name)) << at - kAt1830;
        EXPECT_TRUE(retuned);
        // The times of the row chosen go with the retune.
        EXPECT_EQ(exchange.Tuned().pass, pass) << at - kAt1830;
    }
}

TEST_F(SatelliteSelectorTest, OnlyANameThatDiffersFromTheTunedOneRetunes) {
    AddPass(kAt1830, 900, "");
    AddPass(kAt1830 + 1000, 900, "NOAA 15");
    const std::string still = " is still current - Radio not being asked to retune";
    // The first check of a run, during a pass without a name.
    EXPECT_EQ(CheckAt(kAt1830 + 1), "<19  5 2002 18 30  1> Sat <>" + still);
    EXPECT_FALSE(retuned);
    EXPECT_EQ(CheckAt(kAt1830 - 60), Tuning("DEFAULT"));
    EXPECT_EQ(CheckAt(kAt1830 - 50), "<19  5 2002 18 29 10> Sat <DEFAULT>" + still);
    EXPECT_FALSE(retuned);
    EXPECT_EQ(CheckAt(kAt1830 + 1000), Tuning("NOAA 15"));
    EXPECT_EQ(CheckAt(kAt1830 + 1900), "<19  5 2002 19  1 40> Sat <NOAA 15>" + still);
}

// A satellite that cannot be loaded asks for no retune and scrolls nowhere.
TEST_F(SatelliteSelectorTest, FailedLoadsAskForNothingAndScrollNothing) {
    AddPass(kAt1830, 900, "NOAA 18");
    AddPass(kAt1830 + 1000, 900, "GOES");
    AddPass(kAt1830 + 2000, 900, "NOAA 15");
    EXPECT_EQ(CheckAt(kAt1830 + 2000), Tuning("NOAA 15"));
    EXPECT_EQ(table.VisibleRow(), -1) << "the last row has none below it";
    EXPECT_EQ(CheckAt(kAt1830 + 1000), NotLoaded("GOES"));
    EXPECT_FALSE(retuned);
    EXPECT_EQ(table.VisibleRow(), -1);
    EXPECT_EQ(CheckAt(kAt1830 - 1), Tuning("DEFAULT"));
    EXPECT_EQ(table.VisibleRow(), -1) << "no row matched";
    EXPECT_EQ(CheckAt(kAt1830), Tuning("NOAA 18"));
    EXPECT_EQ(table.VisibleRow(), 1);

    std::filesystem::remove(dir.Path() / SatelliteCatalogue::kFileName);
    EXPECT_EQ(CheckAt(kAt1830 - 1), NotLoaded("DEFAULT"));
    EXPECT_FALSE(retuned);
    EXPECT_EQ(table.VisibleRow(), 1);
    EXPECT_EQ(shown, Strings{"Could not Open file Vantrel.ini"});
}

TEST_F(SatelliteSelectorTest, ThePlaceholderRowNeverCoversNow) {
    const ScopedTimeZone utc("UTC0");
    ASSERT_TRUE(reader.ReadPassList(DataModeDde, ""));
    // The times its texts would read as if taken for pass times.
    for (const std::time_t at : {ParsePassTime("DDE"), std::time_t{0}}) {
        exchange.ForgetTunedSatellite();
        EXPECT_EQ(CheckAt(at), Tuning("DEFAULT"));
    }
}

TEST_F(SatelliteSelectorTest, PassesInTheRepeatedHourAreChosenAtTheirRealTimes) {
    const ScopedTimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
    dir.Write(PassListReader::kFileName,
              "20261025003000 a b 900 NOAA 18\n20261025013000 a b 900 NOAA 15\n");
    ASSERT_TRUE(reader.ReadPassList(DataModeFile, dir.Path().string()));
    // Both rows read 02:30 to 02:45, once in summer time and once after it.
    ASSERT_EQ(table.GetItemText(0, PassColumnStart), table.GetItemText(1, PassColumnStart));
    const std::time_t first = UtcStampToTime("20261025003000", 0);
    for (const auto& [at, name] :
         std::vector<std::pair<std::time_t, std::string>>{{first, "NOAA 18"},
                                                          {first + 900, "NOAA 18"},
                                                          {first + 901, "DEFAULT"},
                                                          {first + 3600 - 1, "DEFAULT"},
                                                          {first + 3600, "NOAA 15"},
                                                          {first + 3600 + 900, "NOAA 15"}}) {
        exchange.ForgetTunedSatellite();
        EXPECT_EQ(CheckAt(at), Tuning(name)) << FormatPassTime(at);
    }
}
