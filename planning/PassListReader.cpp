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
    if (dataMode != DataModeFile) {
        AddPlaceholderRow();
        return true;
    }
    // A piece holds the line, its LF and the terminating zero.
    TextFileReader file(PassListPath(directory).c_str(), kLongestLine + 2);
    if (!file.IsOpen()) {
        m_messages.ShowMessageBox("Can Not Open WxTrack Passlist.txt File");
        return false;
    }
    m_log.LogMessage(ReportVerbose, "Loading Next Sat Pass");
    // The rows go into the table in one go, on top and in file order.
    std::vector<PassRow> rows;
    for (std::string line; file.ReadLine(line);) {
        std::optional<PassRow> row = ReadPassRow(line);
        if (!row) {
            m_table.InsertRows(0, std::move(rows));
            m_messages.ShowMessageBox(
                "Date Time String is too small - please upgrade the verion of WxTrack");
            m_quit.RequestQuit();
            return false;
        }
        rows.push_back(std::move(*row));
    }
    m_table.InsertRows(0, std::move(rows));
    return true;
}

void PassListReader::AddPlaceholderRow() {
    const int row = m_table.InsertItem(1, "DDE");
    m_table.SetItemText(row, PassColumnEnd, "Server");
    m_table.SetItemText(row, PassColumnLength, "Option");
    m_table.SetItemText(row, PassColumnName, "");
}

std::optional<PassRow> PassListReader::ReadPassRow(std::string_view line) {
    BlankSeparatedFields fields(line);
    const std::string_view stamp = fields.Next();
    if (stamp.size() != kUtcStampLength) {
        return std::nullopt;
    }
    fields.Next();
    fields.Next();
    m_strPassLength = fields.Next();
    // A length that is no number, or none that fits, gives a pass of no length.
    m_nPassLength = LeadingInt32(m_strPassLength).value_or(0);

    PassRow row;
    row.start = UtcStampToTime(stamp, 0);
    row.end = UtcStampToTime(stamp, m_nPassLength);
    row.cells[PassColumnStart] = FormatPassTime(*row.start);
    row.cells[PassColumnEnd] = FormatPassTime(*row.end);
    row.cells[PassColumnLength] = m_strPassLength;
    row.cells[PassColumnName] = CleanName(fields.Rest());
    return row;
}
