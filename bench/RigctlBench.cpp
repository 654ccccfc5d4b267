#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "radio/RigctlLink.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeRigctlServer.h"
#include "tests/support/RigctldProcess.h"
#include "tests/support/RunParts.h"
#include "tests/support/TempDir.h"

namespace {

constexpr std::string_view kCatalogue = "METEOR-M2 3, 137.9, WFM, 230, 50, 30\n";
// The settings of that line, as Hamlib's own client is given them.
const std::vector<std::string> kSettings{"F",  "137900000", "M", "WFM", "230000", "L",
                                         "AF", "0.5",       "L", "SQL", "0.3"};
const std::vector<std::string> kReadBacks{"f", "m", "l", "AF", "l", "SQL"};

// One retune of frequency, mode and both levels, each read back, as the
// run sends it to an open connection at `address`.
void RetuneThroughTheLink(benchmark::State& state, const std::string& address) {
    const TempDir dir;
    dir.Write("Vantrel.ini", kCatalogue);
    const ScopedWorkingDirectory inDir(dir.Path());
    RunParts parts;
    RigctlLink link(parts.log);
    link.SetTarget({address, RigctlServerKind::Rigctld});
    link.StartUp();
    for (auto _ : state) {
        state.PauseTiming();
        parts.view.RemoveAllLines();
        parts.catalogue.LoadSatellite("METEOR-M2 3");
        parts.exchange.RecordLoadedAsTuned();
        state.ResumeTiming();
        if (!link.SendRetune(parts.exchange)) {
            state.SkipWithError("the retune was not taken whole");
            break;
        }
    }
    link.ShutDown();
}

void BM_RetuneOnAnInstantServer(benchmark::State& state) {
    const FakeRigctlServer server(RigctlServerKind::Rigctld);
    RetuneThroughTheLink(state, server.Address());
}
BENCHMARK(BM_RetuneOnAnInstantServer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RetuneOnRigctld(benchmark::State& state) {
    const RigctldProcess rigctld;
    RetuneThroughTheLink(state, rigctld.Address());
}
BENCHMARK(BM_RetuneOnRigctld)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// Hamlib's own client doing the same settings (and, with read-backs, the
// same reads), started as a user's script starts it: each time a new
// process and a new connection.
void BM_HamlibClientOnRigctld(benchmark::State& state) {
    const RigctldProcess rigctld;
    std::vector<std::string> words{"/usr/bin/rigctl", "-m", "2", "-r", rigctld.Address()};
    words.insert(words.end(), kSettings.begin(), kSettings.end());
    if (state.range(0) != 0) {
        words.insert(words.end(), kReadBacks.begin(), kReadBacks.end());
    }
    for (auto _ : state) {
        ChildProcess rigctl(words);
        if (rigctl.Wait(std::chrono::seconds(10)) != 0) {
            state.SkipWithError("rigctl failed");
            break;
        }
    }
}
BENCHMARK(BM_HamlibClientOnRigctld)
    ->ArgName("readBacks")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

}  // namespace
