#pragma once

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <optional>

#include "app/settings/RigctlTargetChooser.h"

// "Network (rigctl)…": the network receiver's address and the kind of
// server there. OK with an address that is none shows why and stays open;
// the checking is RigctlChoice's.
class CRigctlDlg final : public QDialog {
public:
    explicit CRigctlDlg(const RigctlTarget& current, QWidget* parent = nullptr);

    // What OK accepted; nullopt before that.
    const std::optional<RigctlTarget>& Target() const { return m_target; }

    void accept() override;

private:
    std::optional<RigctlTarget> m_target;
    QLabel m_addressLabel;
    QLineEdit m_address;
    QLabel m_kindLabel;
    QComboBox m_kind;
    QLabel m_problem;
    QDialogButtonBox m_buttons;
    // Layouts after the widgets and nested ones last, so each is gone
    // before what it arranges or holds.
    QVBoxLayout m_layout;
    QFormLayout m_fields;
};

// Runs CRigctlDlg modally for the settings store.
class RigctlDlgChooser final : public RigctlTargetChooser {
public:
    explicit RigctlDlgChooser(QWidget* parent = nullptr) : m_parent(parent) {}

    std::optional<RigctlTarget> ChooseRigctlTarget(const RigctlTarget& current) override;

private:
    QWidget* m_parent;
};
