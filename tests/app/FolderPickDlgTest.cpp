#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/widgets/FolderPickDlg.h"
#include "tests/support/TempDir.h"

namespace {

// Runs the picker from `start`. Once it waits for the user, notes the folder
// it shows in `shown`, types `typed` as the folder and presses OK, or presses
// Cancel when `typed` is empty.
std::optional<std::string> Pick(const std::string& start, const QString& typed,
                                std::string& shown) {
    QTimer::singleShot(0, qApp, [&shown, typed] {
        QWidget* const modal = QApplication::activeModalWidget();
        auto* picker = dynamic_cast<CFolderPickDlg*>(modal);
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* buttons = modal->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        if (picker == nullptr || edit == nullptr || buttons == nullptr) {
            ADD_FAILURE() << "not the folder picker";
            modal->close();
            return;
        }
        shown = picker->directory().absolutePath().toStdString();
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

}  // namespace

TEST(FolderPickDlg, OkGivesTheFolderWithoutTrailingSeparatorCancelNothing) {
    int argc = 1;
    char name[] = "widgets_test";
    char* argv[] = {name, nullptr};
    const QApplication application(argc, argv);
    const TempDir dir;
    const std::string wx = (dir.Path() / "Wx Data").string();
    std::filesystem::create_directory(wx);
    std::string shown;
    EXPECT_EQ(Pick(dir.Path().string(), QStringLiteral("./Wx Data//"), shown), wx);
    EXPECT_EQ(shown, dir.Path().string());
    EXPECT_EQ(Pick(dir.Path().string(), QStringLiteral("/"), shown), "/");

    // Without a folder the picker starts in the working directory.
    const ScopedWorkingDirectory inWx(wx);
    EXPECT_EQ(Pick("", QString(), shown), std::nullopt);
    EXPECT_EQ(shown, wx);
}
