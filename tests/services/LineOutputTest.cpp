#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/kernel/UniqueFd.h"
#include "services/LineOutput.h"
#include "tests/support/Pipe.h"

namespace {

using namespace std::chrono_literals;

// What arrives before the pipe stays quiet for a moment.
std::string ReadAll(const Pipe& pipe) {
    std::string text;
    while (ReadWithin(pipe.reader, text, 200)) {
    }
    return text;
}

}  // namespace

// The reader stops: lines that do not fit are dropped and counted, and the
// count is said where they went missing once lines fit again. A reader that
// stops and then goes is said once, the dropped lines going with it.
TEST(LineOutput, LinesThatDoNotFitAreCountedWhereTheyWentMissing) {
    Pipe pipe;
    const int size = pipe.Fill();
    int gone = 0;
    LineOutput output(
        pipe.writer.Get(), [&gone](std::string_view) { EXPECT_EQ(++gone, 1); }, 64);
    output.Add("first");
    output.Add("second");
    for (int line = 0; line < 20; ++line) {
        output.Add(std::string(30, 'x'));
    }
    std::string read = ReadAll(pipe);
    EXPECT_TRUE(output.Flush(5s));
    output.Add("again");
    EXPECT_TRUE(output.Flush(5s));
    read += ReadAll(pipe);
    EXPECT_EQ(read, std::string(size, '.') + "first\nsecond\n" + std::string(30, 'x') +
                        "\n(19 log lines lost: the reader did not keep up)\nagain\n");

    pipe.Fill();
    for (int line = 0; line < 5; ++line) {
        output.Add(std::string(30, 'x'));
    }
    pipe.reader.Reset();
    EXPECT_TRUE(output.Flush(5s));
    EXPECT_EQ(gone, 1);
}

// A full disk fails a write; once there is room again, lines go out and the
// lost ones are counted.
TEST(LineOutput, AFailedWriteLosesItsLinesButNotTheOnesAfter) {
    Pipe pipe;
    const UniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(full.IsValid());
    const UniqueFd descriptor(::dup(full.Get()));
    bool gone = false;
    LineOutput output(descriptor.Get(), [&gone](std::string_view) { gone = true; });
    output.Add("lost");
    output.Add("also lost");
    ASSERT_TRUE(output.Flush(5s));
    ASSERT_EQ(::dup2(pipe.writer.Get(), descriptor.Get()), descriptor.Get());
    output.Add("kept");
    ASSERT_TRUE(output.Flush(5s));
    EXPECT_EQ(ReadAll(pipe), "(2 log lines lost: No space left on device)\nkept\n");
    EXPECT_FALSE(gone);
}
