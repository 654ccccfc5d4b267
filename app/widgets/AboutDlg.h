#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

// "About Vantrel": the icon, the version and what Vantrel is.
class CAboutDlg final : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

private:
    QLabel m_icon;
    QLabel m_version;
    QLabel m_purpose;
    QLabel m_maker;
    QLabel m_licence;
    QDialogButtonBox m_buttons;
    // Layouts after the widgets and nested ones last, so each is gone
    // before what it arranges or holds.
    QHBoxLayout m_layout;
    QVBoxLayout m_texts;
};
