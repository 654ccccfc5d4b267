#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTreeView>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "tests/app/DialogFixture.h"
#include "tests/support/FakeRigctlServer.h"

namespace {

// The menu tree as one text: item text, '#' and object name, submenu in brackets.
std::string Outline(const QWidget& menu) {
    std::string text;
    for (const QAction* action : menu.actions()) {
        text += text.empty() ? "" : ", ";
        text += action->text().toStdString();
        if (!action->objectName().isEmpty()) {
            text += "#" + action->objectName().toStdString();
        }
        if (action->menu() != nullptr) {
            text += "[" + Outline(*action->menu()) + "]";
        }
    }
    return text;
}

// Every action of the menu tree, depth first.
std::vector<QAction*> AllActions(const QWidget& menu) {
    std::vector<QAction*> all;
    for (QAction* action : menu.actions()) {
        all.push_back(action);
        if (action->menu() != nullptr) {
            std::ranges::copy(AllActions(*action->menu()), std::back_inserter(all));
        }
    }
    return all;
}

QAction* FindAction(const QWidget& menu, const char* name) {
    for (QAction* action : AllActions(menu)) {
        if (action->objectName() == QLatin1String(name)) {
            return action;
        }
    }
    throw std::runtime_error(std::string("no action ") + name);
}

void Trigger(const QWidget& menu, const char* name) {
    FindAction(menu, name)->trigger();
}

Lines Checked(const QWidget& menu) {
    Lines names;
    for (const QAction* action : AllActions(menu)) {
        if (action->isChecked()) {
            names.push_back(action->objectName().toStdString());
        }
    }
    return names;
}

}  // namespace

class TunerDlgSilentReceiverTest : public TunerDlgTest {
protected:
    TunerDlgSilentReceiverTest() : TunerDlgTest({"--silent"}) {}
};

// The window with a network receiver, chosen in its own dialog.
class TunerDlgNetworkTest : public TunerDlgTest {
protected:
    // Acts on the "Network (rigctl)" dialog once it is open.
    void OnRigctlDialog(std::function<void(QDialog&)> act) {
        Poll([act = std::move(act)] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || dialog->objectName() != QLatin1String("rigctlDialog")) {
                return false;
            }
            act(*dialog);
            return true;
        });
    }
    template <class Widget>
    static Widget& In(const QDialog& dialog, const char* name) {
        return *dialog.findChild<Widget*>(QLatin1String(name));
    }
    // What the dialog shows: the address, the kind, and a problem if any.
    static std::string Shown(const QDialog& dialog) {
        const auto& problem = In<QLabel>(dialog, "rigctlProblem");
        return In<QLineEdit>(dialog, "rigctlAddress").text().toStdString() + " " +
               In<QComboBox>(dialog, "rigctlKind").currentText().toStdString() +
               (problem.isVisible() ? " - " + problem.text().toStdString() : "");
    }
    static void Answer(QDialog& dialog, const char* address, int kindIndex,
                       QDialogButtonBox::StandardButton button = QDialogButtonBox::Ok) {
        In<QLineEdit>(dialog, "rigctlAddress").setText(QString::fromLatin1(address));
        In<QComboBox>(dialog, "rigctlKind").setCurrentIndex(kindIndex);
        In<QDialogButtonBox>(dialog, "rigctlButtons").button(button)->click();
    }
    bool Logged(std::string_view line) const { return std::ranges::count(LogLines(), line) > 0; }
};

