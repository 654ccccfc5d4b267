#include "app/widgets/TunerDlg.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QStyle>

#include "app/widgets/DialogUnits.h"
#include "app/widgets/FolderPickDlg.h"
#include "app/widgets/RigctlDlg.h"
#include "services/DataMode.h"

namespace {

// The pass list's columns in pixels, as the list view had them, and the
// widest texts they must show whole in the font in use.
constexpr std::array<int, kPassColumns> kColumnWidths{110, 110, 40, 60};
constexpr std::array<const char*, kPassColumns> kWidestCells{
    "30 12 2026 23 59 59", "30 12 2026 23 59 59", "99999", "METEOR-M2 3"};
// Room a cell leaves around its text.
constexpr int kCellPadding = 12;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CTunerDlg::CTunerDlg(QWidget* parent)
    : QDialog(parent),
      m_tuner({m_logModel, m_passModel, *this, m_pump, *this}),
      m_stopSignal(EventReset::Auto, false),
      m_stopSignals(m_stopSignal.Descriptor()),
      m_stopSignalNotifier(m_stopSignal.Descriptor(), QSocketNotifier::Read) {
    setObjectName(QStringLiteral("tunerDialog"));
    setWindowTitle(QStringLiteral("Vantrel"));
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    m_tuner.SetReplyWait(&m_pump);
    QObject::connect(&m_stopSignalNotifier, &QSocketNotifier::activated, this,
                     [this] { OnStopSignal(); });

    BuildMenus();
    BuildButtons();
    BuildLists();
    BuildLayout();

    m_tuner.InitDialog();
    ShowSettingsInForce();
    m_nextPass.setFocus();
}

void CTunerDlg::BuildMenus() {
    const auto item = [](QAction& action, const char* name, const char* text) {
        action.setObjectName(QString::fromLatin1(name));
        action.setText(QString::fromLatin1(text));
    };
    m_satellitesMenu.setTitle(QStringLiteral("&Satallites"));
    item(m_actionDde, "actionDde", "&DDE");
    item(m_actionFile, "actionFile", "&File");
    item(m_actionLocation, "actionLocation", "&Location of Data File");
    m_satellitesMenu.addActions({&m_actionDde, &m_actionFile, &m_actionLocation});
    m_dataModeGroup.addAction(&m_actionDde);
    m_dataModeGroup.addAction(&m_actionFile);

    m_settingsMenu.setTitle(QStringLiteral("Se&ttings"));
    m_comPortMenu.setTitle(QStringLiteral("&Com Port"));
    for (std::size_t index = 0; index < m_actionComPort.size(); ++index) {
        QAction& action = m_actionComPort[index];
        const int port = static_cast<int>(index) + 1;
        action.setObjectName(QStringLiteral("actionComPort%1").arg(port));
        action.setText(QStringLiteral("&%1").arg(port));
        m_comPortMenu.addAction(&action);
        m_comPortGroup.addAction(&action);
        OnMenu(action, [this, port] { m_tuner.Settings().OnComPort(port); });
    }
    m_receiverMenu.setObjectName(QStringLiteral("receiverMenu"));
    m_receiverMenu.setTitle(QStringLiteral("Rece&iver"));
    item(m_actionReceiverPcr1000, "actionReceiverPcr1000", "&PCR-1000 on the Com Port");
    m_actionReceiverRigctl.setObjectName(QStringLiteral("actionReceiverRigctl"));
    m_actionReceiverRigctl.setText(QStringLiteral("&Network (rigctl)…"));
    m_receiverMenu.addActions({&m_actionReceiverPcr1000, &m_actionReceiverRigctl});
    m_receiverGroup.addAction(&m_actionReceiverPcr1000);
    m_receiverGroup.addAction(&m_actionReceiverRigctl);
    m_reportingMenu.setTitle(QStringLiteral("&Reporting"));
    item(m_actionVerbose, "actionVerbose", "&Verbose");
    item(m_actionTuning, "actionTuning", "&Tuning");
    item(m_actionErrorOnly, "actionErrorOnly", "&Error Only");
    m_reportingMenu.addActions({&m_actionVerbose, &m_actionTuning, &m_actionErrorOnly});
    for (QAction* action : {&m_actionVerbose, &m_actionTuning, &m_actionErrorOnly}) {
        m_reportingGroup.addAction(action);
    }
    item(m_actionSave, "actionSave", "&Save");
    m_settingsMenu.addMenu(&m_comPortMenu);
    m_settingsMenu.addMenu(&m_receiverMenu);
    m_settingsMenu.addMenu(&m_reportingMenu);
    m_settingsMenu.addAction(&m_actionSave);

    m_aboutMenu.setTitle(QStringLiteral("&About"));
    item(m_actionAbout, "actionAbout", "&Vantrel");
    m_aboutMenu.addAction(&m_actionAbout);

    for (QActionGroup* group :
         {&m_dataModeGroup, &m_comPortGroup, &m_receiverGroup, &m_reportingGroup}) {
        for (QAction* action : group->actions()) {
            action->setCheckable(true);
        }
    }
    m_menuBar.addMenu(&m_satellitesMenu);
    m_menuBar.addMenu(&m_settingsMenu);
    m_menuBar.addMenu(&m_aboutMenu);

    SettingsStore& settings = m_tuner.Settings();
    ActivityLog& log = m_tuner.Log();
    OnMenu(m_actionDde, [&settings] { settings.OnDataModeDde(); });
    OnMenu(m_actionFile, [&settings] { settings.OnDataModeFile(); });
    OnMenu(m_actionLocation, [this] { OnLocationOfDataFile(); });
    OnMenu(m_actionReceiverPcr1000, [&settings] { settings.OnReceiverPcr1000(); });
    OnMenu(m_actionReceiverRigctl, [this] { OnReceiverRigctl(); });
    OnMenu(m_actionVerbose, [this, &log] {
        log.OnReportingVerbose();
        m_reportingChosen = &m_actionVerbose;
    });
    OnMenu(m_actionTuning, [this, &log] {
        log.OnReportingTuning();
        m_reportingChosen = &m_actionTuning;
    });
    OnMenu(m_actionErrorOnly, [this, &log] {
        log.OnReportingErrorOnly();
        m_reportingChosen = &m_actionErrorOnly;
    });
    OnMenu(m_actionSave, [&settings] { settings.OnSave(); });
    QObject::connect(&m_actionAbout, &QAction::triggered, this, [this] { OnAbout(); });
}

template <class Handler>
void CTunerDlg::OnMenu(QAction& action, Handler handler) {
    QObject::connect(&action, &QAction::triggered, this, [this, handler] {
        handler();
        ShowSettingsInForce();
    });
}

void CTunerDlg::BuildButtons() {
    const auto button = [this](QPushButton& push, const char* name, const char* text) {
        push.setObjectName(QString::fromLatin1(name));
        push.setText(QString::fromLatin1(text));
        // No button is the default: Enter presses nothing.
        push.setAutoDefault(false);
        push.setDefault(false);
    };
    button(m_nextPass, "nextPassButton", "Next Pass");
    button(m_cancel, "cancelButton", "Cancel");
    button(m_clearList, "clearListButton", "Clear List");
    QObject::connect(&m_nextPass, &QPushButton::clicked, this, [this] { OnNextPass(); });
    QObject::connect(&m_cancel, &QPushButton::clicked, this, [this] { reject(); });
    QObject::connect(&m_clearList, &QPushButton::clicked, this,
                     [this] { m_tuner.Log().OnClearList(); });
}

void CTunerDlg::BuildLists() {
    m_listPasses.setObjectName(QStringLiteral("passList"));
    m_listPasses.setModel(&m_passModel);
    m_listPasses.setRootIsDecorated(false);
    m_listPasses.setItemsExpandable(false);
    m_listPasses.setUniformRowHeights(true);
    m_listPasses.setAllColumnsShowFocus(true);
    // The name takes what room is left, so the list grows with the window.
    m_listPasses.header()->setStretchLastSection(true);
    m_listPasses.header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QFontMetrics metrics(m_listPasses.font());
    for (std::size_t column = 0; column < kColumnWidths.size(); ++column) {
        const int needed =
            metrics.horizontalAdvance(QString::fromLatin1(kWidestCells[column])) + kCellPadding;
        m_listPasses.setColumnWidth(static_cast<int>(column),
                                    std::max(kColumnWidths[column], needed));
    }
    m_passModel.SetScroller([this](const QModelIndex& row) { m_listPasses.scrollTo(row); });

    m_listLog.setObjectName(QStringLiteral("logList"));
    m_listLog.setModel(&m_logModel);
    m_listLog.setUniformItemSizes(true);
    m_listLog.setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listLog.setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listLog.setContextMenuPolicy(Qt::ActionsContextMenu);
    m_copyLog.setText(QStringLiteral("&Copy"));
    m_copyLog.setShortcut(QKeySequence::Copy);
    m_copyLog.setShortcutContext(Qt::WidgetShortcut);
    m_selectAllLog.setText(QStringLiteral("Select &All"));
    m_selectAllLog.setShortcut(QKeySequence::SelectAll);
    m_selectAllLog.setShortcutContext(Qt::WidgetShortcut);
    m_listLog.addAction(&m_copyLog);
    m_listLog.addAction(&m_selectAllLog);
    QObject::connect(&m_copyLog, &QAction::triggered, this, [this] { CopyLogSelection(); });
    QObject::connect(&m_selectAllLog, &QAction::triggered, &m_listLog, &QListView::selectAll);
}

void CTunerDlg::BuildLayout() {
    // The window of dialog template 102, in its units: the lists on the left
    // grow with the window; the buttons keep their places in proportion.
    const DialogUnits units(font());
    m_layout.setMenuBar(&m_menuBar);
    m_layout.setContentsMargins(units.X(7), units.Y(7), units.X(17), units.Y(10));
    m_layout.setHorizontalSpacing(units.X(10));
    m_layout.setVerticalSpacing(units.Y(7));
    m_layout.addWidget(&m_listPasses, 0, 0);
    m_layout.addWidget(&m_listLog, 1, 0);
    m_layout.setRowStretch(0, 81);
    m_layout.setRowStretch(1, 68);
    m_layout.setColumnStretch(0, 1);

    const QSize buttonSize = units.Size(50, 14);
    for (QPushButton* push : {&m_nextPass, &m_cancel, &m_clearList}) {
        push->setMinimumSize(buttonSize);
    }
    m_buttons.setSpacing(0);
    m_buttons.addStretch(7);
    m_buttons.addWidget(&m_nextPass);
    m_buttons.addStretch(38);
    m_buttons.addWidget(&m_cancel);
    m_buttons.addStretch(45);
    m_buttons.addWidget(&m_clearList);
    m_buttons.addStretch(24);
    m_layout.addLayout(&m_buttons, 0, 1, 2, 1);
    setLayout(&m_layout);

    setTabOrder(&m_nextPass, &m_cancel);
    setTabOrder(&m_cancel, &m_clearList);
    setTabOrder(&m_clearList, &m_listLog);
    setTabOrder(&m_listLog, &m_listPasses);
    // Wide enough that the pass list shows its columns whole in this font.
    int passColumns = 2 * m_listPasses.frameWidth() +
                      m_listPasses.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int column = 0; column < kPassColumns; ++column) {
        passColumns += m_listPasses.columnWidth(column);
    }
    const QMargins margins = m_layout.contentsMargins();
    const int width =
        std::max(units.X(320), margins.left() + passColumns + m_layout.horizontalSpacing() +
                                   buttonSize.width() + margins.right());
    resize(width, units.Y(173) + m_menuBar.sizeHint().height());
}

