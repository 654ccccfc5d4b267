#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <span>

#include "app/widgets/TunerDlg.h"
#include "tests/support/SimulatedStation.h"

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// The main window on a simulated station, for tests that drive it offscreen.
namespace dialog_test {

// As the transcript writes them.
constexpr std::string_view kStartUp[] = {"H1?\\r\\n", "H101\\r\\n", "H1?\\r\\n"};
constexpr std::string_view kPowerOff[] = {"H100\\r\\n"};
// The framer splits the two zero-terminated commands at their line ends.
constexpr std::string_view kCloseDown[] = {"P100\\r\\n", "\\0P100\\r\\n"};

inline Lines Concat(std::initializer_list<std::span<const std::string_view>> parts) {
    Lines lines;
    for (const auto part : parts) {
        lines.insert(lines.end(), part.begin(), part.end());
    }
    return lines;
}

// The test's zone is four hours east of UTC, without daylight saving.
constexpr const char* kTimeZone = "<+04>-4";
constexpr std::time_t kZoneOffset = 4 * 3600;

inline std::string LocalPassTime(std::time_t time) {
    const std::time_t shifted = time + kZoneOffset;
    std::tm utc{};
    gmtime_r(&shifted, &utc);
    char text[80];
    std::snprintf(text, sizeof text, "%2d %2d %4d %2d %2d %2d", utc.tm_mday, utc.tm_mon + 1,
                  utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

}  // namespace dialog_test

using namespace dialog_test;

class TunerDlgTest : public ::testing::Test {
protected:
    explicit TunerDlgTest(std::vector<std::string> simulatorOptions = {})
        : m_station(std::move(simulatorOptions)) {
        m_station.WriteCatalogue(SimulatedStation::kCatalogue);
        m_dialog = std::make_unique<CTunerDlg>();
        DismissMessageBoxes();
    }
    // A box no test expects (a receiver lost mid-run, say) fails the test
    // instead of hanging it.
    void TearDown() override {
        EXPECT_TRUE(m_boxes.isEmpty()) << m_boxes.join(QLatin1Char('\n')).toStdString();
    }

    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "vantrel_dialog_test";
        static char* argv[] = {name, nullptr};
        s_application = std::make_unique<QApplication>(argc, argv);
    }
    static void TearDownTestSuite() { s_application.reset(); }

    template <class Widget>
    Widget& Child(const char* name) const {
        auto* found = m_dialog->findChild<Widget*>(QLatin1String(name));
        if (found == nullptr) {
            throw std::runtime_error(std::string("no child ") + name);
        }
        return *found;
    }
    QPushButton& NextPass() const { return Child<QPushButton>("nextPassButton"); }
    QPushButton& Cancel() const { return Child<QPushButton>("cancelButton"); }
    QMenuBar& MenuBar() const { return *m_dialog->findChild<QMenuBar*>(); }
    std::string Caption() const { return Cancel().text().toStdString(); }

    Lines LogLines() const {
        const QAbstractItemModel& model = *Child<QListView>("logList").model();
        Lines lines;
        for (int row = 0; row < model.rowCount(); ++row) {
            lines.push_back(model.index(row, 0).data().toString().toStdString());
        }
        return lines;
    }

    // Times of the commands in the transcript, in ms since the simulator started.
    std::vector<long> CommandTimes() const {
        std::vector<long> times;
        std::ifstream transcript(m_station.TranscriptFile());
        for (std::string line; std::getline(transcript, line);) {
            times.push_back(std::lround(std::stod(line.substr(0, line.find('\t'))) * 1000));
        }
        return times;
    }

    // Runs the dialog modally, `start` first. Past `limit`, two quits end the
    // run and the dialog; past twice `limit`, the process ends, not to hang.
    int Exec(std::function<void()> start, std::chrono::milliseconds limit = 15s) {
        QTimer guard;
        bool overdue = false;
        QObject::connect(&guard, &QTimer::timeout, m_dialog.get(), [this, &overdue] {
            if (overdue) {
                std::fputs("The dialog is stuck\n", stderr);
                m_station.StopSimulator();
                std::error_code ignored;
                std::filesystem::remove_all(m_station.ConfigFolder().parent_path(), ignored);
                std::_Exit(EXIT_FAILURE);
            }
            overdue = true;
            ADD_FAILURE() << "the dialog did not end in time";
            m_dialog->reject();
            m_dialog->reject();
        });
        guard.start(limit);
        QTimer::singleShot(0, m_dialog.get(), std::move(start));
        return m_dialog->exec();
    }

    // Calls `check` every 20 ms from whichever loop runs until it returns
    // true; never re-entered, as the timer rests while it runs.
    void Poll(std::function<bool()> check) {
        QTimer* const timer = m_pollers.emplace_back(std::make_unique<QTimer>()).get();
        QObject::connect(timer, &QTimer::timeout, timer, [timer, check = std::move(check)] {
            timer->stop();
            if (!check()) {
                timer->start();
            }
        });
        timer->start(20);
    }

    // Presses OK on every message box the dialog shows, noting its text,
    // unless the test leaves them open for now.
    void DismissMessageBoxes() {
        Poll([this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->objectName() == QLatin1String("messageBox") &&
                !m_leaveBoxesOpen) {
                m_boxes.append(box->text());
                box->button(QMessageBox::Ok)->click();
            }
            return false;
        });
    }

    // How the window stands once a run started with "Next Pass" is over;
    // "Cancel" then ends the dialog.
    struct AfterRun {
        std::string caption;
        bool nextPassEnabled = false;
        bool open = false;
    };
    AfterRun RunThenCancel(
        const std::function<void()>& beforeNextPass = [] {},
        std::chrono::milliseconds limit = 15s) {
        AfterRun after;
        EXPECT_EQ(Exec(
                      [&] {
                          beforeNextPass();
                          QTest::mouseClick(&NextPass(), Qt::LeftButton);
                          QTest::qWait(50);
                          after = {Caption(), NextPass().isEnabled(), m_dialog->isVisible()};
                          QTest::mouseClick(&Cancel(), Qt::LeftButton);
                      },
                      limit),
                  QDialog::Rejected);
        return after;
    }

    void ShortenWaits() {
        m_dialog->GetTuner().Scheduler().SetCheckPeriodForTesting(1s);
        m_dialog->GetTuner().Port().SetReplyTimeout(300ms);
    }

    static inline std::unique_ptr<QApplication> s_application;
    ScopedTimeZone m_timeZone{kTimeZone};
    SimulatedStation m_station;
    QStringList m_boxes;
    bool m_leaveBoxesOpen = false;
    std::unique_ptr<CTunerDlg> m_dialog;
    std::vector<std::unique_ptr<QTimer>> m_pollers;
};
