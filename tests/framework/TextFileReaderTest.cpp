#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/TextFileReader.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string> ReadAll(std::string_view bytes, std::size_t limit = 100) {
    const TempDir dir;
    TextFileReader reader(dir.Write("file.txt", bytes).c_str(), limit);
    EXPECT_TRUE(reader.IsOpen());
    std::vector<std::string> lines;
    for (std::string line; reader.ReadLine(line);) {
        lines.push_back(line);
    }
    return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(TextFileReader, CrLfReadsExactlyAsLf) {
    for (const std::string_view bytes : {"one\r\ntwo\r\n\r\nlast", "one\ntwo\n\nlast"}) {
        EXPECT_EQ(ReadAll(bytes), (Lines{"one\n", "two\n", "\n", "last"}));
    }
    // A CR that ends no line is text.
    EXPECT_EQ(ReadAll("a\rb\r\r\n"), (Lines{"a\rb\r\n"}));
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

TEST(TextFileReader, ZeroByteEndsThePiecesTextButNotTheFile) {
    EXPECT_EQ(ReadAll(std::string("ab\0cd\nnext\n", 11)), (Lines{"ab", "next\n"}));
    EXPECT_EQ(ReadAll(std::string("\0\xff\x01\n", 4)), (Lines{""}));
}

TEST(TextFileReader, EmptyFileReadsNothingAndMissingFileOrFolderDoesNotOpen) {
    EXPECT_TRUE(ReadAll("").empty());

    const TempDir dir;
    for (const std::filesystem::path& path : {dir.Path() / "absent.txt", dir.Path()}) {
        TextFileReader unreadable(path.c_str());
        std::string line;
        EXPECT_FALSE(unreadable.IsOpen() || unreadable.ReadLine(line)) << path;
    }
}

TEST(TextFileReader, CrLfSplitBetweenReadBlocksIsOneLineEnd) {
    // The reader takes 64 KiB at a time: the CR is the first block's last byte.
    const std::string first(65535, 'x');
    EXPECT_EQ(ReadAll(first + "\r\nnext\r\n", 1 << 17), (Lines{first + "\n", "next\n"}));
}