void CTunerDlg::ShowSettingsInForce() {
    const SettingsStore& settings = m_tuner.Settings();
    m_actionFile.setChecked(settings.GetDataMode() == DataModeFile);
    // Every other value reads no file, as "DDE" does.
    m_actionDde.setChecked(settings.GetDataMode() != DataModeFile);
    for (std::size_t index = 0; index < m_actionComPort.size(); ++index) {
        m_actionComPort[index].setChecked(settings.GetComPort() == static_cast<int>(index) + 1);
    }
    const bool rigctl = settings.GetReceiver() == ReceiverKind::Rigctl;
    m_actionReceiverRigctl.setChecked(rigctl);
    m_actionReceiverPcr1000.setChecked(!rigctl);
    const std::int32_t level = m_tuner.Log().ReportLevelThreshold();
    QAction* shown = level == ReportVerbose      ? &m_actionVerbose
                     : level == ReportTuningOnly ? &m_actionTuning
                                                 : nullptr;
    if (m_reportingChosen == &m_actionErrorOnly && level == ReportVerbose) {
        shown = &m_actionErrorOnly;
    }
    for (QAction* action : m_reportingGroup.actions()) {
        action->setChecked(action == shown);
    }
}

void CTunerDlg::OnNextPass() {
    SetRunActive(true);
    const std::optional<std::string> failure = m_tuner.OnNextPass();
    SetRunActive(false);
    if (failure) {
        ShowMessageBox(*failure);
    }
    // A quit no run has taken reaches the dialog, as it would its modal loop.
    if (m_pump.TakeQuit() || m_closeAfterRun) {
        done(QDialog::Rejected);
    }
}

