#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

// One run of a program: its exit status, how its standard output begins, and
// a line its standard error begins with (developers' trace lines may come first).
struct Convention {
    std::vector<std::string> words;
    int status;
    std::string out;
    std::string err;
};

bool HasLineStartingWith(const std::string& text, const std::string& start) {
    return text.starts_with(start) || text.find("\n" + start) != std::string::npos;
}

}  // namespace

// Every program answers -h and -v, tells errors on standard error after its
// name and exits 0, 1 for a failed task or 2 for a command line it does not
// understand. The long forms are run by the package test.
TEST(CommandLine, EveryProgramFollowsTheSameConventions) {
    const TempDir dir;
    const ScopedWorkingDirectory inDir(dir.Path());
    const ScopedEnvironmentVariable configHome("XDG_CONFIG_HOME", (dir.Path() / "config").string());
    const std::string version = std::string(" ") + VANTREL_VERSION + "\n";
    std::vector<Convention> conventions{
        {{VANTREL_CHECK_PATH, "-v"}, 0, "vantrel-check" + version, ""},
        {{VANTREL_CHECK_PATH, "--bogus"}, 2, "", "vantrel-check: Unknown option 'bogus'.\n"},
        {{VANTREL_CHECK_PATH, "satellite", "NOAA 19"},
         1,
         "",
         "vantrel-check: Could not Open file Vantrel.ini\n"},
        {{PCR1000_SIM_PATH, "-h"}, 0, "Usage: pcr1000-sim [options]\n", ""},
        {{PCR1000_SIM_PATH, "--bogus"}, 2, "", "pcr1000-sim: unknown option --bogus\n"},
        {{PCR1000_SIM_PATH, "--transcript", "/proc/none/transcript"},
         1,
         "",
         "pcr1000-sim: cannot open /proc/none/transcript"},
#ifdef VANTREL_PATH
        {{VANTREL_PATH, "-h"}, 0, "Usage: vantrel [options]\n", ""},
        {{VANTREL_PATH, "--headless", "now"}, 2, "", "vantrel: unexpected argument 'now'\n"},
        {{VANTREL_PATH, "--headless", "--rigctl", "4532"},
         2,
         "",
         "vantrel: --rigctl takes HOST:PORT, not '4532'\n"},
        {{VANTREL_PATH, "--rigctl", "127.0.0.1:4532"},
         2,
         "",
         "vantrel: --rigctl and --rigctl-kind go with --headless only\n"},
#endif
    };
    for (const Convention& convention : conventions) {
        ChildProcess program(convention.words);
        const std::string run = convention.words.at(0) + " " + convention.words.at(1);
        EXPECT_EQ(program.Wait(std::chrono::seconds(20)), convention.status) << run;
        EXPECT_EQ(program.Output().substr(0, convention.out.size()), convention.out) << run;
        if (convention.err.empty()) {
            EXPECT_EQ(program.Errors(), "") << run;
        } else {
            EXPECT_TRUE(HasLineStartingWith(program.Errors(), convention.err))
                << run << ": " << program.Errors();
        }
        if (convention.status == 2) {
            EXPECT_NE(program.Errors().find("--help' for more information."), std::string::npos);
        }
    }
}
