#include <gtest/gtest.h>

#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/FakeRigctlServer.h"
#include "tests/support/Loopback.h"
#include "tests/support/RigctldProcess.h"
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
             {{"--verbose", "port"}, "Unknown option 'verbose'."},
             {{"receiver", "--rigctl-kind", "hamlib"},
              "--rigctl-kind takes rigctld, gqrx or sdrpp, not 'hamlib'"},
             {{"port", "--rigctl-kind", "gqrx"},
              "--rigctl and --rigctl-kind go with receiver only"}}) {
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

TEST_F(CheckCommandTest, ReceiverTellsWhatAnswersAndPutsItBackAsItWas) {
    const RigctldProcess rigctld;
    const FakeRigctlServer gqrx(RigctlServerKind::Gqrx);
    const FakeRigctlServer sdrpp(RigctlServerKind::Sdrpp);
    std::uint16_t closedPort = 0;
    {
        const FakeRigctlServer gone(RigctlServerKind::Gqrx);
        closedPort = gone.Port();
    }
    const auto answers = [](const std::string& address, std::string_view kind) {
        return "The receiver at " + address + " answers.\nIt looks like " + std::string(kind) +
               ".\n";
    };
    const std::string sdrFindings =
        "power: none, <\\get_powerstat>: RPRT 1\nfrequency: works\nmode: works\n"
        "volume: refused, <l AF>: RPRT 1\n";
    const std::string settings = "f\nm\nl AF\nl SQL\n\\get_powerstat\n";
    const std::string before = AskLoopback(rigctld.Port(), settings, 6);

    const std::string closed = LoopbackText(closedPort);
    const std::vector<std::tuple<std::string, std::string_view, CheckRun>> checks{
        {rigctld.Address(),
         "rigctld",
         {0,
          answers(rigctld.Address(), "rigctld") +
              "power: works\nfrequency: works\nmode: works\nvolume: works\n"
              "squelch: works\nAOS/LOS: refused, <AOS>: RPRT -18\n"
              "A run set for rigctld can use it.\n",
          ""}},
        {gqrx.Address(),
         "gqrx",
         {0,
          answers(gqrx.Address(), "gqrx") + sdrFindings +
              // Its squelch is in dBFS, from -150 to 0.
              "squelch: kept <0>, asked <0.75>\nAOS/LOS: works\n"
              "A run set for gqrx can use it.\n",
          ""}},
        {sdrpp.Address(),
         "sdrpp",
         {0,
          answers(sdrpp.Address(), "SDR++") + sdrFindings +
              "squelch: refused, <l SQL>: RPRT 1\nAOS/LOS: works\n"
              "A run set for SDR++ can use it.\n",
          ""}},
        {gqrx.Address(),
         "rigctld",
         {1,
          answers(gqrx.Address(), "gqrx") + sdrFindings +
              "squelch: kept <0>, asked <0.75>\nAOS/LOS: works\n",
          "vantrel-check: a run set for rigctld could not use it: volume does not work; "
          "squelch does not work\n"}},
        {closed,
         "rigctld",
         {1, "",
          "vantrel-check: Vantrel cannot reach the receiver at " + closed +
              ": Connection refused\n"}}};
    for (const auto& [address, kind, expected] : checks) {
        EXPECT_EQ(Check({"receiver", "--rigctl", address, "--rigctl-kind", kind}), expected)
            << address << " as " << kind;
    }
    EXPECT_EQ(AskLoopback(rigctld.Port(), settings, 6), before);

    // Without options, the receiver the settings name; an option takes its
    // part's place. (The PCR-1000 chosen does not matter.)
    dir.Write("config/vantrel/Vantrel.conf", "[General]\nReceiver=pcr1000\nRigctl%20Address=" +
                                                 gqrx.Address() + "\nRigctl%20Kind=gqrx\n");
    EXPECT_EQ(Check({"receiver"}), std::get<2>(checks[1]));
    EXPECT_EQ(Check({"receiver", "--rigctl-kind", "rigctld"}), std::get<2>(checks[3]));
}
