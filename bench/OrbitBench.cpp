// Seven days of passes of 20 satellites over one station (52N 5E), and,
// when /usr/bin/python3 has skyfield, the same work in skyfield
// (bench/orbit-skyfield.py), side by side.
//
//   bench_orbit [benchmark options]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "orbit/ElementFile.h"
#include "orbit/PassSearch.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kSatellites = 20;
constexpr double kStart = 1774483200;  // 2026-03-26 00:00 UTC
constexpr double kDays = 7;
const GeodeticPosition kStation{52, 5, 0};

// A field of a line rewritten with `width` characters, the checksum mended.
void Rewrite(std::string& line, std::size_t column, std::size_t width, double value) {
    char text[16];
    std::snprintf(text, sizeof text, "%*.4f", static_cast<int>(width), value);
    line.replace(column - 1, width, text);
    line.back() = static_cast<char>('0' + ElementLineChecksum(line));
}

// Twenty element sets: the three real ones of the tests, spread around
// their orbits and turned about the Earth's axis.
std::string Fleet() {
    const std::string text = FileContents(VANTREL_ORBIT_DATA "/weather-2026.txt");
    const ElementFile real = ReadElementFile(text);
    const std::vector<std::string> lines = [&text] {
        std::vector<std::string> all;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find('\n', at);
            all.push_back(text.substr(at, end - at));
            if (end == std::string::npos) {
                break;
            }
            at = end + 1;
        }
        return all;
    }();
    std::string fleet;
    for (int i = 0; i < kSatellites; ++i) {
        const std::size_t set = static_cast<std::size_t>(i) % real.sets.size();
        std::string line2 = lines[set * 3 + 2];
        Rewrite(line2, 18, 8, std::fmod(real.sets[set].rightAscensionDeg + 17.0 * i, 360.0));
        Rewrite(line2, 44, 8, std::fmod(real.sets[set].meanAnomalyDeg + 53.0 * i, 360.0));
        fleet += "SAT " + std::to_string(i + 1) + "\n" + lines[set * 3 + 1] + "\n" + line2 + "\n";
    }
    return fleet;
}

std::size_t PredictWeek(const std::vector<ElementSet>& sets) {
    std::size_t passes = 0;
    const Observer observer(kStation);
    for (const ElementSet& set : sets) {
        double period = 0;
        const SatelliteView view(*Sgp4::Initialise(set, period), observer);
        passes += FindPasses(view, {kStart, kStart + kDays * 86400, 0}).size();
    }
    return passes;
}

void BM_Predict7Days20Satellites(benchmark::State& state) {
    const std::vector<ElementSet> sets = ReadElementFile(Fleet()).sets;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PredictWeek(sets));
    }
}
BENCHMARK(BM_Predict7Days20Satellites)->Unit(benchmark::kMillisecond);

// The best of five runs, in milliseconds, and the passes found.
std::pair<double, std::size_t> BestOfFive(const std::vector<ElementSet>& sets) {
    double best = 1e300;
    std::size_t passes = 0;
    for (int run = 0; run < 5; ++run) {
        const auto begun = std::chrono::steady_clock::now();
        passes = PredictWeek(sets);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - begun;
        best = std::min(best, took.count());
    }
    return {best, passes};
}

void SideBySide() {
    const TempDir dir;
    const std::string fleet = Fleet();
    const auto file = dir.Write("fleet.txt", fleet);
    const auto [ours, passes] = BestOfFive(ReadElementFile(fleet).sets);
    std::printf("\nvantrel: %.1f ms, %zu passes\n", ours, passes);
    const std::string command =
        "/usr/bin/python3 " VANTREL_SKYFIELD_SCRIPT " " + file.string() + " 2>&1";
    const std::unique_ptr<FILE, int (*)(FILE*)> python(popen(command.c_str(), "r"), pclose);
    double theirs = 0;
    std::size_t theirPasses = 0;
    char line[256];
    while (python && std::fgets(line, sizeof line, python.get())) {
        if (std::sscanf(line, "skyfield: %lf ms, %zu passes", &theirs, &theirPasses) != 2) {
            std::fputs(line, stdout);
        }
    }
    if (theirs > 0) {
        std::printf("skyfield: %.1f ms, %zu passes\nvantrel is %.0f times as fast\n", theirs,
                    theirPasses, theirs / ours);
    } else {
        std::printf("skyfield: not run (no /usr/bin/python3 with python3-skyfield)\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SideBySide();
    return 0;
}
