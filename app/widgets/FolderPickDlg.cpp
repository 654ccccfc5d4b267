#include "app/widgets/FolderPickDlg.h"

#include <QDir>
#include <QFile>

CFolderPickDlg::CFolderPickDlg(QWidget* parent) : QFileDialog(parent) {
    setObjectName(QStringLiteral("folderPicker"));
    setWindowTitle(QStringLiteral("Open"));
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::Directory);
    // Qt's own dialog on every desktop, so it behaves the same everywhere.
    setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

QString CFolderPickDlg::GetFolderPath() const {
    const QStringList chosen = selectedFiles();
    if (result() != QDialog::Accepted || chosen.isEmpty()) {
        return {};
    }
    // Cleaning drops a trailing separator but keeps the root's.
    return QDir::cleanPath(chosen.first());
}

std::optional<std::string> FolderPickDlgChooser::ChooseFolder(const std::string& current) {
    CFolderPickDlg picker(m_parent);
    picker.setDirectory(current.empty() ? QDir::currentPath() : QFile::decodeName(current.c_str()));
    if (picker.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return QFile::encodeName(picker.GetFolderPath()).toStdString();
}
