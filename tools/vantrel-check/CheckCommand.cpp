#include "tools/vantrel-check/CheckCommand.h"

#include <QCommandLineParser>
#include <charconv>
#include <optional>
#include <ostream>
#include <ranges>
#include <string>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/settings/RigctlChoice.h"
#include "app/settings/SettingsStore.h"
#include "network/RigctlServers.h"
#include "planning/PassListReader.h"
#include "radio/SatelliteCatalogue.h"
#include "serial/serialport.h"
#include "services/ActivityLog.h"
#include "services/LineFrontEnd.h"
#include "services/LogView.h"
#include "services/MessageBoxPresenter.h"
#include "tools/vantrel-check/PortDoctor.h"
#include "tools/vantrel-check/ReceiverCheck.h"

namespace {

constexpr std::string_view kProgram = "vantrel-check";
constexpr std::string_view kMessagePrefix = "vantrel-check: ";

constexpr std::string_view kForms =
    "[options] satellite NAME\n"
    "[options] passes [FOLDER]\n"
    "[options] port [N]\n"
    "[options] receiver [--rigctl HOST:PORT] [--rigctl-kind KIND]\n";

constexpr std::string_view kSections =
    "Commands:\n"
    "  satellite NAME   Print what Vantrel logs while it loads satellite NAME from\n"
    "                   Vantrel.ini in the working directory, oldest line first,\n"
    "                   then each command it would send the receiver.\n"
    "  passes [FOLDER]  Print the pass table Vantrel fills from PassList.txt in\n"
    "                   FOLDER or, without one, where the saved settings say: one\n"
    "                   row per line, start and end in local time, length and name.\n"
    "  port [N]         Tell whether Vantrel could open COM port N (1 to 4; without\n"
    "                   N, the saved one) now: the device it leads to, whether that\n"
    "                   exists, may be opened by you, is a terminal and is free.\n"
    "  receiver         Connect to the network receiver the saved settings name\n"
    "                   (127.0.0.1:4532, rigctld, when none is saved; --rigctl and\n"
    "                   --rigctl-kind take their place) as a run does and tell\n"
    "                   what answers there: the kind of server it looks like and\n"
    "                   whether power, frequency, mode, volume, squelch and\n"
    "                   AOS/LOS work, each tried and read back, then put back as\n"
    "                   it was.\n"
    "\n"
    "Exit status:\n"
    "  0  what was checked is usable\n"
    "  1  it is not; standard error says why\n"
    "  2  the command line was not understood\n";

constexpr int kHighestMenuPort = 4;

// The network receiver's options, as given on the command line.
struct ReceiverOptions {
    std::optional<std::string> address;
    std::optional<std::string> kind;
};

// There is no run to end: the reading stops at the bad line, and the check
// with it.
class NoRunToQuit final : public QuitRequester {
public:
    void RequestQuit() override {}
};

// Message boxes as lines on standard error.
LineMessageBoxes ErrorLines(std::ostream& err) {
    return {[&err](std::string_view line) { err << line << std::endl; },
            std::string(kMessagePrefix)};
}

// A text with its line ends and tabs made visible: CR LF as the four
// characters \r\n, a tab as \t.
std::string VisibleControls(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else {
            shown += c;
        }
    }
    return shown;
}

int CheckSatellite(const std::string& name, std::ostream& out, std::ostream& err) {
    LogLines lines;
    ActivityLog log(lines);
    LineMessageBoxes messages = ErrorLines(err);
    SatelliteCatalogue catalogue(log, messages);

    const bool loaded = catalogue.LoadSatellite(name);
    for (const std::string& line : lines.NewestFirst() | std::views::reverse) {
        out << line << '\n';
    }
    for (std::size_t slot = 0; slot < CommandQueue::kSlots && !catalogue.Queue()[slot].empty();
         ++slot) {
        out << VisibleControls(catalogue.Queue()[slot]) << '\n';
    }
    return loaded ? kExitSuccess : kExitFailure;
}

// Reads the pass list as a run does and prints the table, one row per line.
// Without a folder the settings say where the list is, and whether it is
// read at all.
int CheckPasses(const std::optional<std::string_view>& folder, std::ostream& out,
                std::ostream& err) {
    LogLines lines;
    ActivityLog log(lines);
    LineMessageBoxes messages = ErrorLines(err);
    NoRunToQuit quit;
    PassRows table;
    PassListReader reader(table, log, messages, quit);

    bool read = false;
    if (folder) {
        read = reader.ReadPassList(DataModeFile, std::string(*folder));
    } else {
        SettingsStore settings(log);
        settings.ReadSettings();
        read = reader.ReadPassList(settings.GetDataMode(), settings.GetDirectory());
    }
    for (int row = 0; row < table.GetItemCount(); ++row) {
        for (int column = 0; column < kPassColumns; ++column) {
            out << (column > 0 ? "\t" : "") << VisibleControls(table.GetItemText(row, column));
        }
        out << '\n';
    }
    return read ? kExitSuccess : kExitFailure;
}

