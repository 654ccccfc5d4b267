#include "app/widgets/RigctlDlg.h"

#include <QPushButton>

#include "app/settings/RigctlChoice.h"

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CRigctlDlg::CRigctlDlg(const RigctlTarget& current, QWidget* parent)
    : QDialog(parent), m_buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal) {
    setObjectName(QStringLiteral("rigctlDialog"));
    setWindowTitle(QStringLiteral("Network Receiver"));
    m_address.setObjectName(QStringLiteral("rigctlAddress"));
    m_address.setText(FromUtf8(current.address));
    m_address.setPlaceholderText(FromUtf8(kDefaultRigctlAddress));
    m_kind.setObjectName(QStringLiteral("rigctlKind"));
    for (const RigctlServer& server : RigctlServers()) {
        m_kind.addItem(FromUtf8(server.title));
    }
    m_kind.setCurrentIndex(static_cast<int>(RigctlKindIndex(current.kind)));
    m_problem.setObjectName(QStringLiteral("rigctlProblem"));
    m_problem.setWordWrap(true);
    m_problem.setTextFormat(Qt::PlainText);
    m_problem.hide();
    m_buttons.setObjectName(QStringLiteral("rigctlButtons"));
    QObject::connect(&m_buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    QObject::connect(&m_buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });

    const auto label = [](QLabel& text, const char* name, const char* shown, QWidget& buddy) {
        text.setObjectName(QString::fromLatin1(name));
        text.setText(QString::fromLatin1(shown));
        text.setBuddy(&buddy);
    };
    label(m_addressLabel, "rigctlAddressLabel", "&Address (host:port):", m_address);
    label(m_kindLabel, "rigctlKindLabel", "&Server:", m_kind);
    m_fields.addRow(&m_addressLabel, &m_address);
    m_fields.addRow(&m_kindLabel, &m_kind);
    m_layout.addLayout(&m_fields);
    m_layout.addWidget(&m_problem);
    m_layout.addWidget(&m_buttons);
    setLayout(&m_layout);
}

void CRigctlDlg::accept() {
    const RigctlFormAnswer answer = ReadRigctlForm(m_address.text().toStdString(),
                                                   static_cast<std::size_t>(m_kind.currentIndex()));
    if (!answer.target) {
        m_problem.setText(FromUtf8(answer.problem));
        m_problem.show();
        m_address.setFocus();
        return;
    }
    m_target = answer.target;
    QDialog::accept();
}

std::optional<RigctlTarget> RigctlDlgChooser::ChooseRigctlTarget(const RigctlTarget& current) {
    CRigctlDlg dialog(current, m_parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Target();
}
