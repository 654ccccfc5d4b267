#pragma once

#include <QAction>
#include <QActionGroup>
#include <QDialog>
#include <QGridLayout>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTreeView>
#include <QVBoxLayout>
#include <array>
#include <optional>
#include <string_view>

#include "app/Tuner.h"
#include "app/widgets/AboutDlg.h"
#include "app/widgets/LogListModel.h"
#include "app/widgets/PassListModel.h"
#include "app/widgets/QtMessagePump.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/StopSignals.h"

// The main window: the pass list, the log, "Next Pass", "Cancel" and
// "Clear List", and the menus. It only wires widgets to the tuner, which
// holds the state and does the work.
//
// Nothing it opens during a run holds the run up: message boxes, the About
// box and the window menu do not wait for the user, and neither the folder
// picker nor the network receiver's dialog is offered. SIGINT, SIGTERM and
// SIGHUP end a run as "Cancel" does, then close the window.
class CTunerDlg final : public QDialog, private CancelButton, private MessageBoxPresenter {
public:
    explicit CTunerDlg(QWidget* parent = nullptr);

    // Cancel, Escape and the close box request a quit: it ends a run, or,
    // with no run active, the dialog.
    void reject() override;

    Tuner& GetTuner() { return m_tuner; }

protected:
    bool event(QEvent* event) override;
    // Linux desktops give a program no system menu to extend; the window's
    // context menu offers what it held.
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void SetCaption(std::string_view caption) override;
    void ShowMessageBox(std::string_view text) override;

    void BuildMenus();
    void BuildButtons();
    void BuildLists();
    void BuildLayout();
    // Calls `handler` for `action`, then shows the settings in force.
    template <class Handler>
    void OnMenu(QAction& action, Handler handler);
    void ShowSettingsInForce();

    void OnNextPass();
    void SetRunActive(bool active);
    void OnLocationOfDataFile();
    void OnReceiverRigctl();
    void OnAbout();
    void CopyLogSelection();
    void OnStopSignal();

    // The models outlive the tuner that fills them; the tuner reads the
    // settings as it is made.
    LogListModel m_logModel;
    PassListModel m_passModel;
    QtMessagePump m_pump{*this};
    Tuner m_tuner;
    bool m_runActive = false;
    // A stop signal came: the window closes once the run has ended.
    bool m_closeAfterRun = false;
    Event m_stopSignal;
    StopSignals m_stopSignals;
    QSocketNotifier m_stopSignalNotifier;
    // The "Reporting" item last chosen: "Verbose" and "Error Only" set the
    // same level, and the menu shows the one the user picked.
    QAction* m_reportingChosen = nullptr;

    QMenuBar m_menuBar;
    QMenu m_satellitesMenu;
    QMenu m_settingsMenu;
    QMenu m_comPortMenu;
    QMenu m_receiverMenu;
    QMenu m_reportingMenu;
    QMenu m_aboutMenu;
    QAction m_actionDde;
    QAction m_actionFile;
    QAction m_actionLocation;
    std::array<QAction, 4> m_actionComPort;
    QAction m_actionReceiverPcr1000;
    QAction m_actionReceiverRigctl;
    QAction m_actionVerbose;
    QAction m_actionTuning;
    QAction m_actionErrorOnly;
    QAction m_actionSave;
    QAction m_actionAbout;
    QActionGroup m_dataModeGroup{this};
    QActionGroup m_comPortGroup{this};
    QActionGroup m_receiverGroup{this};
    QActionGroup m_reportingGroup{this};
    QAction m_copyLog;
    QAction m_selectAllLog;

    QPushButton m_nextPass;
    QPushButton m_cancel;
    QPushButton m_clearList;
    QTreeView m_listPasses;
    QListView m_listLog;
    // Made when first asked for, not at every start.
    std::optional<CAboutDlg> m_about;
    QMenu m_windowMenu{this};
    // Layouts after the widgets and nested ones last, so each is gone
    // before what it arranges or holds.
    QGridLayout m_layout;
    QVBoxLayout m_buttons;
};
