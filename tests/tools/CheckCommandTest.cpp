#include <gtest/gtest.h>

#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/tools/CheckRun.h"

namespace {

class CheckCommandTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedWorkingDirectory inDir{dir.Path()};
    // Never the user's own settings.
    ScopedEnvironmentVariable configHome{"XDG_CONFIG_HOME", (dir.Path() / "config").string()};
    ScopedTimeZone tz{"<+04>-4"};
};

constexpr std::string_view kPassList =
    "20020519143000 a b 900 NOAA 15\r\n"
    "20020110130723 S 348 298 NOAA 12\r\n";
constexpr std::string_view kPassRows =
    "19  5 2002 18 30  0\t19  5 2002 18 45  0\t900\tNOAA 15\n"
    "10  1 2002 17  7 23\t10  1 2002 17 12 21\t298\tNOAA 12\n";

}  // namespace

TEST_F(CheckCommandTest, SatellitePrintsLogOldestFirstThenCommandsAndFailsWhenNotLoaded) {
    EXPECT_EQ(Check({"satellite", "NOAA 15"}),
              (CheckRun{1, "", "vantrel-check: Could not Open file Vantrel.ini\n"}));
    dir.Write("Vantrel.ini", "# weather satellites\r\nNOAA 15,137.5,WFM,230,50,30,DSPMAYBE,1\r\n");
    const std::string out =
        "Found Sat <NOAA 15>\nDSP Command Unknown <DSPMAYBE>\nWriting Radio Commands\n"
        "K00137500000 060400\\r\\n\nJ407F\\r\\n\nJ414C\\r\\n\n";
    EXPECT_EQ(Check({"satellite", "NOAA 15"}), (CheckRun{0, out, ""}));
    dir.Write("Vantrel.ini", "DEFAULT,137.5,WFM,231,50,30\n");
    EXPECT_EQ(Check({"satellite", "DEFAULT"}),
              (CheckRun{1, "Found Sat <DEFAULT>\nBad BandW Parameter <231>\n", ""}));
}

TEST_F(CheckCommandTest, UsageErrorsNameTheProgramAndWhereHelpIs) {
    for (const auto& [args, problem] :
         std::vector<std::pair<std::vector<std::string_view>, std::string>>{
             {{}, "no command given"},
             {{"satellite"}, "satellite takes one NAME"},
             {{"satellite", "A", "B"}, "satellite takes one NAME"},
             {{"satelite", "A"}, "unknown command 'satelite'"},
             {{"passes", "A", "B"}, "passes takes at most one FOLDER"},
             {{"port", "0"}, "port takes one N from 1 to 4"},
             {{"port", "5"}, "port takes one N from 1 to 4"},
             {{"port", "1x"}, "port takes one N from 1 to 4"},
             {{"port", "1", "2"}, "port takes one N from 1 to 4"},
             {{"--verbose", "port"}, "Unknown option 'verbose'."}}) {
        EXPECT_EQ(Check(args),
                  (CheckRun{2, "",
                            "vantrel-check: " + problem +
                                "\nTry 'vantrel-check --help' for more information.\n"}))
            << problem;
    }
    // A word after "--" is the command's, even when it looks like an option.
    dir.Write("-Wx/PassList.txt", kPassList);
    EXPECT_EQ(Check({"passes", "--", "-Wx"}), (CheckRun{0, std::string(kPassRows), ""}));
}

TEST_F(CheckCommandTest, PassesFromAFolderOrWhereTheSettingsSayUpToABadStamp) {
    dir.Write("Wx/PassList.txt", kPassList);
    EXPECT_EQ(Check({"passes", "Wx"}), (CheckRun{0, std::string(kPassRows), ""}));

    dir.Write("PassList.txt", "20020519143000 a b 900\tHERE\n");
    EXPECT_EQ(std::get<1>(Check({"passes"})),
              "19  5 2002 18 30  0\t19  5 2002 18 45  0\t900\\tHERE\\n\t\n");
    const std::string wx = "[General]\nDirectory=" + (dir.Path() / "Wx").string() + "\n";
    dir.Write("config/vantrel/Vantrel.conf", wx);
    EXPECT_EQ(std::get<1>(Check({"passes"})), kPassRows);
    dir.Write("config/vantrel/Vantrel.conf", wx + "DataMode=0\n");
    EXPECT_EQ(std::get<1>(Check({"passes"})), "DDE\tServer\tOption\t\n");

    dir.Write("PassList.txt", std::string(kPassList) + "\r\n20020519160000 a b 600 NOAA 17\r\n");
    EXPECT_EQ(Check({"passes", "."}),
              (CheckRun{1, std::string(kPassRows),
                        "vantrel-check: Date Time String is too small - please upgrade the "
                        "verion of WxTrack\n"}));
    EXPECT_EQ(Check({"passes", "missing"}),
              (CheckRun{1, "", "vantrel-check: Can Not Open WxTrack Passlist.txt File\n"}));
}
