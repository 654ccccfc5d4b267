#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/pcr1000-sim/Simulator.h"
#include "tools/pcr1000-sim/SimulatorOptions.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<SimulatorOptions> options = ParseSimulatorOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "pcr1000-sim: %s\n%s", error.c_str(), kSimulatorUsage.data());
        return 2;
    }
    if (options->helpWanted) {
        std::fputs(kSimulatorUsage.data(), stdout);
        return EXIT_SUCCESS;
    }
    return RunSimulator(*options, stdout, stderr);
}