void CTunerDlg::SetRunActive(bool active) {
    m_runActive = active;
    // A press during a run is refused: the button is off until the run ends.
    m_nextPass.setEnabled(!active);
    // The picker and the receiver's dialog wait for the user, and a run's
    // folder and receiver are fixed at its start.
    m_actionLocation.setEnabled(!active);
    m_actionReceiverRigctl.setEnabled(!active);
}

void CTunerDlg::OnStopSignal() {
    m_stopSignal.Reset();
    m_closeAfterRun = m_runActive;
    reject();
}

void CTunerDlg::reject() {
    m_pump.RequestQuit();
}

bool CTunerDlg::event(QEvent* event) {
    if (event->type() == QtMessagePump::kQuitEvent) {
        // During a run the run's pump takes the request.
        if (!m_runActive && m_pump.TakeQuit()) {
            done(QDialog::Rejected);
        }
        return true;
    }
    return QDialog::event(event);
}

void CTunerDlg::contextMenuEvent(QContextMenuEvent* event) {
    m_windowMenu.clear();
    m_windowMenu.addAction(QStringLiteral("Mi&nimize"), this, [this] { showMinimized(); });
    if (isMaximized()) {
        m_windowMenu.addAction(QStringLiteral("&Restore"), this, [this] { showNormal(); });
    } else {
        m_windowMenu.addAction(QStringLiteral("Ma&ximize"), this, [this] { showMaximized(); });
    }
    m_windowMenu.addAction(QStringLiteral("&Close"), this, [this] { reject(); });
    m_windowMenu.addSeparator();
    m_windowMenu.addAction(QStringLiteral("&About Vantrel..."), this, [this] { OnAbout(); });
    m_windowMenu.popup(event->globalPos());
}

