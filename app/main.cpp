#include <QCoreApplication>
#include <iostream>

#include "app/CommandLine.h"
#include "app/headless/HeadlessStation.h"
#include "app/widgets/TunerApp.h"

int main(int argc, char** argv) {
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
        return RunHeadlessStation(std::cout, std::cerr);
    }
    CTunerApp application(argc, argv);
    return application.InitInstance();
}
