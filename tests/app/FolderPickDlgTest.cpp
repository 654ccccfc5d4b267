#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/widgets/FolderPickDlg.h"
#include "tests/support/TempDir.h"

namespace {

class FolderPickDlgTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "widgets_test";
        static char* argv[] = {name, nullptr};
        s_application = std::make_unique<QApplication>(argc, argv);
    }
    static void TearDownTestSuite() { s_application.reset(); }

    // Runs the picker from `start`. Once it waits for the user, types `typed`
    // as the folder and presses OK, or presses Cancel when `typed` is empty.
    std::optional<std::string> Pick(const std::string& start, const QString& typed) {
        QTimer::singleShot(0, s_application.get(), [this, typed] {
            QWidget* const modal = QApplication::activeModalWidget();
            auto* picker = dynamic_cast<CFolderPickDlg*>(modal);
            auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* buttons = modal->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            if (picker == nullptr || edit == nullptr || buttons == nullptr) {
                ADD_FAILURE() << "not the folder picker";
                modal->close();
                return;
            }
            shownFolder = picker->directory().absolutePath().toStdString();
            edit->setText(typed);
            const auto button = typed.isEmpty() ? QDialogButtonBox::Cancel : QDialogButtonBox::Open;
            QTest::mouseClick(buttons->button(button), Qt::LeftButton);
            if (picker->isVisible()) {
                ADD_FAILURE() << "the picker stayed open";
                picker->reject();
            }
        });
        return FolderPickDlgChooser().ChooseFolder(start);
    }

    static inline std::unique_ptr<QApplication> s_application;
    TempDir dir;
    std::string shownFolder;
};

}  // namespace

TEST_F(FolderPickDlgTest, OkGivesTheFolderWithoutTrailingSeparator) {
    std::filesystem::create_directory(dir.Path() / "Wx Data");
    EXPECT_EQ(Pick(dir.Path().string(), QStringLiteral("./Wx Data//")),
              (dir.Path() / "Wx Data").string());
    EXPECT_EQ(shownFolder, dir.Path().string());
    EXPECT_EQ(Pick(dir.Path().string(), QStringLiteral("/")), "/");
}

TEST_F(FolderPickDlgTest, CancelGivesNothing) {
    const ScopedWorkingDirectory inDir(dir.Path());
    EXPECT_EQ(Pick("", QString()), std::nullopt);
    EXPECT_EQ(shownFolder, dir.Path().string());
}