void CTunerDlg::SetCaption(std::string_view caption) {
    m_cancel.setText(FromUtf8(caption));
}

void CTunerDlg::ShowMessageBox(std::string_view text) {
    // Qt owns it through its parent, and deletes it once it is closed.
    auto* const box = std::make_unique<QMessageBox>(QMessageBox::Warning, QStringLiteral("Vantrel"),
                                                    FromUtf8(text), QMessageBox::Ok, this)
                          .release();
    box->setObjectName(QStringLiteral("messageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The system's texts stand as they are, angle brackets and all.
    box->setTextFormat(Qt::PlainText);
    if (m_runActive) {
        // Window-modal and not waited for: the run goes on behind it.
        box->open();
    } else {
        box->exec();
    }
}

void CTunerDlg::OnLocationOfDataFile() {
    FolderPickDlgChooser chooser(this);
    m_tuner.Settings().OnLocationOfDataFile(chooser);
}

void CTunerDlg::OnReceiverRigctl() {
    RigctlDlgChooser chooser(this);
    m_tuner.Settings().OnReceiverRigctl(chooser);
}

void CTunerDlg::OnAbout() {
    if (!m_about) {
        m_about.emplace(this);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void CTunerDlg::CopyLogSelection() {
    const QString lines = m_logModel.LinesOf(m_listLog.selectionModel()->selectedIndexes());
    if (!lines.isEmpty()) {
        QGuiApplication::clipboard()->setText(lines);
    }
}
