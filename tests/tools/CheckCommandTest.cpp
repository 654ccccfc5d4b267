#include <gtest/gtest.h>

#include <sstream>
#include <string_view>
#include <vector>

#include "tests/support/TempDir.h"
#include "tools/vantrel-check/CheckCommand.h"

namespace {

struct CheckRun {
    int status;
    std::string out;
    std::string err;
};

CheckRun Check(std::vector<std::string_view> args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCheck(args, out, err);
    return {status, out.str(), err.str()};
}

class CheckCommandTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedWorkingDirectory inDir{dir.Path()};
};

}  // namespace

TEST_F(CheckCommandTest, SatellitePrintsLogOldestFirstThenCommands) {
    dir.Write("Vantrel.ini",
              "# weather satellites\r\n"
              "NOAA 15,137.5,WFM,230,50,30,DSPMAYBE,1\r\n");
    const CheckRun run = Check({"satellite", "NOAA 15"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "Found Sat <NOAA 15>\n"
              "DSP Command Unknown <DSPMAYBE>\n"
              "Writing Radio Commands\n"
              "K00137500000 060400\\r\\n\n"
              "J407F\\r\\n\n"
              "J414C\\r\\n\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(CheckCommandTest, SatelliteNotLoaded) {
    dir.Write("Vantrel.ini", "DEFAULT,137.5,WFM,231,50,30\n");
    const CheckRun run = Check({"satellite", "DEFAULT"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Found Sat <DEFAULT>\nBad BandW Parameter <231>\n");
}

TEST_F(CheckCommandTest, MissingCatalogueGoesToStandardError) {
    const CheckRun run = Check({"satellite", "DEFAULT"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Could not Open file Vantrel.ini\n");
}

TEST_F(CheckCommandTest, UsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string_view>>{
             {}, {"satellite"}, {"satellite", "A", "B"}, {"satelite", "A"}}) {
        const CheckRun run = Check(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: vantrel-check"), std::string::npos);
    }
}
