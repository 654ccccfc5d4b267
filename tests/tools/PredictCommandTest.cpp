#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "planning/PassListLine.h"
#include "planning/PassListReader.h"
#include "services/DataMode.h"
#include "tests/orbit/GoldenPasses.h"
#include "tests/support/GermanLocale.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tools/vantrel-predict/PassSchedule.h"
#include "tools/vantrel-predict/PredictCommand.h"

namespace {

using PredictRun = std::tuple<int, std::string, std::string>;

// A few hours after METEOR-M2 3's epoch (2026 day 84.84).
constexpr std::string_view kStart = "2026-03-26T00:00:00Z";
constexpr std::string_view kCatalogue =
    "# name, MHz, mode, filter, volume, squelch\n"
    "METEOR-M2 3, 137.9, WFM, 230, 50, 30\n"
    "NOAA 15, 137.62, WFM, 230, 50, 30\n"
    "DEFAULT, 137.5, WFM, 230, 0, 100\n";

class PredictCommandTest : public ::testing::Test, MessageBoxPresenter, QuitRequester {
protected:
    PredictCommandTest() {
        dir.Write("weather.txt", FileContents(VANTREL_ORBIT_DATA "/weather-2026.txt"));
        dir.Write("Vantrel.ini", kCatalogue);
    }

    static PredictRun Predict(std::vector<std::string_view> args) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunPredict(args, out, err);
        return {status, out.str(), err.str()};
    }

    void ShowMessageBox(std::string_view text) override { ADD_FAILURE() << text; }
    void RequestQuit() override { ADD_FAILURE() << "quit"; }

    // The list as Vantrel's reader reads it from `folder`.
    PassRows ReadBack(const std::string& folder) {
        PassRows table;
        LogLines view;
        ActivityLog log(view);
        PassListReader reader(table, log, *this, *this);
        EXPECT_TRUE(reader.ReadPassList(DataModeFile, folder));
        return table;
    }

    TempDir dir;
    ScopedWorkingDirectory inDir{dir.Path()};
    ScopedEnvironmentVariable configHome{"XDG_CONFIG_HOME", (dir.Path() / "config").string()};
    ScopedTimeZone tz{"<+04>-4"};
};

ListedPass Listed(std::size_t satellite, std::time_t start, std::time_t end, double peak) {
    ListedPass listed;
    listed.satellite = satellite;
    listed.pass.peakElevationDeg = peak;
    listed.start = start;
    listed.end = end;
    return listed;
}

}  // namespace

