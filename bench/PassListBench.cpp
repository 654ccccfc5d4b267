#include <benchmark/benchmark.h>

#include <string>

#include "bench/PassListSample.h"
#include "planning/PassListReader.h"
#include "services/DataMode.h"

namespace {

// ReadPassList of a 100,000-line WxTrack pass list (CR LF) into a fresh
// plain table, in a zone with daylight saving.
void BM_ReadPassList100000(benchmark::State& state) {
    SamplePassListFolder sample;
    for (auto _ : state) {
        LogLines view;
        ActivityLog log(view);
        PassRows table;
        PassListReader reader(table, log, sample.messages, sample.quit);
        if (!reader.ReadPassList(DataModeFile, sample.dir.Path().string()) ||
            table.GetItemCount() != SamplePassListFolder::kPasses) {
            state.SkipWithError("pass list not read whole");
        }
    }
}
BENCHMARK(BM_ReadPassList100000)->Unit(benchmark::kMillisecond);

}  // namespace