TEST_F(TunerDlgTest, TitleMenusListsAndKeyboard) {
    EXPECT_EQ(m_dialog->windowTitle().toStdString(), "Vantrel");
    EXPECT_EQ(Outline(MenuBar()),
              "&Satallites[&DDE#actionDde, &File#actionFile, &Location of Data "
              "File#actionLocation], Se&ttings[&Com Port[&1#actionComPort1, &2#actionComPort2, "
              "&3#actionComPort3, &4#actionComPort4], Rece&iver[&PCR-1000 on the Com "
              "Port#actionReceiverPcr1000, &Network (rigctl)…#actionReceiverRigctl], "
              "&Reporting[&Verbose#actionVerbose, "
              "&Tuning#actionTuning, &Error Only#actionErrorOnly], &Save#actionSave], "
              "&About[&Vantrel#actionAbout]");
    const QAbstractItemModel& passes = *Child<QTreeView>("passList").model();
    Lines headings;
    for (int column = 0; column < passes.columnCount(); ++column) {
        headings.push_back(passes.headerData(column, Qt::Horizontal).toString().toStdString());
    }
    EXPECT_EQ(headings, (Lines{"Start", "End", "Length", "Name"}));
    EXPECT_EQ(LogLines(), Lines{"Settings Read to Registry"});
    for (const QPushButton* button :
         m_dialog->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << button->text().toStdString();
    }

    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    Lines focusOrder;
    for (int press = 0; press < 6; ++press) {
        focusOrder.push_back(QApplication::focusWidget()->objectName().toStdString());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(focusOrder, (Lines{"nextPassButton", "cancelButton", "clearListButton", "logList",
                                 "passList", "nextPassButton"}));

    Trigger(MenuBar(), "actionAbout");
    const auto& about = Child<QDialog>("aboutDialog");
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(about.windowTitle().toStdString(), "About Vantrel");
}

TEST_F(TunerDlgTest, CheckMarksFollowChoicesSaveStoresThemAndTheLogCopies) {
    const auto checked = [this] { return Checked(MenuBar()); };
    const auto choose = [this](const char* name) { Trigger(MenuBar(), name); };
    EXPECT_EQ(checked(),
              (Lines{"actionFile", "actionComPort1", "actionReceiverPcr1000", "actionVerbose"}));
    choose("actionComPort3");
    choose("actionDde");
    choose("actionTuning");
    EXPECT_EQ(checked(),
              (Lines{"actionDde", "actionComPort3", "actionReceiverPcr1000", "actionTuning"}));
    choose("actionErrorOnly");
    EXPECT_EQ(checked(),
              (Lines{"actionDde", "actionComPort3", "actionReceiverPcr1000", "actionErrorOnly"}));
    choose("actionFile");
    choose("actionVerbose");
    EXPECT_EQ(checked(),
              (Lines{"actionFile", "actionComPort3", "actionReceiverPcr1000", "actionVerbose"}));
    choose("actionDde");
    choose("actionErrorOnly");
    choose("actionSave");

    const QSettings stored(
        QString::fromStdString((m_station.ConfigFolder() / "vantrel" / "Vantrel.conf").string()),
        QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Com Port")).toInt(), 3);
    EXPECT_EQ(stored.value(QStringLiteral("DataMode")).toInt(), 0);
    EXPECT_EQ(stored.value(QStringLiteral("Reporting")).toInt(), 0);
    // A window made now shows what was stored; "Error Only" is stored as "Verbose".
    const CTunerDlg reopened;
    EXPECT_EQ(Checked(*reopened.findChild<QMenuBar*>()),
              (Lines{"actionDde", "actionComPort3", "actionReceiverPcr1000", "actionVerbose"}));

    const Lines shown{"Settings written to Registry", "Settings Read to Registry"};
    ASSERT_EQ(LogLines(), shown);
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    auto& log = Child<QListView>("logList");
    log.setFocus();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), shown[0] + "\n" + shown[1]);
    QTest::mouseClick(&Child<QPushButton>("clearListButton"), Qt::LeftButton);
    EXPECT_EQ(LogLines(), Lines{});
}

