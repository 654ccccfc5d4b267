#pragma once

#include <QFileDialog>
#include <QString>
#include <optional>
#include <string>

#include "app/settings/FolderChooser.h"

// The folder picker of "Location of Data File": a file dialog that shows and
// accepts folders only.
class CFolderPickDlg : public QFileDialog {
public:
    explicit CFolderPickDlg(QWidget* parent = nullptr);

    // The accepted folder without a trailing separator, "/" for the root;
    // empty before a folder has been accepted.
    QString GetFolderPath() const;
};

// Runs CFolderPickDlg modally for the settings store.
class FolderPickDlgChooser final : public FolderChooser {
public:
    explicit FolderPickDlgChooser(QWidget* parent = nullptr) : m_parent(parent) {}

    std::optional<std::string> ChooseFolder(const std::string& current) override;

private:
    QWidget* m_parent;
};
