#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/FileIdentity.h"
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
    // How long rows of earlier reads stay after their pass ended, when the
    // list is read again.
    static constexpr std::time_t kKeptAfterEnd = 24 * 3600;

    PassListReader(PassTable& table, ActivityLog& log, MessageBoxPresenter& messages,
                   QuitRequester& quit);

    // In file mode reads PassList.txt from `directory` (the working directory
    // when empty) and puts its rows on top of the table, in file order; in
    // any other mode adds the DDE placeholder row. False when the file could
    // not be opened, or when a line without a valid stamp stopped the
    // reading (the rows before it stay, and the run is asked to quit).
    bool ReadPassList(std::int32_t dataMode, const std::string& directory);
    // In file mode, when PassList.txt in the last read's folder is not the
    // file last read (another inode, size or modification time), reads it
    // again as ReadPassList does: its rows go on top, and rows of earlier
    // reads whose pass ended more than kKeptAfterEnd before `now` go. A
    // list that cannot be read whole (missing, being written) leaves the
    // table as it is and asks no quit; it is said once, and read again
    // once it changes.
    void ReadPassListIfReplaced(std::time_t now);

    // The length field of the last line accepted, as written.
    const std::string& PassLengthText() const { return m_strPassLength; }
    // The length of the line being read, in seconds.
    std::int32_t PassLength() const { return m_nPassLength; }

private:
    void AddPlaceholderRow();
    // Puts the rows on top; the pass length is the last one's.
    void InsertRows(std::vector<PassRow> rows);
    void RemoveRowsEndedBefore(std::time_t time);
    // A failed read again is said once, until a read succeeds or a run starts.
    void ShowReadAgainFailure(std::string_view text);

    PassTable& m_table;
    ActivityLog& m_log;
    MessageBoxPresenter& m_messages;
    QuitRequester& m_quit;
    std::string m_strPassLength;
    std::int32_t m_nPassLength = 0;
    std::int32_t m_dataMode = 0;
    std::string m_directory;
    // The file the last read found, or tried to.
    std::optional<FileIdentity> m_lastSeen;
    bool m_readAgainFailureShown = false;
};