TEST_F(TunerDlgTest, RunFromNextPassToExitTunesDefaultThenThePassAndRefusesASecondRun) {
    const std::time_t passStart = std::time(nullptr) + 3;
    m_station.WritePassList(SimulatedStation::PassLine(passStart, 60, "NOAA 19"));
    ShortenWaits();
    std::time_t defaultSeen = 0;
    std::time_t passSeen = 0;
    std::string captionWhileWaiting;
    bool nextPassEnabledWhileWaiting = true;
    Poll([&] {
        const std::size_t sent = m_station.Commands().size();
        if (sent >= 6 && defaultSeen == 0) {
            defaultSeen = std::time(nullptr);
            captionWhileWaiting = Caption();
            nextPassEnabledWhileWaiting = NextPass().isEnabled();
            // Refused: the transcript below shows a single start-up.
            QTest::mouseClick(&NextPass(), Qt::LeftButton);
        }
        if (sent < 9) {
            return false;
        }
        passSeen = std::time(nullptr);
        QTest::mouseClick(&Cancel(), Qt::LeftButton);
        return true;
    });
    EXPECT_EQ(Caption(), "Cancel");
    const AfterRun after = RunThenCancel();
    EXPECT_EQ(captionWhileWaiting, "Turn Off Pcr");
    EXPECT_FALSE(nextPassEnabledWhileWaiting);
    EXPECT_EQ(after.caption, "Exit");
    EXPECT_TRUE(after.nextPassEnabled);
    EXPECT_TRUE(after.open);
    EXPECT_LT(defaultSeen, passStart);
    EXPECT_GE(passSeen, passStart);
    // Loosely: a busy machine may be late, not a pass later.
    EXPECT_LE(passSeen, passStart + 5);

    const QAbstractItemModel& passes = *Child<QTreeView>("passList").model();
    ASSERT_EQ(passes.rowCount(), 1);
    Lines row;
    for (int column = 0; column < 4; ++column) {
        row.push_back(passes.index(0, column).data().toString().toStdString());
    }
    EXPECT_EQ(row,
              (Lines{LocalPassTime(passStart), LocalPassTime(passStart + 60), "60", "NOAA 19"}));

    m_dialog.reset();
    const Lines expected = Concat({kStartUp, SimulatedStation::kDefaultCommands,
                                   SimulatedStation::kNoaa19Commands, kPowerOff, kCloseDown});
    m_station.AwaitCommands(expected.size(), 2s);
    EXPECT_EQ(m_station.Commands(), expected);
    // The first check comes about a second after the start-up.
    const std::vector<long> times = CommandTimes();
    ASSERT_GE(times.size(), 4u);
    EXPECT_LE(times[3] - times[2], 2500);
}

TEST_F(TunerDlgSilentReceiverTest, UnknownErrorShutsTheRunDownAndTheQueuedQuitEndsTheDialog) {
    m_station.WritePassList("");
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(Exec([this] { QTest::mouseClick(&NextPass(), Qt::LeftButton); }), QDialog::Rejected);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(Caption(), "Exit");
    const Lines log = LogLines();
    EXPECT_EQ(std::ranges::count(log, "Unknown Error"), 1);
    EXPECT_EQ(std::ranges::count(log, "Radio Talking"), 0);
    // Three replies awaited in full: before H1?, before H101 and before H100.
    EXPECT_GE(took, 8900ms);
    EXPECT_LT(took, 30s);
    m_station.AwaitCommands(3, 1s);
    const std::vector<long> times = CommandTimes();
    ASSERT_EQ(times.size(), 3u);
    for (std::size_t index = 1; index < times.size(); ++index) {
        EXPECT_GE(times[index] - times[index - 1], 2900) << index;
        EXPECT_LE(times[index] - times[index - 1], 5000) << index;
    }

    m_dialog.reset();
    const Lines expected = Concat({std::span(kStartUp).first(2), kPowerOff, kCloseDown});
    m_station.AwaitCommands(expected.size(), 2s);
    EXPECT_EQ(m_station.Commands(), expected);
}

