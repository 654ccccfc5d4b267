#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <ostream>

std::optional<VantrelOptions> ParseVantrelCommandLine(const QStringList& arguments,
                                                      std::ostream& out, std::ostream& err,
                                                      int& exitStatus) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Retunes an Icom PCR-1000 receiver to weather satellites as they pass."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a window: start at once, write the log to standard output, "
                       "and stop on SIGINT or SIGTERM."));
    parser.addOption(headless);

    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        const QString problem = parser.errorText().isEmpty()
                                    ? QStringLiteral("unexpected argument '%1'")
                                          .arg(parser.positionalArguments().constFirst())
                                    : parser.errorText();
        err << "vantrel: " << problem.toStdString() << "\nTry 'vantrel --help'." << std::endl;
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        out << parser.helpText().toStdString() << std::flush;
        exitStatus = kExitSuccess;
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        out << "vantrel " << VANTREL_VERSION << std::endl;
        exitStatus = kExitSuccess;
        return std::nullopt;
    }
    return VantrelOptions{parser.isSet(headless)};
}
