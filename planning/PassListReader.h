#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "planning/PassTable.h"
#include "services/ActivityLog.h"
#include "services/MessageBoxPresenter.h"
#include "services/QuitRequester.h"

// Where the reader finds PassList.txt: in `directory`, or in the working
// directory when that is empty.
std::string PassListPath(const std::string& directory);

// Reads WxTrack's PassList.txt into the pass table, one row per line: start
// and end as local time, the length as written and the satellite's name.
class PassListReader {
public:
    static constexpr const char* kFileName = "PassList.txt";
    // The longest line read whole, before its line end; the rest of a
    // longer one is read as the next line.
    static constexpr std::size_t kLongestLine = 98;

    PassListReader(PassTable& table, ActivityLog& log, MessageBoxPresenter& messages,
                   QuitRequester& quit);

    // In file mode reads PassList.txt from `directory` (the working directory
    // when empty) and puts its rows on top of the table, in file order; in
    // any other mode adds the DDE placeholder row. False when the file could
    // not be opened, or when a line without a valid stamp stopped the
    // reading (the rows before it stay, and the run is asked to quit).
    bool ReadPassList(std::int32_t dataMode, const std::string& directory);

    // The length field of the last line accepted, as written.
    const std::string& PassLengthText() const { return m_strPassLength; }
    // The length of the line being read, in seconds.
    std::int32_t PassLength() const { return m_nPassLength; }

private:
    void AddPlaceholderRow();
    // The row of one line; nullopt when the line has no valid stamp.
    std::optional<PassRow> ReadPassRow(std::string_view line);

    PassTable& m_table;
    ActivityLog& m_log;
    MessageBoxPresenter& m_messages;
    QuitRequester& m_quit;
    std::string m_strPassLength;
    std::int32_t m_nPassLength = 0;
};