// A user who opens About, the window menu or a message box and walks away
// must not miss a pass.
TEST_F(TunerDlgTest, WhatTheUserOpensDuringARunHoldsUpNoCheck) {
    ShortenWaits();
    m_leaveBoxesOpen = true;
    bool pickerOffered = true;
    bool receiverDialogOffered = true;
    bool allOpen = false;
    QMenu& windowMenu = *m_dialog->findChild<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    const auto checks = [this] { return std::ranges::count(LogLines(), "SatTimer Gone off"); };
    long checksWhenOpened = 0;
    Poll([&] {
        if (Caption() != "Turn Off Pcr" || QApplication::activeModalWidget() == nullptr) {
            return false;
        }
        pickerOffered = FindAction(MenuBar(), "actionLocation")->isEnabled();
        receiverDialogOffered = FindAction(MenuBar(), "actionReceiverRigctl")->isEnabled();
        checksWhenOpened = checks();
        Trigger(MenuBar(), "actionAbout");
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                  m_dialog->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_dialog.get(), &menuKey);
        Poll([&] {
            if (checks() < checksWhenOpened + 2) {
                return false;
            }
            allOpen = Child<QDialog>("aboutDialog").isVisible() && windowMenu.isVisible() &&
                      QApplication::activeModalWidget() != nullptr;
            windowMenu.close();
            Child<QDialog>("aboutDialog").close();
            m_leaveBoxesOpen = false;
            QTest::mouseClick(&Cancel(), Qt::LeftButton);
            return true;
        });
        return true;
    });
    // No PassList.txt: its box comes up as the run starts.
    const AfterRun after = RunThenCancel([] {}, 20s);
    EXPECT_FALSE(pickerOffered);
    EXPECT_FALSE(receiverDialogOffered);
    EXPECT_TRUE(allOpen);
    EXPECT_TRUE(FindAction(MenuBar(), "actionLocation")->isEnabled());
    EXPECT_TRUE(FindAction(MenuBar(), "actionReceiverRigctl")->isEnabled());
    EXPECT_EQ(m_boxes, QStringList{QStringLiteral("Can Not Open WxTrack Passlist.txt File")});
    m_boxes.clear();
}

// Logout, kill or a closed terminal: the run ends as Cancel ends it, then
// the window closes; without a run it just closes.
TEST_F(TunerDlgTest, StopSignalsEndTheRunWithItsShutdownThenCloseTheWindow) {
    m_station.WritePassList("");
    ShortenWaits();
    Poll([this] {
        if (m_station.Commands().size() < 6) {
            return false;
        }
        ::raise(SIGTERM);
        return true;
    });
    EXPECT_EQ(Exec([this] { QTest::mouseClick(&NextPass(), Qt::LeftButton); }), QDialog::Rejected);
    EXPECT_FALSE(m_dialog->isVisible());
    m_dialog.reset();
    const Lines expected =
        Concat({kStartUp, SimulatedStation::kDefaultCommands, kPowerOff, kCloseDown});
    m_station.AwaitCommands(expected.size(), 2s);
    EXPECT_EQ(m_station.Commands(), expected);

    for (const int signal : {SIGINT, SIGHUP}) {
        // One window takes the signals at a time.
        m_dialog.reset();
        m_dialog = std::make_unique<CTunerDlg>();
        EXPECT_EQ(Exec([signal] { ::raise(signal); }, 5s), QDialog::Rejected) << signal;
    }
}

TEST_F(TunerDlgTest, PortThatCannotOpenIsShownAndTheDialogStaysUsable) {
    // COM1 is left a link to nothing: the port fails whatever else the machine has.
    m_station.StopSimulator();
    const AfterRun after = RunThenCancel();
    ASSERT_EQ(m_boxes.size(), 1);
    EXPECT_EQ(m_boxes.takeFirst().toStdString(),
              "Serial port COM1 (" + m_station.Com1().string() + "): " + std::strerror(ENOENT));
    // No shutdown sequence: the caption stays.
    EXPECT_EQ(after.caption, "Cancel");
    EXPECT_TRUE(after.nextPassEnabled);
    EXPECT_TRUE(after.open);
}

