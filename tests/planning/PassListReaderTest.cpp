#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <filesystem>
#include <vector>

#include "planning/PassListReader.h"
#include "services/DataMode.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

using Row = std::array<std::string, kPassColumns>;
using Rows = std::vector<Row>;
using Strings = std::vector<std::string>;

class PassListReaderTest : public ::testing::Test, MessageBoxPresenter, QuitRequester {
protected:
    void ShowMessageBox(std::string_view text) override { shown.emplace_back(text); }
    void RequestQuit() override { ++quitRequests; }

    bool Read(std::string_view contents) {
        dir.Write(PassListReader::kFileName, contents);
        return reader.ReadPassList(DataModeFile, dir.Path().string());
    }

    Rows Table() const {
        Rows rows(static_cast<std::size_t>(table.GetItemCount()));
        for (std::size_t row = 0; row < rows.size(); ++row) {
            for (int column = 0; column < kPassColumns; ++column) {
                rows[row][static_cast<std::size_t>(column)] =
                    table.GetItemText(static_cast<int>(row), column);
            }
        }
        return rows;
    }

    TempDir dir;
    PassRows table;
    LogLines view;
    ActivityLog log{view};
    Strings shown;
    int quitRequests = 0;
    PassListReader reader{table, log, *this, *this};
};

}  // namespace

// The fuzz corpus replay checks rows against the file's plain lines too.
TEST_F(PassListReaderTest, LinesBecomeRowsOfLocalTimesInFileOrderInEveryZone) {
    const ScopedTimeZone tz("<+04>-4");
    EXPECT_TRUE(Read("20020519143000 a b 900 NOAA 15\n"));
    EXPECT_EQ(view.NewestFirst(), (std::deque<std::string>{"Loading Next Sat Pass"}));
    // Real WxTrack lines, with Windows line ends; a new read goes on top.
    EXPECT_TRUE(Read("20020110130723 S 348 298 NOAA 15\r\n20020110144512 N 12 817 NOAA 12\r\n"));
    EXPECT_EQ(Table(), (Rows{{"10  1 2002 17  7 23", "10  1 2002 17 12 21", "298", "NOAA 15"},
                             {"10  1 2002 18 45 12", "10  1 2002 18 58 49", "817", "NOAA 12"},
                             {"19  5 2002 18 30  0", "19  5 2002 18 45  0", "900", "NOAA 15"}}));
    EXPECT_EQ(reader.PassLength(), 817);
    EXPECT_TRUE(shown.empty());

    // Fields are separated by runs of blanks only; the end falls after the change to summer time.
    const ScopedTimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
    ASSERT_TRUE(
        Read("  20020331003000  a b  3600  METEOR   M2 \n20020331003000 a b -60\tN 18\n"
             "20020331003000 a b 99999999999 N\n"));
    EXPECT_EQ(Table()[0],
              (Row{"31  3 2002  1 30  0", "31  3 2002  3 30  0", "3600", "METEOR   M2"}));
    EXPECT_EQ(Table()[1], (Row{"31  3 2002  1 30  0", "31  3 2002  1 29  0", "-60\tN", "18"}));
    // A length that does not fit gives a pass of no length.
    EXPECT_EQ(Table()[2][PassColumnEnd], "31  3 2002  1 30  0");
}

TEST_F(PassListReaderTest, BadStampStopsTheReadingAndAsksToQuit) {
    const ScopedTimeZone tz("UTC0");
    const std::string good = "20020519143000 a b 900 NOAA 15\n";
    // 98 characters and the line end fit in one line; with 99 the line end
    // is left over as a line of its own.
    const std::string longest = good.substr(0, 23) + std::string(75, 'N');
    for (const std::string& bad : {std::string("\n"), std::string("20020519143000\tA b 900 N\n"),
                                   std::string("\t20020519143000 a b 900 N\n"), longest + "X\n"}) {
        const int before = table.GetItemCount();
        EXPECT_FALSE(Read(good + longest + "\n" + bad + good)) << bad;
        EXPECT_EQ(table.GetItemCount() - before, bad.size() > 99 ? 3 : 2) << bad;
        EXPECT_EQ(table.GetItemText(1, PassColumnName), longest.substr(23));
    }
    EXPECT_EQ(shown,
              Strings(4, "Date Time String is too small - please upgrade the verion of WxTrack"));
    EXPECT_EQ(quitRequests, 4);
    EXPECT_EQ(reader.PassLengthText(), "900");
}

