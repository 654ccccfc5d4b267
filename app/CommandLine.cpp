#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <ostream>
#include <string>

namespace {

constexpr std::string_view kVantrelForms =
    "[options]\n"
    "--headless [--rigctl HOST:PORT] [--rigctl-kind KIND]\n";

constexpr std::string_view kVantrelSections =
    "Exit status:\n"
    "  0  the window was closed, or a headless run was stopped by SIGINT, SIGTERM\n"
    "     or SIGHUP\n"
    "  1  a headless run failed: the serial port would not open, the network\n"
    "     receiver could not be reached, or the run ended by itself (the receiver\n"
    "     stopped answering, the pass list was unusable)\n"
    "  2  the command line was not understood\n";

// "Usage:" and "or:" lines, one for each of the program's forms.
std::string UsageLines(const ProgramHelp& help) {
    std::string lines;
    std::string_view forms = help.forms;
    for (std::string_view lead = "Usage: "; !forms.empty(); lead = "  or:  ") {
        const std::size_t end = forms.find('\n');
        lines.append(lead).append(help.name).append(" ").append(forms.substr(0, end)) += '\n';
        forms.remove_prefix(end == std::string_view::npos ? forms.size() : end + 1);
    }
    return lines;
}

std::string HelpText(const QCommandLineParser& parser, const ProgramHelp& help) {
    // Qt's own usage line names the program by the path it was started
    // from, and knows only one form.
    const std::string generated = parser.helpText().toStdString();
    const std::size_t afterUsage = generated.find('\n') + 1;
    return UsageLines(help) + generated.substr(afterUsage) + "\n" + std::string(help.sections);
}

}  // namespace

std::optional<int> ReadCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                                   const ProgramHelp& help, std::ostream& out, std::ostream& err) {
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and exit."));
    parser.addOption(helpOption);
    parser.addOption(versionOption);

    if (!parser.parse(arguments)) {
        return ReportUsageError(help.name, parser.errorText().toStdString(), err);
    }
    if (parser.isSet(helpOption)) {
        out << HelpText(parser, help) << std::flush;
        return kExitSuccess;
    }
    if (parser.isSet(versionOption)) {
        out << help.name << ' ' << VANTREL_VERSION << std::endl;
        return kExitSuccess;
    }
    return std::nullopt;
}

std::optional<std::string> OptionValue(const QCommandLineParser& parser,
                                       const QCommandLineOption& option) {
    if (!parser.isSet(option)) {
        return std::nullopt;
    }
    return parser.value(option).toStdString();
}

int ReportUsageError(std::string_view program, std::string_view problem, std::ostream& err) {
    err << program << ": " << problem << "\nTry '" << program << " --help' for more information."
        << std::endl;
    return kExitUsage;
}

std::optional<VantrelOptions> ParseVantrelCommandLine(const QStringList& arguments,
                                                      std::ostream& out, std::ostream& err,
                                                      int& exitStatus) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Retunes a receiver to weather satellites as they pass: an Icom PCR-1000 "
                       "on a serial port, or over the network any radio Hamlib's rigctld "
                       "drives, gqrx or SDR++."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a window: start at once, write the log to standard output, "
                       "and stop on SIGINT, SIGTERM or SIGHUP."));
    const QCommandLineOption rigctlAddress(
        QStringLiteral("rigctl"),
        QStringLiteral("With --headless: run with the network receiver at HOST:PORT instead "
                       "of the receiver the settings choose (the kind of server from the "
                       "settings, unless --rigctl-kind is given)."),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption rigctlKind(
        QStringLiteral("rigctl-kind"),
        QString::fromStdString("With --headless: run with a network receiver of this kind, " +
                               RigctlServerNames() +
                               " (its address from the settings, unless --rigctl is given)."),
        QStringLiteral("KIND"));
    parser.addOption(headless);
    parser.addOption(rigctlAddress);
    parser.addOption(rigctlKind);

    const ProgramHelp help{"vantrel", kVantrelForms, kVantrelSections};
    if (const std::optional<int> status = ReadCommandLine(parser, arguments, help, out, err)) {
        exitStatus = *status;
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        exitStatus = ReportUsageError(
            help.name,
            "unexpected argument '" + parser.positionalArguments().constFirst().toStdString() + "'",
            err);
        return std::nullopt;
    }
    VantrelOptions options{parser.isSet(headless), {}};
    std::optional<std::string> problem = ReadRigctlOptions(
        OptionValue(parser, rigctlAddress), OptionValue(parser, rigctlKind), options.receiver);
    if (!problem && options.receiver.Any() && !options.headless) {
        // The window's receiver is chosen in its menu.
        problem = "--rigctl and --rigctl-kind go with --headless only";
    }
    if (problem) {
        exitStatus = ReportUsageError(help.name, *problem, err);
        return std::nullopt;
    }
    return options;
}