// What `take` takes from the saved settings, read as a run reads them;
// what the reading logs is not shown.
template <typename Take>
auto FromSavedSettings(Take take) {
    LogLines lines;
    ActivityLog log(lines);
    SettingsStore settings(log);
    settings.ReadSettings();
    return take(std::as_const(settings));
}

// Without a port number the saved one, as a run takes it.
int CheckSavedPort(std::ostream& out, std::ostream& err) {
    const std::int32_t port =
        FromSavedSettings([](const SettingsStore& saved) { return saved.GetComPort(); });
    if (!CSerialPort::IsPortNumber(port)) {
        err << kMessagePrefix << "the settings name COM" << port
            << ", which is no port: choose one in Settings > Com Port and save it" << std::endl;
        return kExitFailure;
    }
    return CheckPort(port, out, err);
}

int CheckReceiverCommand(const ReceiverOptions& options, std::ostream& out, std::ostream& err) {
    RigctlOverride given;
    if (const std::optional<std::string> problem =
            ReadRigctlOptions(options.address, options.kind, given)) {
        return ReportUsageError(kProgram, *problem, err);
    }
    // The network receiver the saved settings name, whichever receiver they
    // choose; the options override it.
    const RigctlTarget saved =
        FromSavedSettings([](const SettingsStore& settings) { return settings.GetRigctlTarget(); });
    return CheckReceiver(Overridden(saved, given), out, err);
}

std::optional<int> MenuPort(const std::string& word) {
    int port = 0;
    const char* const end = word.data() + word.size();
    if (std::from_chars(word.data(), end, port).ptr != end || port < 1 || port > kHighestMenuPort) {
        return std::nullopt;
    }
    return port;
}

int RunCommand(const std::vector<std::string>& words, const ReceiverOptions& receiver,
               std::ostream& out, std::ostream& err) {
    if (words.empty()) {
        return ReportUsageError(kProgram, "no command given", err);
    }
    const std::string& command = words.front();
    const std::size_t extra = words.size() - 1;
    if (command == "receiver") {
        return extra == 0 ? CheckReceiverCommand(receiver, out, err)
                          : ReportUsageError(kProgram, "receiver takes no argument", err);
    }
    if (receiver.address || receiver.kind) {
        return ReportUsageError(kProgram, "--rigctl and --rigctl-kind go with receiver only", err);
    }
    if (command == "satellite") {
        return extra == 1 ? CheckSatellite(words[1], out, err)
                          : ReportUsageError(kProgram, "satellite takes one NAME", err);
    }
    if (command == "passes") {
        if (extra > 1) {
            return ReportUsageError(kProgram, "passes takes at most one FOLDER", err);
        }
        return CheckPasses(extra == 1 ? std::optional<std::string_view>(words[1]) : std::nullopt,
                           out, err);
    }
    if (command == "port") {
        if (extra == 0) {
            return CheckSavedPort(out, err);
        }
        const std::optional<int> port = extra == 1 ? MenuPort(words[1]) : std::nullopt;
        return port ? CheckPort(*port, out, err)
                    : ReportUsageError(kProgram, "port takes one N from 1 to 4", err);
    }
    return ReportUsageError(kProgram, "unknown command '" + command + "'", err);
}

}  // namespace

int RunCheck(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    QStringList arguments{QString::fromUtf8(kProgram.data(), kProgram.size())};
    for (const std::string_view arg : args) {
        arguments.append(QString::fromLocal8Bit(arg.data(), static_cast<qsizetype>(arg.size())));
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Checks Vantrel's files and receiver before a pass, with Vantrel's own code."));
    const QCommandLineOption rigctlAddress(
        QStringLiteral("rigctl"),
        QStringLiteral("With receiver: the network receiver's address (default: the saved one)."),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption rigctlKind(
        QStringLiteral("rigctl-kind"),
        QString::fromStdString("With receiver: the kind of server there, " + RigctlServerNames() +
                               " (default: the saved one)."),
        QStringLiteral("KIND"));
    parser.addOption(rigctlAddress);
    parser.addOption(rigctlKind);
    const ProgramHelp help{kProgram, kForms, kSections};
    if (const std::optional<int> status = ReadCommandLine(parser, arguments, help, out, err)) {
        return *status;
    }
    std::vector<std::string> words;
    for (const QString& word : parser.positionalArguments()) {
        words.push_back(word.toLocal8Bit().toStdString());
    }
    return RunCommand(words, {OptionValue(parser, rigctlAddress), OptionValue(parser, rigctlKind)},
                      out, err);
}