// Every pass skyfield finds over 52N 5E in the first day lies in the list
// as Vantrel's own reader reads it, its start and end the rise and set to
// the second, in the folder the settings name.
TEST_F(PredictCommandTest, ListReadsBackAsSkyfieldsPassesWhereTheSettingsSay) {
    dir.Write("config/vantrel/Vantrel.conf",
              "[General]\nDirectory=" + (dir.Path() / "wx").string() + "\nCom%20Port=3\n");
    std::filesystem::create_directory(dir.Path() / "wx");
    const auto [status, out, err] = Predict({"--lat", "52", "--lon", "5", "--save", "--start",
                                             kStart, "--min-elevation", "0", "--keep-overlaps"});
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(err,
              "vantrel-predict: NOAA 15 is wanted, but weather.txt has no element set for it\n");
    EXPECT_NE(out.find("passes written to " + (dir.Path() / "wx/PassList.txt").string()),
              std::string::npos);

    std::vector<Pass> skyfield;
    for (const GoldenWindow& window : ReadGolden(VANTREL_ORBIT_DATA "/skyfield-passes.txt")) {
        if (window.satellite == "METEOR-M2 3" && window.station.latitudeDeg == 52.0) {
            std::copy_if(window.passes.begin(), window.passes.end(), std::back_inserter(skyfield),
                         [](const Pass& pass) {
                             return pass.rise >= 1774483200 && pass.set <= 1774483200 + 86400;
                         });
        }
    }
    const PassRows table = ReadBack((dir.Path() / "wx").string());
    ASSERT_EQ(static_cast<std::size_t>(table.GetItemCount()), skyfield.size());
    for (int row = 0; row < table.GetItemCount(); ++row) {
        const Pass& pass = skyfield[static_cast<std::size_t>(row)];
        EXPECT_NEAR(static_cast<double>(*table.Row(row).start), std::floor(pass.rise), 1.0) << row;
        EXPECT_NEAR(static_cast<double>(*table.Row(row).end), std::ceil(pass.set), 1.0) << row;
        EXPECT_EQ(table.GetItemText(row, PassColumnName), "METEOR-M2 3");
    }

    // The location was kept beside the settings there; the next run needs none.
    const std::string conf = FileContents(dir.Path() / "config/vantrel/Vantrel.conf");
    EXPECT_NE(conf.find("Com%20Port=3\n"), std::string::npos) << conf;
    EXPECT_NE(conf.find("Station%20Latitude=52\n"), std::string::npos) << conf;
    EXPECT_EQ(std::get<0>(Predict({"--start", kStart, "--quiet"})), 0);
    std::filesystem::remove(dir.Path() / "config/vantrel/Vantrel.conf");
    EXPECT_EQ(Predict({"--quiet"}),
              (PredictRun{2, "",
                          "vantrel-predict: where is the station? Give --lat and --lon (and --alt "
                          "in metres), with --save to keep them for later runs\nTry "
                          "'vantrel-predict --help' for more information.\n"}));
}

