#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

// One run of a program and how it must end: its exit status, how its
// standard output begins, and a line its standard error begins with (the
// developers' trace lines may come first).
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

// Every program of Vantrel's answers --help and --version, tells errors on
// standard error after its name, and exits 0, 1 for a failed task or 2 for
// a command line it does not understand.
TEST(CommandLine, EveryProgramFollowsTheSameConventions) {
    const TempDir dir;
    const ScopedWorkingDirectory inDir(dir.Path());
    const ScopedEnvironmentVariable configHome("XDG_CONFIG_HOME", (dir.Path() / "config").string());
    std::filesystem::create_directories(dir.Path() / "config" / "vantrel" / "dosdevices");
    std::filesystem::create_symlink(dir.Path() / "unplugged",
                                    dir.Path() / "config" / "vantrel" / "dosdevices" / "com1");
    const std::string version = std::string(" ") + VANTREL_VERSION + "\n";

    std::vector<Convention> conventions{
        {{VANTREL_CHECK_PATH, "--help"}, 0, "Usage: vantrel-check [options] satellite NAME\n", ""},
        {{VANTREL_CHECK_PATH, "-v"}, 0, "vantrel-check" + version, ""},
        {{VANTREL_CHECK_PATH, "--bogus"}, 2, "", "vantrel-check: Unknown option 'bogus'.\n"},
        {{VANTREL_CHECK_PATH, "satellite", "NOAA 19"},
         1,
         "",
         "vantrel-check: Could not Open file Vantrel.ini\n"},
        {{PCR1000_SIM_PATH, "-h"}, 0, "Usage: pcr1000-sim [options]\n", ""},
        {{PCR1000_SIM_PATH, "--version"}, 0, "pcr1000-sim" + version, ""},
        {{PCR1000_SIM_PATH, "--bogus"}, 2, "", "pcr1000-sim: unknown option --bogus\n"},
        {{PCR1000_SIM_PATH, "--transcript", "/proc/none/transcript"},
         1,
         "",
         "pcr1000-sim: cannot open /proc/none/transcript"},
#ifdef VANTREL_PATH
        {{VANTREL_PATH, "--help"}, 0, "Usage: vantrel [options]\n", ""},
        {{VANTREL_PATH, "--version"}, 0, "vantrel" + version, ""},
        {{VANTREL_PATH, "--headless", "now"}, 2, "", "vantrel: unexpected argument 'now'\n"},
        {{VANTREL_PATH, "--headless"},
         1,
         "Settings Read to Registry\n",
         "vantrel: Serial port COM1 ("},
#endif
    };
    for (const Convention& convention : conventions) {
        ChildProcess program(convention.words);
        const std::string run = convention.words.at(0) + " " + convention.words.at(1);
        EXPECT_EQ(program.Wait(20s), convention.status) << run;
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
        if (convention.words.at(1).starts_with("-h") || convention.words.at(1) == "--help") {
            EXPECT_NE(program.Output().find("\nExit status:\n  0  "), std::string::npos) << run;
        }
    }
}
