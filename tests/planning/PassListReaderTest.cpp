#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/core/DataMode.h"
#include "planning/PassListReader.h"
#include "planning/PassTimes.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

using Row = std::array<std::string, kPassColumns>;
using Rows = std::vector<Row>;
using Strings = std::vector<std::string>;

constexpr const char* kUtcPlus4 = "<+04>-4";
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* kUtc = "UTC0";
constexpr const char* kBadStamp =
    "Date Time String is too small - please upgrade the verion of WxTrack";

// Real WxTrack lines: stamp, direction, elevation, length, name.
constexpr std::string_view kWxTrackLines =
    "20020110130723 S 348 298 NOAA 15\r\n"
    "20020110144512 N 12 817 NOAA 12\r\n"
    "20020110161530 S 23 905 NOAA 14\r\n";

class RecordedMessageBoxes final : public MessageBoxPresenter {
public:
    void ShowMessageBox(std::string_view text) override { shown.emplace_back(text); }
    Strings shown;
};

class CountedQuit final : public QuitRequester {
public:
    void RequestQuit() override { ++requests; }
    int requests = 0;
};

class PassListReaderTest : public ::testing::Test {
protected:
    bool Read(std::string_view contents) {
        dir.Write(PassListReader::kFileName, contents);
        return reader.ReadPassList(DataModeFile, dir.Path().string());
    }

    Rows Table() const {
        Rows rows;
        for (int row = 0; row < table.GetItemCount(); ++row) {
            Row& cells = rows.emplace_back();
            for (int column = 0; column < kPassColumns; ++column) {
                cells[static_cast<std::size_t>(column)] = table.GetItemText(row, column);
            }
        }
        return rows;
    }

    TempDir dir;
    PassRows table;
    LogLines view;
    ActivityLog log{view};
    RecordedMessageBoxes messages;
    CountedQuit quit;
    PassListReader reader{table, log, messages, quit};
};

}  // namespace

TEST_F(PassListReaderTest, LineBecomesRowInLocalTime) {
    const ScopedTimeZone tz(kUtcPlus4);
    EXPECT_TRUE(Read("20020519143000 a b 900 NOAA 15\n"));
    EXPECT_EQ(Table(), (Rows{{"19  5 2002 18 30  0", "19  5 2002 18 45  0", "900", "NOAA 15"}}));
    EXPECT_EQ(reader.PassLengthText(), "900");
    EXPECT_EQ(reader.PassLength(), 900);
    EXPECT_EQ(view.NewestFirst(), (std::deque<std::string>{"Loading Next Sat Pass"}));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(quit.requests, 0);
}

TEST_F(PassListReaderTest, SameTimesDifferentTextsInEveryZone) {
    Strings firstTexts;
    for (const char* zone : {kUtc, kUtcPlus4, kCentralEurope}) {
        const ScopedTimeZone tz(zone);
        PassRows zoneTable;
        PassListReader zoneReader(zoneTable, log, messages, quit);
        dir.Write(PassListReader::kFileName, kWxTrackLines);
        ASSERT_TRUE(zoneReader.ReadPassList(DataModeFile, dir.Path().string()));
        ASSERT_EQ(zoneTable.GetItemCount(), 3);
        EXPECT_EQ(ParsePassTime(zoneTable.GetItemText(0, PassColumnStart)),
                  UtcStampToTime("20020110130723", 0));
        EXPECT_EQ(ParsePassTime(zoneTable.GetItemText(0, PassColumnEnd)),
                  UtcStampToTime("20020110130723", 298));
        EXPECT_EQ(ParsePassTime(zoneTable.GetItemText(2, PassColumnEnd)),
                  UtcStampToTime("20020110161530", 905));
        EXPECT_EQ(zoneTable.GetItemText(1, PassColumnLength), "817");
        EXPECT_EQ(zoneTable.GetItemText(1, PassColumnName), "NOAA 12");
        firstTexts.push_back(zoneTable.GetItemText(0, PassColumnStart));
    }
    EXPECT_EQ(firstTexts,
              (Strings{"10  1 2002 13  7 23", "10  1 2002 17  7 23", "10  1 2002 14  7 23"}));
    EXPECT_EQ(reader.PassLengthText(), "") << "each reader keeps its own length";
}

