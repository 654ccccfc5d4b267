#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeView>
#include <string>

#include "app/widgets/PassListModel.h"
#include "bench/PassListSample.h"
#include "planning/PassListReader.h"
#include "services/DataMode.h"

namespace {

// A 100,000-line WxTrack pass list read into the dialog's pass list, until
// the view has laid out and painted the new rows.
void BM_ReadPassListIntoTheView(benchmark::State& state) {
    SamplePassListFolder sample;
    for (auto _ : state) {
        state.PauseTiming();
        LogLines view;
        ActivityLog log(view);
        PassListModel model;
        QTreeView list;
        list.setUniformRowHeights(true);
        list.setRootIsDecorated(false);
        list.setModel(&model);
        list.resize(400, 200);
        list.show();
        QApplication::processEvents();
        PassListReader reader(model, log, sample.messages, sample.quit);
        state.ResumeTiming();

        reader.ReadPassList(DataModeFile, sample.dir.Path().string());
        list.repaint();
        QApplication::processEvents();
        if (model.rowCount() != SamplePassListFolder::kPasses) {
            state.SkipWithError("pass list not read whole");
        }
    }
}
BENCHMARK(BM_ReadPassListIntoTheView)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