TEST_F(TunerDlgNetworkTest, TheNetworkReceiverIsChosenInItsDialogShownAndSaved) {
    Lines shown;
    OnRigctlDialog([&shown](QDialog& dialog) {
        shown.push_back(Shown(dialog));
        Answer(dialog, "127.0.0.1", 0);
        shown.push_back(Shown(dialog));
        Answer(dialog, " [::1]:7356 ", 1);
    });
    Trigger(MenuBar(), "actionReceiverRigctl");
    EXPECT_EQ(Checked(MenuBar()),
              (Lines{"actionFile", "actionComPort1", "actionReceiverRigctl", "actionVerbose"}));
    // Cancel changes nothing; the dialog starts at the choice in force.
    OnRigctlDialog([&shown](QDialog& dialog) {
        shown.push_back(Shown(dialog));
        Answer(dialog, "sdr.local:4532", 2, QDialogButtonBox::Cancel);
    });
    Trigger(MenuBar(), "actionReceiverRigctl");
    EXPECT_EQ(shown, (Lines{"127.0.0.1:4532 rigctld",
                            "127.0.0.1 rigctld - <127.0.0.1> is no address. Give the address as "
                            "HOST:PORT, such as 127.0.0.1:4532: a host name or address, a colon "
                            "and a port from 1 to 65535 (an IPv6 address in brackets, as "
                            "[::1]:4532).",
                            "[::1]:7356 gqrx"}));
    Trigger(MenuBar(), "actionSave");
    const CTunerDlg reopened;
    EXPECT_EQ(Checked(*reopened.findChild<QMenuBar*>())[2], "actionReceiverRigctl");
}

// Replies are awaited in the window's own loop: the window goes on (a timer
// here) while a receiver that went silent keeps the run waiting, and the run
// goes on once it has given up on it.
TEST_F(TunerDlgNetworkTest, ARunDrivesANetworkReceiverWhileTheWindowGoesOn) {
    FakeRigctlServer gqrx(RigctlServerKind::Gqrx);
    OnRigctlDialog([&gqrx](QDialog& dialog) { Answer(dialog, gqrx.Address().c_str(), 1); });
    Trigger(MenuBar(), "actionReceiverRigctl");
    m_station.WritePassList(SimulatedStation::PassLine(std::time(nullptr) + 3, 60, "NOAA 19"));
    ShortenWaits();
    gqrx.ArmFault(FakeRigctlServer::Fault::GoSilent, "F 137100000");
    const std::string lost = "Receiver at " + gqrx.Address() +
                             " lost (<F 137100000>: no reply within 2 s): trying again every 10 s";
    bool waitedInTheWindow = false;
    Poll([&] {
        const std::vector<std::string> commands = gqrx.Commands();
        if (!Logged(lost)) {
            waitedInTheWindow =
                waitedInTheWindow || (!commands.empty() && commands.back() == "F 137100000");
            return false;
        }
        QTest::mouseClick(&Cancel(), Qt::LeftButton);
        return true;
    });
    const AfterRun after = RunThenCancel();
    EXPECT_EQ(after.caption, "Exit");
    EXPECT_TRUE(waitedInTheWindow);
    EXPECT_EQ(gqrx.Commands(),
              (Lines{"\\chk_vfo", "F 137500000", "f", "M WFM 230000", "m", "F 137100000"}));
    for (const char* line :
         {"Radio Talking", "Radio ON - all Ok", "Volume and squelch are left to gqrx"}) {
        EXPECT_TRUE(Logged(line)) << line;
    }
    // Nothing went to the serial receiver.
    EXPECT_TRUE(m_station.Commands().empty());
}
