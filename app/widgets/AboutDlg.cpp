#include "app/widgets/AboutDlg.h"

#include <QApplication>

#include "app/widgets/DialogUnits.h"

namespace {

constexpr int kIconPixels = 48;

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent),
      m_version(QStringLiteral("Vantrel Version 1.0")),
      m_purpose(QStringLiteral("A Simple PCR-1000 Interface Driven by WxSat Pass text file")),
      m_maker(QStringLiteral("Made by the Vantrel developers for weather-satellite stations.")),
      m_licence(QStringLiteral("It retunes the receiver as each pass begins and ends.")),
      m_buttons(QDialogButtonBox::Ok) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About Vantrel"));
    m_icon.setPixmap(QApplication::windowIcon().pixmap(kIconPixels));
    m_icon.setAlignment(Qt::AlignTop);
    for (QLabel* text : {&m_version, &m_purpose, &m_maker, &m_licence}) {
        text->setTextFormat(Qt::PlainText);
        m_texts.addWidget(text);
    }
    m_texts.addStretch();
    m_texts.addWidget(&m_buttons);
    QObject::connect(&m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    const DialogUnits units(font());
    m_layout.setSpacing(units.X(10));
    m_layout.addWidget(&m_icon);
    m_layout.addLayout(&m_texts);
    setLayout(&m_layout);
    setMinimumSize(units.Size(235, 97));
}
