#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>

#include "app/widgets/PassListModel.h"
#include "planning/PassListReader.h"
#include "services/DataMode.h"
#include "tests/support/TempDir.h"

namespace {

struct NoBoxesNoQuits final : MessageBoxPresenter, QuitRequester {
    void ShowMessageBox(std::string_view) override {}
    void RequestQuit() override {}
};

}  // namespace

// The window's own model through what a run does to it: the DDE placeholder,
// a list read on top, and old rows dropped when it is read again. The tester
// aborts on any notification that does not match the rows.
TEST(PassListModel, TakesWhatARunDoesToTheTableAsTheViewExpects) {
    int argc = 1;
    char name[] = "passlistmodel_test";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    PassListModel model;
    const QAbstractItemModelTester tester(&model,
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    LogLines view;
    ActivityLog log{view};
    NoBoxesNoQuits outside;
    PassListReader reader(model, log, outside, outside);

    EXPECT_TRUE(reader.ReadPassList(DataModeDde, ""));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("DDE"));
    EXPECT_EQ(model.index(0, PassColumnEnd).data().toString(), QStringLiteral("Server"));

    const TempDir dir;
    dir.Write(PassListReader::kFileName,
              "20231112221320 a b 600 OLD\n20231112231320 a b 600 OLD\n");
    EXPECT_TRUE(reader.ReadPassList(DataModeFile, dir.Path().string()));
    dir.Write(PassListReader::kFileName, "20231115000000 a b 700 NEXT\n");
    reader.ReadPassListIfReplaced(1'700'000'000);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, PassColumnName).data().toString(), QStringLiteral("NEXT"));
    EXPECT_EQ(model.index(1, 0).data().toString(), QStringLiteral("DDE"));
}
