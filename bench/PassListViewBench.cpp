#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeView>
#include <string>

#include "app/widgets/PassListModel.h"
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

// A 100,000-line WxTrack pass list read into the dialog's pass list, until
// the view has laid out and painted the new rows.
void BM_ReadPassListIntoTheView(benchmark::State& state) {
    const ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    const TempDir dir;
    std::string contents;
    for (int i = 0; i < kPasses; ++i) {
        contents += StringPrintf("2026%02d%02d%02d0723 S 48 %d NOAA %d\r\n", i / 672 % 12 + 1,
                                 i / 24 % 28 + 1, i % 24, 600 + i % 300, 15 + i % 5);
    }
    dir.Write(PassListReader::kFileName, contents);
    NoMessageBoxes messages;
    NoRun quit;
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
        PassListReader reader(model, log, messages, quit);
        state.ResumeTiming();

        reader.ReadPassList(DataModeFile, dir.Path().string());
        list.repaint();
        QApplication::processEvents();
        if (model.rowCount() != kPasses) {
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
