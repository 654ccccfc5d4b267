#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/pcr1000-sim/Simulator.h"
#include "tools/pcr1000-sim/SimulatorOptions.h"

namespace {

constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<SimulatorOptions> options = ParseSimulatorOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "pcr1000-sim: %s\nTry 'pcr1000-sim --help' for more information.\n",
                     error.c_str());
        return kUsageError;
    }
    if (options->helpWanted) {
        std::fputs(kSimulatorHelp.data(), stdout);
        return EXIT_SUCCESS;
    }
    if (options->versionWanted) {
        std::puts("pcr1000-sim " VANTREL_VERSION);
        return EXIT_SUCCESS;
    }
    return RunSimulator(*options, stdout, stderr);
}
