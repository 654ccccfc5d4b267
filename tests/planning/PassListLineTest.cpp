#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "planning/PassListLine.h"
#include "planning/PassListReader.h"
#include "planning/PassTimes.h"
#include "services/DataMode.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

class NoMessages final : public MessageBoxPresenter, public QuitRequester {
public:
    void ShowMessageBox(std::string_view text) override { ADD_FAILURE() << text; }
    void RequestQuit() override { ADD_FAILURE() << "quit"; }
};

}  // namespace

// What the writer writes, the reader reads back to the same start, end and
// name, in any zone; what it could not read back so is not written at all.
TEST(PassListLine, ReaderReadsBackWhatIsWritten) {
    const ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::string longest(98 - 27, 'N');  // with "YYYYMMDDhhmmss S 359 99999 "
    const std::vector<PassListEntry> entries{
        {1021818600, false, 36, 900, "NOAA 15"},
        {2240611199, true, 0, 0, "METEOR-M2 3"},  // 2040-12-31 23:59:59, after 2038
        {-1, true, 359, 99999, longest},          // 1969-12-31 23:59:59
    };
    std::string file;
    for (const PassListEntry& entry : entries) {
        const std::optional<std::string> line = FormatPassListLine(entry);
        ASSERT_TRUE(line) << entry.name;
        file += *line + "\r\n";
    }
    EXPECT_EQ(file.substr(0, 37), "20020519143000 S 36 900 NOAA 15\r\n2040");
    const TempDir dir;
    dir.Write(PassListReader::kFileName, file);
    PassRows table;
    LogLines view;
    ActivityLog log(view);
    NoMessages messages;
    PassListReader reader(table, log, messages, messages);
    ASSERT_TRUE(reader.ReadPassList(DataModeFile, dir.Path().string()));
    ASSERT_EQ(table.GetItemCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const PassListEntry& entry = entries[static_cast<std::size_t>(row)];
        EXPECT_EQ(table.Row(row).start, entry.start);
        EXPECT_EQ(table.Row(row).end, entry.start + entry.lengthSeconds);
        EXPECT_EQ(table.GetItemText(row, PassColumnName), entry.name);
    }

    for (const PassListEntry& refused :
         std::vector<PassListEntry>{{0, true, 359, 99999, longest + "N"},
                                    {0, true, 0, 60, " NOAA 15"},
                                    {0, true, 0, 60, "NOAA 15 "},
                                    {0, true, 0, 60, std::string("NOAA\0 15", 8)},
                                    {0, true, 0, 60, ""},
                                    {0, true, 360, 60, "NOAA 15"},
                                    {253402300800, true, 0, 60, "NOAA 15"}}) {  // year 10000
        EXPECT_FALSE(FormatPassListLine(refused)) << refused.name;
    }
}
