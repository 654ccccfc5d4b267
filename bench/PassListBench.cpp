#include <benchmark/benchmark.h>

#include <string>

#include "framework/StringFormat.h"
#include "planning/PassListReader.h"
#include "services/DataMode.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

class NoMessageBoxes final : public MessageBoxPresenter {
public:
    void ShowMessageBox(std::string_view) override {}
};

class NoRun final : public QuitRequester {
public:
    void RequestQuit() override {}
};

constexpr int kPasses = 100'000;

// ReadPassList of a 100,000-line WxTrack pass list (CR LF) into a fresh
// plain table, in a zone with daylight saving.
void BM_ReadPassList100000(benchmark::State& state) {
    const ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    const TempDir dir;
    std::string contents;
    for (int i = 0; i < kPasses; ++i) {
        const int day = i / 24 % 28 + 1;
        contents += StringPrintf("2002%02d%02d%02d0723 S 348 %d NOAA %d\r\n", i / 672 % 12 + 1, day,
                                 i % 24, 298 + i % 600, 12 + i % 7);
    }
    dir.Write(PassListReader::kFileName, contents);

    NoMessageBoxes messages;
    NoRun quit;
    for (auto _ : state) {
        LogLines view;
        ActivityLog log(view);
        PassRows table;
        PassListReader reader(table, log, messages, quit);
        if (!reader.ReadPassList(DataModeFile, dir.Path().string()) ||
            table.GetItemCount() != kPasses) {
            state.SkipWithError("pass list not read whole");
        }
    }
}
BENCHMARK(BM_ReadPassList100000)->Unit(benchmark::kMillisecond);

}  // namespace
