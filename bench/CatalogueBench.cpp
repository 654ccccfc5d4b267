#include <benchmark/benchmark.h>

#include <string>

#include "radio/SatelliteCatalogue.h"
#include "tests/support/TempDir.h"

namespace {

class NoMessageBoxes final : public MessageBoxPresenter {
public:
    void ShowMessageBox(std::string_view) override {}
};

// LoadSatellite on a 10,000-line catalogue whose wanted line is the last.
void BM_LoadSatelliteLastOf10000(benchmark::State& state) {
    const TempDir dir;
    std::string contents;
    for (int i = 0; i < 9999; ++i) {
        contents += "METEOR M" + std::to_string(i) + ", 137.1, WFM, 230, 50, 30, DSPON, NR50\r\n";
    }
    contents += "NOAA 19, 137.1, WFM, 230, 50, 30, DSPON, NR50\r\n";
    const auto path = dir.Write("Vantrel.ini", contents);

    LogLines view;
    ActivityLog log(view);
    NoMessageBoxes messages;
    SatelliteCatalogue catalogue(log, messages, path.string());
    for (auto _ : state) {
        if (!catalogue.LoadSatellite("NOAA 19")) {
            state.SkipWithError("satellite not loaded");
        }
        view.RemoveAllLines();
    }
}
BENCHMARK(BM_LoadSatelliteLastOf10000)->Unit(benchmark::kMillisecond);

}  // namespace
