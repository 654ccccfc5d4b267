// PassList.txt as WxTrack, a damaged disk or a hand edit may leave it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "planning/PassListReader.h"
#include "planning/PassTimes.h"
#include "services/ActivityLog.h"
#include "services/DataMode.h"
#include "services/MessageBoxPresenter.h"
#include "services/QuitRequester.h"

namespace {

// A zone with daylight saving, so that the hour that repeats in autumn and
// the one skipped in spring are there to be met. The rule needs no tzdata.
[[maybe_unused]] const bool kZoneSet = [] {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    return true;
}();

class RecordedMessages final : public MessageBoxPresenter {
public:
    void ShowMessageBox(std::string_view text) override { shown.emplace_back(text); }
    std::vector<std::string> shown;
};

class CountedQuits final : public QuitRequester {
public:
    void RequestQuit() override { ++count; }
    int count = 0;
};

// Blank-separated fields as the file's layout has them: the next field, and
// the rest after the blank that ends it.
std::string_view NextField(std::string_view& rest) {
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const std::string_view field = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    return field;
}

int CField(std::string_view stamp, std::size_t offset, std::size_t length) {
    return std::atoi(std::string(stamp.substr(offset, length)).c_str());
}

// The stamp's UTC time as the C library computes it.
std::time_t StampTime(std::string_view stamp) {
    std::tm utc{};
    utc.tm_year = CField(stamp, 0, 4) - 1900;
    utc.tm_mon = CField(stamp, 4, 2) - 1;
    utc.tm_mday = CField(stamp, 6, 2);
    utc.tm_hour = CField(stamp, 8, 2);
    utc.tm_min = CField(stamp, 10, 2);
    utc.tm_sec = CField(stamp, 12, 2);
    return timegm(&utc);
}

std::int32_t LengthSeconds(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return value >= INT32_MIN && value <= INT32_MAX ? static_cast<std::int32_t>(value) : 0;
}

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

void CheckRow(const PassRows& table, int row) {
    const PassRow& pass = table.Row(row);
    FUZZ_CHECK(pass.start && pass.end);
    FUZZ_CHECK(table.GetItemTime(row, PassColumnStart) == pass.start);
    FUZZ_CHECK(table.GetItemTime(row, PassColumnEnd) == pass.end);
    FUZZ_CHECK(pass.cells[PassColumnStart] == FormatPassTime(*pass.start));
    FUZZ_CHECK(pass.cells[PassColumnEnd] == FormatPassTime(*pass.end));
    FUZZ_CHECK(*pass.end - *pass.start == LengthSeconds(pass.cells[PassColumnLength]));
    FUZZ_CHECK(pass.cells[PassColumnLength].find(' ') == std::string::npos);
    const std::string& name = pass.cells[PassColumnName];
    FUZZ_CHECK(name.find('\n') == std::string::npos);
    FUZZ_CHECK(name.empty() || (!IsCSpace(name.front()) && !IsCSpace(name.back())));
    // The text reads back as a time that shows the same.
    const std::string& start = pass.cells[PassColumnStart];
    if (start.size() == kPassTimeLength) {
        const std::optional<std::time_t> read = ReadPassTime(start);
        FUZZ_CHECK(read && FormatPassTime(*read) == start);
    }
}

// For a file of plain lines (LF ends, no CR, no zero byte, none longer than
// the reader's piece) every line is one row, read field by field.
std::optional<std::vector<std::string_view>> PlainLines(std::string_view file) {
    if (file.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos) {
        return std::nullopt;
    }
    std::vector<std::string_view> lines;
    while (!file.empty()) {
        const std::size_t lineEnd = file.find('\n');
        const std::size_t end = lineEnd == std::string_view::npos ? file.size() : lineEnd + 1;
        if (end > 99) {
            return std::nullopt;
        }
        lines.push_back(file.substr(0, end));
        file.remove_prefix(end);
    }
    return lines;
}

void CheckAgainstLines(const PassRows& table, const std::vector<std::string_view>& lines,
                       bool read) {
    std::size_t row = 0;
    for (; row < lines.size(); ++row) {
        std::string_view rest = lines[row];
        const std::string_view stamp = NextField(rest);
        if (stamp.size() != kUtcStampLength) {
            break;
        }
        FUZZ_CHECK(row < static_cast<std::size_t>(table.GetItemCount()));
        const PassRow& pass = table.Row(static_cast<int>(row));
        NextField(rest);
        NextField(rest);
        FUZZ_CHECK(pass.cells[PassColumnLength] == NextField(rest));
        FUZZ_CHECK(rest.find(pass.cells[PassColumnName]) != std::string_view::npos);
        FUZZ_CHECK(pass.start == StampTime(stamp));
    }
    FUZZ_CHECK(static_cast<std::size_t>(table.GetItemCount()) == row);
    FUZZ_CHECK(read == (row == lines.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file = InputText(data, size);
    const TempDir& folder = ScratchFolder();
    folder.Write(PassListReader::kFileName, file);

    PassRows table;
    LogLines lines;
    ActivityLog log(lines);
    RecordedMessages messages;
    CountedQuits quits;
    PassListReader reader(table, log, messages, quits);
    const bool read = reader.ReadPassList(DataModeFile, folder.Path().string());

    FUZZ_CHECK(lines.NewestFirst().size() == 1 &&
               lines.NewestFirst().front() == "Loading Next Sat Pass");
    if (read) {
        FUZZ_CHECK(messages.shown.empty() && quits.count == 0);
    } else {
        FUZZ_CHECK(messages.shown.size() == 1 && quits.count == 1);
        FUZZ_CHECK(messages.shown.front() ==
                   "Date Time String is too small - please upgrade the verion of WxTrack");
    }
    for (int row = 0; row < table.GetItemCount(); ++row) {
        CheckRow(table, row);
    }
    if (table.GetItemCount() > 0) {
        FUZZ_CHECK(reader.PassLengthText() ==
                   table.GetItemText(table.GetItemCount() - 1, PassColumnLength));
    }
    if (const auto plain = PlainLines(file)) {
        CheckAgainstLines(table, *plain, read);
    }

    // The next run's rows go on top of those already there.
    const int rows = table.GetItemCount();
    folder.Write(PassListReader::kFileName, "20020519143000 a b 900 NEXT RUN\n");
    FUZZ_CHECK(reader.ReadPassList(DataModeFile, folder.Path().string()));
    FUZZ_CHECK(table.GetItemCount() == rows + 1);
    FUZZ_CHECK(table.GetItemText(0, PassColumnName) == "NEXT RUN");
    return 0;
}