TEST_F(PassListReaderTest, CrLfReadsAsLf) {
    const ScopedTimeZone tz(kCentralEurope);
    std::string lf(kWxTrackLines);
    for (std::size_t at = lf.find("\r\n"); at != std::string::npos; at = lf.find("\r\n", at)) {
        lf.erase(at, 1);
    }
    ASSERT_TRUE(Read(lf));
    const Rows fromLf = Table();
    PassRows crLfTable;
    PassListReader crLfReader(crLfTable, log, messages, quit);
    dir.Write(PassListReader::kFileName, kWxTrackLines);
    ASSERT_TRUE(crLfReader.ReadPassList(DataModeFile, dir.Path().string()));
    EXPECT_EQ(crLfTable.GetItemText(2, PassColumnName), "NOAA 14");
    EXPECT_EQ(crLfTable.GetItemText(2, PassColumnStart), fromLf[2][PassColumnStart]);

    // Without a name the length keeps the line feed, never a carriage return.
    ASSERT_TRUE(Read("20020519143000 a b 900\r\n"));
    EXPECT_EQ(Table().front()[PassColumnLength], "900\n");
    EXPECT_EQ(Table().front()[PassColumnName], "");
    EXPECT_EQ(reader.PassLength(), 900);
}

TEST_F(PassListReaderTest, NewReadGoesOnTopInFileOrder) {
    const ScopedTimeZone tz(kUtc);
    ASSERT_TRUE(Read("20020519143000 a b 900 NOAA 15\n20020519160000 a b 600 NOAA 12\n"));
    ASSERT_TRUE(Read("20020520100000 a b 60 NOAA 17\n20020519143000 a b 900 NOAA 15\n"));
    Strings names;
    for (const Row& row : Table()) {
        names.push_back(row[PassColumnName]);
    }
    EXPECT_EQ(names, (Strings{"NOAA 17", "NOAA 15", "NOAA 15", "NOAA 12"}));
    EXPECT_EQ(Table()[1], Table()[2]);
    EXPECT_EQ(reader.PassLengthText(), "900");
}

