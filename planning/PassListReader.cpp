#include "planning/PassListReader.h"

#include <algorithm>
#include <vector>

#include "framework/AsciiText.h"
#include "framework/LeadingNumber.h"
#include "framework/TextFileReader.h"
#include "planning/PassTimes.h"
#include "services/DataMode.h"

namespace {

// Fields separated by runs of blanks, taken one after the other as strtok
// with " " takes them: only the blank separates, and the blank that ends a
// field is used up with it.
class BlankSeparatedFields {
public:
    explicit BlankSeparatedFields(std::string_view line) : m_rest(line) {}

    // The next field; empty when none is left.
    std::string_view Next() {
        const std::size_t start = m_rest.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            m_rest = {};
            return {};
        }
        m_rest.remove_prefix(start);
        const std::size_t end = std::min(m_rest.find(' '), m_rest.size());
        const std::string_view field = m_rest.substr(0, end);
        m_rest.remove_prefix(std::min(end + 1, m_rest.size()));
        return field;
    }

    // Everything after the blank that ended the last field.
    std::string_view Rest() const { return m_rest; }

private:
    std::string_view m_rest;
};

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string CleanName(std::string_view field) {
    std::string name(field);
    RemoveAll(name, '\n');
    const auto first = std::find_if_not(name.begin(), name.end(), IsCSpace);
    const auto last = std::find_if_not(name.rbegin(), name.rend(), IsCSpace).base();
    return first < last ? std::string(first, last) : std::string();
}

// A piece of a line holds the line, its LF and the terminating zero.
constexpr std::size_t kLineBuffer = PassListReader::kLongestLine + 2;

constexpr std::string_view kCannotOpen = "Can Not Open WxTrack Passlist.txt File";
constexpr std::string_view kStampTooSmall =
    "Date Time String is too small - please upgrade the verion of WxTrack";

// A length that is no number, or none that fits, gives a pass of no length.
std::int32_t PassLengthSeconds(std::string_view text) {
    return LeadingInt32(text).value_or(0);
}

// The row of one line; nullopt when the line has no valid stamp.
std::optional<PassRow> ReadPassRow(std::string_view line) {
    BlankSeparatedFields fields(line);
    const std::string_view stamp = fields.Next();
    if (stamp.size() != kUtcStampLength) {
        return std::nullopt;
    }
    fields.Next();
    fields.Next();
    const std::string_view length = fields.Next();
    const std::int32_t seconds = PassLengthSeconds(length);

    PassRow row;
    row.start = UtcStampToTime(stamp, 0);
    row.end = UtcStampToTime(stamp, seconds);
    row.cells[PassColumnStart] = FormatPassTime(*row.start);
    row.cells[PassColumnEnd] = FormatPassTime(*row.end);
    row.cells[PassColumnLength] = length;
    row.cells[PassColumnName] = CleanName(fields.Rest());
    return row;
}

// The rows of the file's lines, in file order, up to the first line without
// a valid stamp; false when there was one.
bool ReadPassRows(TextFileReader& file, std::vector<PassRow>& rows) {
    for (std::string line; file.ReadLine(line);) {
        std::optional<PassRow> row = ReadPassRow(line);
        if (!row) {
            return false;
        }
        rows.push_back(std::move(*row));
    }
    return true;
}

}  // namespace

std::string PassListPath(const std::string& directory) {
    if (directory.empty()) {
        return PassListReader::kFileName;
    }
    const char* const separator = directory.back() == '/' ? "" : "/";
    return directory + separator + PassListReader::kFileName;
}

PassListReader::PassListReader(PassTable& table, ActivityLog& log, MessageBoxPresenter& messages,
                               QuitRequester& quit)
    : m_table(table), m_log(log), m_messages(messages), m_quit(quit) {}

bool PassListReader::ReadPassList(std::int32_t dataMode, const std::string& directory) {
    m_dataMode = dataMode;
    m_directory = directory;
    m_readAgainFailureShown = false;
    if (dataMode != DataModeFile) {
        AddPlaceholderRow();
        return true;
    }
    TextFileReader file(PassListPath(directory).c_str(), kLineBuffer);
    m_lastSeen = file.Identity();
    if (!file.IsOpen()) {
        m_messages.ShowMessageBox(kCannotOpen);
        return false;
    }
    m_log.LogMessage(ReportVerbose, "Loading Next Sat Pass");
    std::vector<PassRow> rows;
    const bool whole = ReadPassRows(file, rows);
    InsertRows(std::move(rows));
    if (!whole) {
        m_messages.ShowMessageBox(kStampTooSmall);
        m_quit.RequestQuit();
        return false;
    }
    return true;
}

void PassListReader::ReadPassListIfReplaced(std::time_t now) {
    if (m_dataMode != DataModeFile) {
        return;
    }
    const std::string path = PassListPath(m_directory);
    if (IdentityOfPath(path.c_str()) == m_lastSeen) {
        return;
    }
    m_log.LogMessage(ReportVerbose, "Pass list changed - reading it again");
    TextFileReader file(path.c_str(), kLineBuffer);
    m_lastSeen = file.Identity();
    if (!file.IsOpen()) {
        ShowReadAgainFailure(kCannotOpen);
        return;
    }
    std::vector<PassRow> rows;
    if (!ReadPassRows(file, rows)) {
        ShowReadAgainFailure(kStampTooSmall);
        return;
    }
    m_readAgainFailureShown = false;
    m_log.LogMessage(ReportVerbose, "Loading Next Sat Pass");
    RemoveRowsEndedBefore(now - kKeptAfterEnd);
    InsertRows(std::move(rows));
}

void PassListReader::InsertRows(std::vector<PassRow> rows) {
    if (!rows.empty()) {
        m_strPassLength = rows.back().cells[PassColumnLength];
        m_nPassLength = PassLengthSeconds(m_strPassLength);
    }
    // The rows go into the table in one go, on top and in file order.
    m_table.InsertRows(0, std::move(rows));
}

void PassListReader::RemoveRowsEndedBefore(std::time_t time) {
    // From the bottom, where the oldest reads are, one run of rows at a time.
    for (int row = m_table.GetItemCount() - 1; row >= 0; --row) {
        int first = row;
        while (first >= 0 && m_table.GetItemTime(first, PassColumnEnd).value_or(time) < time) {
            --first;
        }
        if (first < row) {
            m_table.RemoveRows(first + 1, row - first);
            row = first;
        }
    }
}

void PassListReader::ShowReadAgainFailure(std::string_view text) {
    if (!m_readAgainFailureShown) {
        m_readAgainFailureShown = true;
        m_messages.ShowMessageBox(text);
    }
}

void PassListReader::AddPlaceholderRow() {
    const int row = m_table.InsertItem(1, "DDE");
    m_table.SetItemText(row, PassColumnEnd, "Server");
    m_table.SetItemText(row, PassColumnLength, "Option");
    m_table.SetItemText(row, PassColumnName, "");
}
