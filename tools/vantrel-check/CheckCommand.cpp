#include "tools/vantrel-check/CheckCommand.h"

#include <optional>
#include <ostream>
#include <ranges>
#include <string>

#include "app/settings/SettingsStore.h"
#include "planning/PassListReader.h"
#include "radio/SatelliteCatalogue.h"
#include "services/ActivityLog.h"
#include "services/LogView.h"
#include "services/MessageBoxPresenter.h"
#include "services/StreamFrontEnd.h"

namespace {

constexpr int kUsable = 0;
constexpr int kNotUsable = 1;
constexpr int kUsageError = 2;

constexpr std::string_view kUsage =
    "usage: vantrel-check satellite NAME\n"
    "       vantrel-check passes [FOLDER]\n";

// There is no run to end: the reading stops at the bad line, and the check
// with it.
class NoRunToQuit final : public QuitRequester {
public:
    void RequestQuit() override {}
};

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
    StreamMessageBoxes messages(err, "");
    SatelliteCatalogue catalogue(log, messages);

    const bool loaded = catalogue.LoadSatellite(name);
    for (const std::string& line : lines.NewestFirst() | std::views::reverse) {
        out << line << '\n';
    }
    for (std::size_t slot = 0; slot < CommandQueue::kSlots && !catalogue.Queue()[slot].empty();
         ++slot) {
        out << VisibleControls(catalogue.Queue()[slot]) << '\n';
    }
    return loaded ? kUsable : kNotUsable;
}

// Reads the pass list as a run does and prints the table, one row per line.
// Without a folder the settings say where the list is, and whether it is
// read at all.
int CheckPasses(const std::optional<std::string_view>& folder, std::ostream& out,
                std::ostream& err) {
    LogLines lines;
    ActivityLog log(lines);
    StreamMessageBoxes messages(err, "");
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
    return read ? kUsable : kNotUsable;
}

}  // namespace

int RunCheck(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    if (args.size() == 2 && args[0] == "satellite") {
        return CheckSatellite(std::string(args[1]), out, err);
    }
    if (!args.empty() && args.size() <= 2 && args[0] == "passes") {
        return CheckPasses(args.size() == 2 ? std::optional(args[1]) : std::nullopt, out, err);
    }
    err << kUsage;
    return kUsageError;
}
