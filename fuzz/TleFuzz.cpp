// Element sets as a download, a damaged disk or a hand edit may leave them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/AsciiText.h"
#include "fuzz/FuzzSupport.h"
#include "orbit/ElementFile.h"
#include "orbit/PassSearch.h"

namespace {

void CheckSet(const ElementSet& set) {
    FUZZ_CHECK(IsCleanName(set.name));
    FUZZ_CHECK(set.catalogueNumber >= 0 && set.catalogueNumber <= 339999);
    FUZZ_CHECK(set.eccentricity >= 0 && set.eccentricity < 1);
    for (const double value :
         {set.epoch.day, set.epoch.fraction, set.bstar, set.inclinationDeg, set.rightAscensionDeg,
          set.argumentOfPerigeeDeg, set.meanAnomalyDeg, set.meanMotionRevPerDay}) {
        FUZZ_CHECK(std::isfinite(value));
    }
}

// A set the predictor would use gives passes in order, each rising before
// its highest point and setting after it, or it fails as the propagator says.
void CheckPasses(const ElementSet& set) {
    double period = 0;
    const std::optional<Sgp4> model = Sgp4::Initialise(set, period);
    if (!model || model->InitialError() != Sgp4Error::None) {
        FUZZ_CHECK(model || !(period < Sgp4::kDeepSpacePeriodMinutes && period > 0));
        return;
    }
    const SatelliteView view(*model, Observer({52, 5, 0}));
    const double epoch = UnixFromJulianDate(set.epoch);
    try {
        const std::vector<Pass> passes = FindPasses(view, {epoch, epoch + 86400, 0});
        for (std::size_t i = 0; i < passes.size(); ++i) {
            const Pass& pass = passes[i];
            FUZZ_CHECK(pass.rise <= pass.peakTime && pass.peakTime <= pass.set);
            FUZZ_CHECK(pass.set > epoch && pass.rise < epoch + 86400);
            FUZZ_CHECK(i == 0 || passes[i - 1].rise < pass.rise);
        }
    } catch (const PropagationFailure& failure) {
        FUZZ_CHECK(failure.Error() != Sgp4Error::None);
    }
}

std::string WithCrLf(std::string_view text) {
    std::string windows;
    for (const char c : text) {
        windows += c == '\n' ? std::string_view("\r\n") : std::string_view(&c, 1);
    }
    return windows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = InputText(data, size);
    const ElementFile file = ReadElementFile(text);
    const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
    int previous = 0;
    for (const ElementFileProblem& problem : file.problems) {
        FUZZ_CHECK(problem.line >= previous && problem.line <= lines);
        previous = problem.line;
    }
    for (const ElementSet& set : file.sets) {
        CheckSet(set);
    }
    if (!file.sets.empty()) {
        CheckPasses(file.sets.front());
    }

    // Windows line ends change nothing.
    const ElementFile windows = ReadElementFile(WithCrLf(text));
    FUZZ_CHECK(windows.sets.size() == file.sets.size());
    FUZZ_CHECK(windows.problems.size() == file.problems.size());
    for (std::size_t i = 0; i < file.sets.size(); ++i) {
        FUZZ_CHECK(windows.sets[i].name == file.sets[i].name);
    }
    return 0;
}
