#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/widgets/FolderPickDlg.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

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

    // Once the picker is up and waiting for the user, `user` plays them.
    static void WhenPickerShows(std::function<void(CFolderPickDlg&)> user) {
        QTimer::singleShot(0, s_application.get(), [user = std::move(user)] {
            QWidget* const modal = QApplication::activeModalWidget();
            auto* picker = dynamic_cast<CFolderPickDlg*>(modal);
            EXPECT_NE(picker, nullptr);
            if (picker == nullptr) {
                if (modal != nullptr) {
                    modal->close();
                }
                return;
            }
            EXPECT_EQ(picker->objectName(), QStringLiteral("folderPicker"));
            user(*picker);
            // A user who failed to end the picker must not leave the test waiting.
            if (picker->isVisible()) {
                picker->reject();
            }
        });
    }

    // Types `text` as the folder and presses the accepting button.
    static void ChooseTyped(CFolderPickDlg& picker, const QString& text) {
        auto* edit = picker.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* buttons = picker.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        ASSERT_NE(edit, nullptr);
        ASSERT_NE(buttons, nullptr);
        edit->setText(text);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
    }

    static inline std::unique_ptr<QApplication> s_application;
    TempDir dir;
    FolderPickDlgChooser chooser;
};

}  // namespace

TEST_F(FolderPickDlgTest, OkGivesTheFolderWithoutTrailingSeparator) {
    fs::create_directory(dir.Path() / "Wx Data");
    QString shownFolder;
    WhenPickerShows([&](CFolderPickDlg& picker) {
        shownFolder = picker.directory().absolutePath();
        ChooseTyped(picker, QStringLiteral("./Wx Data//"));
    });
    EXPECT_EQ(chooser.ChooseFolder(dir.Path().string()), (dir.Path() / "Wx Data").string());
    EXPECT_EQ(shownFolder, QString::fromStdString(dir.Path().string()));
}

TEST_F(FolderPickDlgTest, RootIsASingleSeparator) {
    WhenPickerShows([](CFolderPickDlg& picker) { ChooseTyped(picker, QStringLiteral("/")); });
    EXPECT_EQ(chooser.ChooseFolder(dir.Path().string()), "/");
}

TEST_F(FolderPickDlgTest, CancelGivesNothing) {
    WhenPickerShows([](CFolderPickDlg& picker) {
        auto* buttons = picker.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        ASSERT_NE(buttons, nullptr);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    });
    EXPECT_EQ(chooser.ChooseFolder(dir.Path().string()), std::nullopt);
}

TEST_F(FolderPickDlgTest, StartsInTheWorkingDirectoryWithoutAFolder) {
    const ScopedWorkingDirectory inDir(dir.Path());
    QString shownFolder;
    WhenPickerShows([&](CFolderPickDlg& picker) {
        shownFolder = picker.directory().absolutePath();
        picker.reject();
    });
    EXPECT_EQ(chooser.ChooseFolder(""), std::nullopt);
    EXPECT_EQ(shownFolder, QString::fromStdString(dir.Path().string()));
}

TEST_F(FolderPickDlgTest, NoFolderBeforeAcceptance) {
    CFolderPickDlg picker;
    picker.setDirectory(QString::fromStdString(dir.Path().string()));
    EXPECT_EQ(picker.GetFolderPath(), QString());
}
