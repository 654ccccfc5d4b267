#include "tools/vantrel-check/CheckCommand.h"

#include <ostream>
#include <ranges>
#include <string>

#include "app/core/ActivityLog.h"
#include "app/core/LogView.h"
#include "app/core/MessageBoxPresenter.h"
#include "radio/SatelliteCatalogue.h"

namespace {

constexpr int kUsable = 0;
constexpr int kNotUsable = 1;
constexpr int kUsageError = 2;

constexpr std::string_view kUsage = "usage: vantrel-check satellite NAME\n";

// Message boxes become lines on the error stream.
class StreamMessageBoxes final : public MessageBoxPresenter {
public:
    explicit StreamMessageBoxes(std::ostream& stream) : m_stream(stream) {}
    void ShowMessageBox(std::string_view text) override { m_stream << text << '\n'; }

private:
    std::ostream& m_stream;
};

// A command with its line end made visible: CR LF as the four characters \r\n.
std::string VisibleLineEnds(std::string_view command) {
    std::string shown;
    for (const char c : command) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else {
            shown += c;
        }
    }
    return shown;
}

int CheckSatellite(const std::string& name, std::ostream& out, std::ostream& err) {
    LogLines lines;
    ActivityLog log(lines);
    StreamMessageBoxes messages(err);
    SatelliteCatalogue catalogue(log, messages);

    const bool loaded = catalogue.LoadSatellite(name);
    for (const std::string& line : lines.NewestFirst() | std::views::reverse) {
        out << line << '\n';
    }
    for (std::size_t slot = 0; slot < CommandQueue::kSlots && !catalogue.Queue()[slot].empty();
         ++slot) {
        out << VisibleLineEnds(catalogue.Queue()[slot]) << '\n';
    }
    return loaded ? kUsable : kNotUsable;
}

}  // namespace

int RunCheck(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    if (args.size() == 2 && args[0] == "satellite") {
        return CheckSatellite(std::string(args[1]), out, err);
    }
    err << kUsage;
    return kUsageError;
}