TEST_F(PassListReaderTest, FieldsAreSeparatedByRunsOfBlanksOnly) {
    const ScopedTimeZone tz(kUtc);
    ASSERT_TRUE(
        Read("   20020519143000   a  b   900   NOAA   15  \n"
             "20020519143000 a b xyz METEOR\n"
             "20020519143000 a b -60\tNOAA 18\n"
             "20020519143000 a b 99999999999 NOAA 19\n"
             "20020519143000 a b\n"
             "20400101000000 a b 3600 METEOR-M 2\n"
             "20020519143000"));
    EXPECT_EQ(Table(),
              (Rows{{"19  5 2002 14 30  0", "19  5 2002 14 45  0", "900", "NOAA   15"},
                    {"19  5 2002 14 30  0", "19  5 2002 14 30  0", "xyz", "METEOR"},
                    {"19  5 2002 14 30  0", "19  5 2002 14 29  0", "-60\tNOAA", "18"},
                    {"19  5 2002 14 30  0", "19  5 2002 14 30  0", "99999999999", "NOAA 19"},
                    {"19  5 2002 14 30  0", "19  5 2002 14 30  0", "", ""},
                    {" 1  1 2040  0  0  0", " 1  1 2040  1  0  0", "3600", "METEOR-M 2"},
                    {"19  5 2002 14 30  0", "19  5 2002 14 30  0", "", ""}}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PassListReaderTest, BadStampShowsMessageAsksToQuitAndKeepsEarlierRows) {
    const ScopedTimeZone tz(kUtc);
    for (const std::string_view bad :
         {"\n", "   \n", "2002051914300 a b 900 N\n", "200205191430000 a b 900 N\n",
          "20020519143000\n", "20020519143000\ta b 900 N\n"}) {
        PassRows badTable;
        CountedQuit badQuit;
        RecordedMessageBoxes badMessages;
        PassListReader badReader(badTable, log, badMessages, badQuit);
        dir.Write(PassListReader::kFileName, std::string("20020519143000 a b 900 NOAA 15\n") +
                                                 std::string(bad) +
                                                 "20020519160000 a b 600 NOAA 12\n");
        EXPECT_FALSE(badReader.ReadPassList(DataModeFile, dir.Path().string())) << bad;
        EXPECT_EQ(badTable.GetItemCount(), 1) << bad;
        EXPECT_EQ(badMessages.shown, (Strings{kBadStamp})) << bad;
        EXPECT_EQ(badQuit.requests, 1) << bad;
        EXPECT_EQ(badReader.PassLengthText(), "900") << "the last accepted line's";
    }
}

TEST_F(PassListReaderTest, LongLineContinuesAsTheNextLine) {
    const ScopedTimeZone tz(kUtc);
    const std::string start = "20020519143000 a b 900 ";
    // 98 characters before the line end fit in one line...
    const std::string fits = start + std::string(98 - start.size(), 'N');
    EXPECT_TRUE(Read(fits + "\r\n"));
    EXPECT_EQ(Table().front()[PassColumnName], std::string(98 - start.size(), 'N'));
    // ...one more does not: the line end is left over as a line of its own.
    EXPECT_FALSE(Read(fits + "X\n"));
    EXPECT_EQ(messages.shown, (Strings{kBadStamp}));
    EXPECT_EQ(Table().front()[PassColumnName], std::string(98 - start.size(), 'N') + "X");
    EXPECT_EQ(table.GetItemCount(), 2);
}

TEST_F(PassListReaderTest, FolderOrWorkingDirectory) {
    const ScopedTimeZone tz(kUtc);
    dir.Write(PassListReader::kFileName, "20020519143000 a b 900 HERE\n");
    std::filesystem::create_directory(dir.Path() / "Wx");
    dir.Write("Wx/PassList.txt", "20020519143000 a b 900 THERE\n");

    const ScopedWorkingDirectory inDir(dir.Path());
    ASSERT_TRUE(reader.ReadPassList(DataModeFile, ""));
    ASSERT_TRUE(reader.ReadPassList(DataModeFile, (dir.Path() / "Wx").string()));
    ASSERT_TRUE(reader.ReadPassList(DataModeFile, (dir.Path() / "Wx").string() + "/"));
    ASSERT_TRUE(reader.ReadPassList(DataModeFile, "Wx"));
    Strings names;
    for (const Row& row : Table()) {
        names.push_back(row[PassColumnName]);
    }
    EXPECT_EQ(names, (Strings{"THERE", "THERE", "THERE", "HERE"}));
}

TEST_F(PassListReaderTest, MissingFileShowsMessageOnly) {
    EXPECT_FALSE(reader.ReadPassList(DataModeFile, (dir.Path() / "nowhere").string()));
    EXPECT_EQ(messages.shown, (Strings{"Can Not Open WxTrack Passlist.txt File"}));
    EXPECT_EQ(table.GetItemCount(), 0);
    EXPECT_TRUE(view.NewestFirst().empty());
    EXPECT_EQ(quit.requests, 0);
}

TEST_F(PassListReaderTest, DdeModeAddsThePlaceholderAtIndexOne) {
    dir.Write(PassListReader::kFileName, "not read at all\n");
    EXPECT_TRUE(reader.ReadPassList(DataModeDde, dir.Path().string()));
    EXPECT_EQ(Table(), (Rows{{"DDE", "Server", "Option", ""}}));

    const ScopedTimeZone tz(kUtc);
    ASSERT_TRUE(Read("20020519143000 a b 900 NOAA 15\n20020519160000 a b 600 NOAA 12\n"));
    EXPECT_TRUE(reader.ReadPassList(7, dir.Path().string()));
    ASSERT_EQ(table.GetItemCount(), 4);
    EXPECT_EQ(Table()[1], (Row{"DDE", "Server", "Option", ""}));
    EXPECT_EQ(Table()[3], (Row{"DDE", "Server", "Option", ""}));
    EXPECT_EQ(view.NewestFirst().size(), 1u) << "only the file read logs";
    EXPECT_TRUE(messages.shown.empty());
}
