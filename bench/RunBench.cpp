#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "planning/PassScheduler.h"
#include "planning/PassTimes.h"
#include "planning/PlainMessagePump.h"
#include "platform/kernel/FileTime.h"
#include "tests/support/RunParts.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/SimulatedStation.h"

namespace {

// One check of the satellite timer over a 100,000-row pass table when no
// pass is under way, so every row is looked at; the satellite tuned last is
// still current, so no catalogue is read.
void BM_SelectSatelliteOver100000Rows(benchmark::State& state) {
    const ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::time_t first = 1'800'000'000;
    RunParts run([first] { return first - 1; });
    std::vector<PassRow> rows;
    for (std::time_t start = first; rows.size() < 100'000; start += 6000) {
        rows.push_back({{FormatPassTime(start), FormatPassTime(start + 900), "900", "NOAA 19"},
                        start,
                        start + 900});
    }
    run.table.InsertRows(0, std::move(rows));
    run.exchange.RecordLoadedAsTuned();
    for (auto _ : state) {
        run.selector.SelectSatellite();
        run.view.RemoveAllLines();
    }
}
BENCHMARK(BM_SelectSatelliteOver100000Rows)->Unit(benchmark::kMillisecond);

// From the write event to the last command's reply, for the three commands
// of a "DEFAULT" tuning sent to pcr1000-sim, as the run loop sends them.
void BM_ThreeCommandTuningOnSimulator(benchmark::State& state) {
    SimulatedStation station({"--power", "on"});
    station.WriteCatalogue(SimulatedStation::kCatalogue);
    RunParts run;
    run.port.Open(1, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true);
    for (auto _ : state) {
        state.PauseTiming();
        if (!run.catalogue.LoadSatellite("DEFAULT")) {
            state.SkipWithError("no DEFAULT line");
            break;
        }
        run.exchange.RequestRetune(std::nullopt);
        state.ResumeTiming();
        run.scheduler.ServeWriteEvent(run.receiver);
    }
}
BENCHMARK(BM_ThreeCommandTuningOnSimulator)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

}  // namespace
