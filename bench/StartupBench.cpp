// Start-up to the window shown, and peak memory, of Vantrel's main window
// against a bare Qt dialog with the same widgets, both in this binary so
// they load the same libraries. Each sample is a fresh process (this
// program run again with --child), timed from just before it is started.
//
//   bench_startup [SAMPLES]     run under Xvfb (xvfb-run) or any display

#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QTest>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/widgets/AppIcon.h"
#include "app/widgets/TunerDlg.h"
#include "bench/ProcessStatus.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

double MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The main window's widgets and layout, without anything behind them.
class BareDialog final : public QDialog {
public:
    BareDialog() {
        for (const char* title : {"&Satallites", "Se&ttings", "&About"}) {
            m_menus.push_back(m_menuBar.addMenu(QString::fromLatin1(title)));
        }
        for (const char* item : {"&DDE", "&File", "&Location of Data File"}) {
            m_menus[0]->addAction(QString::fromLatin1(item))->setCheckable(true);
        }
        QMenu* const comPort = m_menus[1]->addMenu(QStringLiteral("&Com Port"));
        QMenu* const reporting = m_menus[1]->addMenu(QStringLiteral("&Reporting"));
        for (const char* item : {"&1", "&2", "&3", "&4"}) {
            comPort->addAction(QString::fromLatin1(item))->setCheckable(true);
        }
        for (const char* item : {"&Verbose", "&Tuning", "&Error Only"}) {
            reporting->addAction(QString::fromLatin1(item))->setCheckable(true);
        }
        m_menus[1]->addAction(QStringLiteral("&Save"));
        m_menus[2]->addAction(QStringLiteral("&Vantrel"));
        m_passes.setHorizontalHeaderLabels({QStringLiteral("Start"), QStringLiteral("End"),
                                            QStringLiteral("Length"), QStringLiteral("Name")});
        m_passList.setModel(&m_passes);
        m_log.setStringList({QStringLiteral("Settings Read to Registry")});
        m_logList.setModel(&m_log);
        m_layout.setMenuBar(&m_menuBar);
        m_layout.addWidget(&m_passList, 0, 0);
        m_layout.addWidget(&m_logList, 1, 0);
        for (QPushButton* button : {&m_nextPass, &m_cancel, &m_clearList}) {
            m_buttons.addStretch();
            m_buttons.addWidget(button);
        }
        m_layout.addLayout(&m_buttons, 0, 1, 2, 1);
        setLayout(&m_layout);
        setWindowTitle(QStringLiteral("Vantrel"));
    }

private:
    QMenuBar m_menuBar;
    std::vector<QMenu*> m_menus;
    QStandardItemModel m_passes{0, 4};
    QStringListModel m_log;
    QTreeView m_passList;
    QListView m_logList;
    QPushButton m_nextPass{QStringLiteral("Next Pass")};
    QPushButton m_cancel{QStringLiteral("Cancel")};
    QPushButton m_clearList{QStringLiteral("Clear List")};
    QGridLayout m_layout;
    QVBoxLayout m_buttons;
};

// One sample: start the window, report when it is shown.
int RunChild(const std::string& variant, double startedAt) {
    int argc = 1;
    char name[] = "bench_startup";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    std::unique_ptr<QDialog> dialog;
    if (variant == "vantrel") {
        QApplication::setWindowIcon(VantrelIcon());
        dialog = std::make_unique<CTunerDlg>();
    } else {
        dialog = std::make_unique<BareDialog>();
    }
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get())) {
        return EXIT_FAILURE;
    }
    std::printf("%.2f %ld\n", MonotonicMilliseconds() - startedAt, ProcessStatusField("VmHWM"));
    return EXIT_SUCCESS;
}

struct Sample {
    double milliseconds;
    long kilobytes;
};

Sample Measure(const char* self, const char* variant) {
    int ends[2];
    if (pipe(ends) != 0) {
        std::exit(EXIT_FAILURE);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    const std::string startedAt = std::to_string(MonotonicMilliseconds());
    std::vector<std::string> words{self, "--child", variant, startedAt};
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    posix_spawn(&child, self, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    char report[128] = {};
    const ssize_t got = read(ends[0], report, sizeof report - 1);
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    Sample sample{-1, -1};
    if (got <= 0 || std::sscanf(report, "%lf %ld", &sample.milliseconds, &sample.kilobytes) != 2) {
        std::fprintf(stderr, "bench_startup: the %s sample failed\n", variant);
        std::exit(EXIT_FAILURE);
    }
    return sample;
}

template <class Field>
double Median(std::vector<Sample> samples, Field field) {
    std::sort(samples.begin(), samples.end(),
              [&](const Sample& a, const Sample& b) { return field(a) < field(b); });
    return field(samples[samples.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child") {
        return RunChild(argv[2], std::strtod(argv[3], nullptr));
    }
    const int samples = argc > 1 ? std::atoi(argv[1]) : 15;
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    // Vantrel reads no settings of the user's and finds no files.
    const TempDir home;
    const ScopedEnvironmentVariable config("XDG_CONFIG_HOME", home.Path().string());
    const ScopedWorkingDirectory work(home.Path());

    std::vector<Sample> vantrel;
    std::vector<Sample> bare;
    for (int i = 0; i < samples; ++i) {
        vantrel.push_back(Measure(self.c_str(), "vantrel"));
        bare.push_back(Measure(self.c_str(), "bare"));
    }
    const auto time = [](const Sample& s) { return s.milliseconds; };
    const auto memory = [](const Sample& s) { return static_cast<double>(s.kilobytes); };
    std::printf(
        "start-up to window shown (median of %d): vantrel %.1f ms, bare dialog %.1f ms, "
        "ratio %.2f\n",
        samples, Median(vantrel, time), Median(bare, time),
        Median(vantrel, time) / Median(bare, time));
    std::printf("peak memory (median): vantrel %.0f kB, bare dialog %.0f kB, ratio %.2f\n",
                Median(vantrel, memory), Median(bare, memory),
                Median(vantrel, memory) / Median(bare, memory));
    return EXIT_SUCCESS;
}
