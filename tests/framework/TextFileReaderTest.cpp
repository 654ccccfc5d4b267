#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/TextFileReader.h"
#include "tests/support/TempDir.h"

namespace {

using Lines = std::vector<std::string>;

Lines ReadAll(std::string_view bytes, std::size_t limit = 100) {
    const TempDir dir;
    TextFileReader reader(dir.Write("file.txt", bytes).c_str(), limit);
    EXPECT_TRUE(reader.IsOpen());
    Lines lines;
    for (std::string line; reader.ReadLine(line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST(TextFileReader, CrLfReadsAsLfAndAZeroByteEndsThePiecesText) {
    EXPECT_EQ(ReadAll("one\r\ntwo\r\n\r\nlast"), (Lines{"one\n", "two\n", "\n", "last"}));
    // A CR that ends no line is text.
    EXPECT_EQ(ReadAll("a\rb\r\r\n"), (Lines{"a\rb\r\n"}));
    EXPECT_EQ(ReadAll(std::string("ab\0cd\nnext\n", 11)), (Lines{"ab", "next\n"}));
    EXPECT_TRUE(ReadAll("").empty());
    // The reader takes 64 KiB at a time: the CR is the first block's last byte.
    const std::string first(65535, 'x');
    EXPECT_EQ(ReadAll(first + "\r\nnext\r\n", 1 << 17), (Lines{first + "\n", "next\n"}));
}

TEST(TextFileReader, LongLinesContinueAsNextPieceCountedAfterCrLf) {
    const std::string fits(98, 'x');
    // 98 characters and a CR LF make 99 characters after translation: one piece.
    EXPECT_EQ(ReadAll(fits + "\r\nnext\r\n"), (Lines{fits + "\n", "next\n"}));
    const std::string tooLong(99, 'y');
    EXPECT_EQ(ReadAll(tooLong + "\r\n"), (Lines{tooLong, "\n"}));
    EXPECT_EQ(ReadAll(std::string(250, 'z') + "\n"),
              (Lines{std::string(99, 'z'), std::string(99, 'z'), std::string(52, 'z') + "\n"}));
}

TEST(TextFileReader, AMissingFileOrAFolderDoesNotOpen) {
    const TempDir dir;
    for (const std::filesystem::path& path : {dir.Path() / "absent.txt", dir.Path()}) {
        TextFileReader unreadable(path.c_str());
        std::string line;
        EXPECT_FALSE(unreadable.IsOpen() || unreadable.ReadLine(line)) << path;
    }
}
