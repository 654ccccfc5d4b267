#include <signal.h>

#include <QCoreApplication>
#include <iostream>

#include "app/CommandLine.h"
#include "app/headless/HeadlessStation.h"
#include "app/widgets/TunerApp.h"
#include "platform/kernel/StandardDescriptors.h"

namespace {

bool g_standardDescriptorsOpen = false;

// Ahead of every static object: the radio event opens a descriptor at start.
[[gnu::constructor(101)]] void OpenStandardDescriptorsFirst() {
    g_standardDescriptorsOpen = OpenMissingStandardDescriptors();
}

}  // namespace

int main(int argc, char** argv) {
    if (!g_standardDescriptorsOpen) {
        return kExitFailure;
    }
    // A log reader that goes away must not end a run between two receiver
    // commands; writes to it fail instead.
    ::signal(SIGPIPE, SIG_IGN);
    int exitStatus = kExitSuccess;
    std::optional<VantrelOptions> options;
    {
        // The command line is read before anything needs a display.
        const QCoreApplication reader(argc, argv);
        options = ParseVantrelCommandLine(QCoreApplication::arguments(), std::cout, std::cerr,
                                          exitStatus);
    }
    if (!options) {
        return exitStatus;
    }
    if (options->headless) {
        const QCoreApplication application(argc, argv);
        return RunHeadlessStation();
    }
    CTunerApp application(argc, argv);
    return application.InitInstance();
}