// What is wrong with an element set is said by name, and that satellite
// alone is left out; nothing left to predict, or a folder for the element
// sets, fails without touching the list.
TEST_F(PredictCommandTest, BadSetsAreRefusedByNameAndNothingPredictedFails) {
    const std::string sets = FileContents("weather.txt");
    std::string broken = sets;
    broken[broken.find("2 57166") + 10] = '7';  // inclination 98.7179: checksum wrong
    dir.Write("bad.txt",
              broken + "DEEP\n" +
                  "1 24208U 96044A   06177.04061740 -.00000094  00000-0  10000-3 0  1600\n"
                  "2 24208   3.8536  80.0121 0026640 311.0977  48.3000  1.00778054 36119\n" +
                  "DECAYED\n" +
                  "1 28872U 05037B   05333.02012661  .25992681  00000-0  24476-3 0  1534\n"
                  "2 28872  96.4736 157.9986 0303955 244.0492 110.6523 16.46015938 10708\n");
    const std::vector<std::pair<std::vector<std::string_view>, PredictRun>> cases{
        {{"--satellites", "METEOR-M2 3,METEOR-M2 4"},
         {1, "",
          "vantrel-predict: bad.txt:3: METEOR-M2 3 skipped: line 2 has a wrong checksum\n"
          "vantrel-predict: METEOR-M2 3 is wanted, but bad.txt has no element set for it\n"
          "vantrel-predict: METEOR-M2 4: the element set is 198 days from the start, too far to "
          "trust: refused (--allow-stale uses it)\n"
          "vantrel-predict: nothing could be predicted: no wanted satellite has a usable element "
          "set\n"}},
        {{"--satellites", "DEEP", "--allow-stale"},
         {1, "",
          "vantrel-predict: bad.txt:3: METEOR-M2 3 skipped: line 2 has a wrong checksum\n"
          "vantrel-predict: DEEP: the element set is 7212 days from the start: its passes may be "
          "minutes off; fetch newer sets\n"
          "vantrel-predict: DEEP: not a near-Earth orbit (period 1429 minutes, 225 or more): "
          "refused\n"
          "vantrel-predict: nothing could be predicted: no wanted satellite has a usable element "
          "set\n"}},
        {{"--satellites", "DECAYED", "--allow-stale", "--start", "2005-11-29T00:30:00Z"},
         {1, "",
          "vantrel-predict: bad.txt:3: METEOR-M2 3 skipped: line 2 has a wrong checksum\n"
          "vantrel-predict: DECAYED dropped: it has decayed (its orbit came below the Earth's "
          "surface)\n"
          "vantrel-predict: nothing could be predicted: every wanted satellite was dropped\n"}},
        {{"--tle", "."},
         {1, "",
          "vantrel-predict: cannot read element sets from . (fetch them, or name a file with "
          "--tle)\n"}},
    };
    for (const auto& [words, expected] : cases) {
        std::vector<std::string_view> args{"--lat", "52",    "--lon",   "5",        "--start",
                                           kStart,  "--tle", "bad.txt", "--output", "out.txt"};
        args.insert(args.end(), words.begin(), words.end());
        EXPECT_EQ(Predict(args), expected) << words[1];
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.txt"));

    // A decay during the window drops that satellite; the others are listed.
    const auto [status, out, err] =
        Predict({"--lat", "52", "--lon", "5", "--start", "2005-11-29T00:30:00Z", "--tle", "bad.txt",
                 "--satellites", "DECAYED,METEOR-M2 4", "--allow-stale", "--quiet"});
    EXPECT_EQ(status, 0);
    EXPECT_NE(err.find("vantrel-predict: DECAYED dropped: it has decayed"), std::string::npos)
        << err;
    EXPECT_EQ(ReadBack(".").GetItemText(0, PassColumnName), "METEOR-M2 4");
}

TEST_F(PredictCommandTest, UsageErrorsAndNamesTooLongForTheReader) {
    for (const auto& [args, problem] :
         std::vector<std::pair<std::vector<std::string_view>, std::string>>{
             {{"--lat", "52"}, "--lat and --lon go together"},
             {{"--lat", "91", "--lon", "5"}, "--lat takes a number from -90 to 90"},
             {{"--lat", "52,5", "--lon", "5"}, "--lat takes a number from -90 to 90"},
             {{"--save"}, "--save keeps --lat, --lon and --alt: give them"},
             {{"--hours", "337"}, "--hours takes a number from 0 to 336"},
             {{"--start", "2026-02-30T00:00:00Z"},
              "--start takes a time like 2026-12-07T18:00:00Z or seconds since 1970"},
             {{"--start", "253402300800"},  // 10000-01-01T00:00:00Z
              "--start takes a time like 2026-12-07T18:00:00Z or seconds since 1970"},
             {{"--alt", "5"}, "--alt goes with --lat and --lon"},
             {{"now"}, "unexpected argument 'now'"}}) {
        EXPECT_EQ(Predict(args), (PredictRun{2, "",
                                             "vantrel-predict: " + problem +
                                                 "\nTry 'vantrel-predict --help' for more "
                                                 "information.\n"}))
            << problem;
    }
    const std::string name(72, 'X');
    dir.Write("long.txt", name + "\n" + FileContents("weather.txt").substr(12, 140));
    EXPECT_EQ(Predict({"--lat", "52", "--lon", "5", "--start", kStart, "--tle", "long.txt",
                       "--satellites", name}),
              (PredictRun{1, "",
                          "vantrel-predict: " + name +
                              ": the name does not fit a line of PassList.txt (Vantrel reads 98 "
                              "characters a line): refused\n"
                              "vantrel-predict: nothing could be predicted: no wanted satellite "
                              "has a usable element set\n"}));
}

// What the writer writes, the reader reads back to the same start, end and
// name; what it could not read back so is not written at all.
TEST_F(PredictCommandTest, PassListLinesReadBackAsWrittenOrAreNotWritten) {
    const std::string longest(98 - 27, 'N');  // with "YYYYMMDDhhmmss S 359 99999 "
    const std::vector<PassListEntry> entries{
        {1021818600, false, 36, 900, "NOAA 15"},
        {2240611199, true, 0, 0, "METEOR-M2 3"},  // 2040-12-31 23:59:59, after 2038
        {-1, true, 359, 99999, longest},          // 1969-12-31 23:59:59
    };
    std::string file;
    for (const PassListEntry& entry : entries) {
        const std::optional<std::string> line = FormatPassListLine(entry);
        ASSERT_TRUE(line) << entry.name;
        file += *line + "\r\n";
    }
    EXPECT_EQ(file.substr(0, 37), "20020519143000 S 36 900 NOAA 15\r\n2040");
    dir.Write(PassListReader::kFileName, file);
    const PassRows table = ReadBack(dir.Path().string());
    ASSERT_EQ(table.GetItemCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const PassListEntry& entry = entries[static_cast<std::size_t>(row)];
        EXPECT_EQ(table.Row(row).start, entry.start);
        EXPECT_EQ(table.Row(row).end, entry.start + entry.lengthSeconds);
        EXPECT_EQ(table.GetItemText(row, PassColumnName), entry.name);
    }

    for (const PassListEntry& refused :
         std::vector<PassListEntry>{{0, true, 359, 99999, longest + "N"},
                                    {0, true, 0, 60, " NOAA 15"},
                                    {0, true, 0, 60, "NOAA 15 "},
                                    {0, true, 0, 60, std::string("NOAA\0 15", 8)},
                                    {0, true, 0, 60, ""},
                                    {0, true, 360, 60, "NOAA 15"},
                                    {253402300800, true, 0, 60, "NOAA 15"}}) {  // year 10000
        EXPECT_FALSE(FormatPassListLine(refused)) << refused.name;
    }
}

// A decimal comma in the user's locale changes nothing read or written.
TEST_F(PredictCommandTest, UnderAGermanLocaleNumbersKeepTheirPoint) {
    const std::vector<std::string_view> args{"--lat", "52.37",  "--lon",   "4.89", "--alt",
                                             "10.5",  "--save", "--start", kStart};
    const PredictRun plain = Predict(args);
    const std::string list = FileContents("PassList.txt");
    const std::string conf = FileContents(dir.Path() / "config/vantrel/Vantrel.conf");
    EXPECT_NE(conf.find("Station%20Altitude=10.5\n"), std::string::npos) << conf;
    const ScopedGermanLocale german;
    ASSERT_TRUE(german.IsSet());
    EXPECT_EQ(Predict(args), plain);
    EXPECT_EQ(FileContents("PassList.txt"), list);
    EXPECT_EQ(FileContents(dir.Path() / "config/vantrel/Vantrel.conf"), conf);
}

// The higher pass keeps its whole time; the lower one keeps what lies
// outside it, in up to two pieces, each at least a minute long.
TEST(PassSchedule, HigherPassWinsAndShortRemnantsGo) {
    const std::vector<ListedPass> resolved = ResolveOverlaps({
        Listed(0, 1000, 1900, 40),  // cut in two by pass 1
        Listed(1, 1300, 1600, 70),  // the highest: whole
        Listed(2, 1560, 1700, 20),  // within what 1 and 0 keep: gone
        Listed(3, 2000, 2100, 10),  // keeps 2000-2050 beside pass 4, under a minute: gone
        Listed(4, 2050, 2300, 30),  // higher than 3: whole
        Listed(5, 2400, 2430, 5),   // short, but overlapped by nothing: whole
    });
    std::vector<std::tuple<std::size_t, std::time_t, std::time_t>> pieces;
    for (const ListedPass& piece : resolved) {
        pieces.emplace_back(piece.satellite, piece.start, piece.end);
    }
    EXPECT_EQ(
        pieces,
        (std::vector<std::tuple<std::size_t, std::time_t, std::time_t>>{
            {0, 1000, 1300}, {1, 1300, 1600}, {0, 1600, 1900}, {4, 2050, 2300}, {5, 2400, 2430}}));
}
