#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "orbit/ElementFile.h"
#include "orbit/PassSearch.h"
#include "tests/orbit/GoldenPasses.h"
#include "tests/support/TempDir.h"

namespace {

// A pass this close to the horizon may be found by one predictor and not
// the other: both are within the elevation's tolerance of none at all.
constexpr double kElevationTolerance = 0.05;
constexpr double kTimeTolerance = 1.0;

const Pass* Counterpart(const Pass& pass, const std::vector<Pass>& others) {
    const auto overlaps = [&](const Pass& other) {
        return other.rise < pass.set && pass.rise < other.set;
    };
    const auto found = std::find_if(others.begin(), others.end(), overlaps);
    return found == others.end() ? nullptr : &*found;
}

}  // namespace

// Three element sets at four stations, three days around each epoch,
// against the passes skyfield finds: every pass found by both within a
// second at rise and set and 0.05 degrees at its highest; none missing and
// none extra, but for one that only grazes the horizon.
TEST(PassSearch, MatchesSkyfieldAtFourStations) {
    const ElementFile sets = ReadElementFile(FileContents(VANTREL_ORBIT_DATA "/weather-2026.txt"));
    ASSERT_EQ(sets.sets.size(), 3u);
    const std::vector<GoldenWindow> windows = ReadGolden(VANTREL_ORBIT_DATA "/skyfield-passes.txt");
    ASSERT_EQ(windows.size(), 12u);
    double worstRise = 0, worstSet = 0, worstPeak = 0;
    std::size_t compared = 0;
    for (const GoldenWindow& golden : windows) {
        const auto set = std::find_if(sets.sets.begin(), sets.sets.end(), [&](const ElementSet& s) {
            return s.name == golden.satellite;
        });
        ASSERT_NE(set, sets.sets.end()) << golden.satellite;
        double period = 0;
        const SatelliteView view(*Sgp4::Initialise(*set, period), Observer(golden.station));
        const std::vector<Pass> ours = FindPasses(view, golden.window);
        const std::string where = golden.satellite + " at " +
                                  std::to_string(golden.station.latitudeDeg) + "," +
                                  std::to_string(golden.station.longitudeDeg);
        for (const Pass& expected : golden.passes) {
            const Pass* found = Counterpart(expected, ours);
            if (!found) {
                EXPECT_LT(expected.peakElevationDeg, kElevationTolerance)
                    << where << ": missing the pass rising at " << expected.rise;
                continue;
            }
            ++compared;
            worstRise = std::max(worstRise, std::fabs(found->rise - expected.rise));
            worstSet = std::max(worstSet, std::fabs(found->set - expected.set));
            worstPeak =
                std::max(worstPeak, std::fabs(found->peakElevationDeg - expected.peakElevationDeg));
        }
        for (const Pass& pass : ours) {
            if (!Counterpart(pass, golden.passes)) {
                EXPECT_LT(pass.peakElevationDeg, kElevationTolerance)
                    << where << ": an extra pass rising at " << pass.rise;
            }
        }
    }
    std::cout << compared << " passes compared; largest differences: rise " << worstRise
              << " s, set " << worstSet << " s, highest elevation " << worstPeak << " deg\n";
    EXPECT_GT(compared, 250u);
    EXPECT_LE(worstRise, kTimeTolerance);
    EXPECT_LE(worstSet, kTimeTolerance);
    EXPECT_LE(worstPeak, kElevationTolerance);
}

// With the horizon just under a pass's highest point, the pass lasts seconds
// and lies between two samples of the coarse search: it is found all the same.
TEST(PassSearch, FindsAPassThatOnlyGrazesItsHorizon) {
    const ElementFile sets = ReadElementFile(FileContents(VANTREL_ORBIT_DATA "/weather-2026.txt"));
    double period = 0;
    const SatelliteView view(*Sgp4::Initialise(sets.sets.at(0), period), Observer({52, 5, 0}));
    const PassWindow window{1774483200, 1774483200 + 86400, 0};
    const std::vector<Pass> passes = FindPasses(view, window);
    ASSERT_GE(passes.size(), 3u);
    for (const Pass& pass : passes) {
        const PassWindow grazing{window.start, window.end, pass.peakElevationDeg - 0.01};
        std::vector<Pass> found = FindPasses(view, grazing);
        std::erase_if(found, [&](const Pass& other) {
            return other.set < pass.rise || other.rise > pass.set;
        });
        ASSERT_EQ(found.size(), 1u) << pass.peakElevationDeg;
        EXPECT_GT(found[0].set - found[0].rise, 0.0);
        EXPECT_LT(found[0].set - found[0].rise, 60.0);
        EXPECT_NEAR(found[0].peakTime, pass.peakTime, 5.0);
    }
}