TEST_F(PassListReaderTest, DdeModeAddsAPlaceholderAtIndexOneAMissingFileOrAFolderNothing) {
    const Row placeholder{"DDE", "Server", "Option", ""};
    EXPECT_TRUE(reader.ReadPassList(DataModeDde, "nowhere"));
    EXPECT_EQ(Table(), Rows{placeholder});
    EXPECT_FALSE(reader.ReadPassList(DataModeFile, (dir.Path() / "nowhere").string()));
    std::filesystem::create_directories(dir.Path() / "folder" / PassListReader::kFileName);
    EXPECT_FALSE(reader.ReadPassList(DataModeFile, (dir.Path() / "folder").string()));
    EXPECT_EQ(Table(), Rows{placeholder});
    EXPECT_EQ(shown, Strings(2, "Can Not Open WxTrack Passlist.txt File"));
    EXPECT_TRUE(Read("20020519143000 a b 900 A\n"));
    EXPECT_TRUE(reader.ReadPassList(7, dir.Path().string()));
    EXPECT_EQ(Table(), (Rows{Table()[0], placeholder, placeholder}));
    EXPECT_EQ(view.NewestFirst().size(), 1u);

    // A folder name is bytes, UTF-8 or not.
    const std::string folder = (dir.Path() / "m\xe9t\xe9o").string();
    dir.Write("m\xe9t\xe9o/PassList.txt", "20020519143000 a b 900 B\n");
    EXPECT_TRUE(reader.ReadPassList(DataModeFile, folder));
    EXPECT_EQ(Table()[0][PassColumnName], "B");
    // No folder: the working directory.
    const ScopedWorkingDirectory working(dir.Path());
    EXPECT_TRUE(reader.ReadPassList(DataModeFile, ""));
    EXPECT_EQ(Table()[0][PassColumnName], "A");
}

// A station's list refreshed by a timer: each new version is read once, on
// top, rows that ended over a day ago go, and a version that cannot be read
// whole changes nothing, is said once, asks no quit, and is read once fixed.
TEST_F(PassListReaderTest, AReplacedListIsReadAgainOnceAndOnlyWhole) {
    const ScopedTimeZone tz("UTC0");
    const std::time_t now = 1'700'000'000;  // 2023-11-14 22:13:20
    const auto readAgain = [&] {
        view.RemoveAllLines();
        reader.ReadPassListIfReplaced(now);
        return Strings(view.NewestFirst().rbegin(), view.NewestFirst().rend());
    };
    const auto replace = [&](std::string_view contents) {
        dir.Write("new.txt", contents);
        std::filesystem::rename(dir.Path() / "new.txt", dir.Path() / PassListReader::kFileName);
    };
    const Strings reading{"Pass list changed - reading it again", "Loading Next Sat Pass"};
    // Ended two days ago, an hour ago, and to come.
    ASSERT_TRUE(Read("20231112221320 a b 600 OLD\n20231114211320 a b 600 RECENT\n"));
    EXPECT_EQ(readAgain(), Strings{});

    replace("20231115000000 a b 700 NEXT\n");
    EXPECT_EQ(readAgain(), reading);
    EXPECT_EQ(Table().size(), 2u);
    EXPECT_EQ(Table()[0][PassColumnName], "NEXT");
    EXPECT_EQ(Table()[1][PassColumnName], "RECENT");
    EXPECT_EQ(reader.PassLengthText(), "700");
    EXPECT_EQ(readAgain(), Strings{});

    const Rows before = Table();
    for (const std::string_view half : {"20231115000000 a b 800 HALF\n2023", "2023111"}) {
        replace(half);
        EXPECT_EQ(readAgain(), Strings{"Pass list changed - reading it again"});
        EXPECT_EQ(Table(), before);
    }
    std::filesystem::remove(dir.Path() / PassListReader::kFileName);
    EXPECT_EQ(readAgain(), Strings{"Pass list changed - reading it again"});
    EXPECT_EQ(readAgain(), Strings{});
    EXPECT_EQ(shown,
              Strings{"Date Time String is too small - please upgrade the verion of WxTrack"});
    EXPECT_EQ(quitRequests, 0);
    EXPECT_EQ(reader.PassLengthText(), "700");

    replace("20231115010000 a b 900 FIXED\n");
    EXPECT_EQ(readAgain(), reading);
    EXPECT_EQ(Table()[0][PassColumnName], "FIXED");
    EXPECT_EQ(Table().size(), 3u);

    // A new run shows its own first bad replacement.
    replace("2023111");
    readAgain();
    ASSERT_TRUE(Read("20231115020000 a b 900 RUN\n"));
    replace("2023111");
    readAgain();
    EXPECT_EQ(shown.size(), 3u);
}
