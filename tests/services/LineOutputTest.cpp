#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/kernel/UniqueFd.h"
#include "services/LineOutput.h"

namespace {

using namespace std::chrono_literals;

struct Pipe {
    Pipe() {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        reader.Reset(ends[0]);
        writer.Reset(ends[1]);
    }
    // What arrives before the pipe stays quiet for a moment.
    std::string Read() const {
        std::string text;
        char chunk[4096];
        for (pollfd readable{reader.Get(), POLLIN, 0}; ::poll(&readable, 1, 200) == 1;) {
            const ssize_t got = ::read(reader.Get(), chunk, sizeof chunk);
            if (got <= 0) {
                break;
            }
            text.append(chunk, static_cast<std::size_t>(got));
        }
        return text;
    }
    UniqueFd reader;
    UniqueFd writer;
};

}  // namespace

// The reader stops: lines that do not fit are dropped and counted, and the
// count is said where they went missing once lines fit again. A reader that
// stops and then goes is said once, the dropped lines going with it.
TEST(LineOutput, LinesThatDoNotFitAreCountedWhereTheyWentMissing) {
    Pipe pipe;
    const int size = ::fcntl(pipe.writer.Get(), F_SETPIPE_SZ, 4096);
    ASSERT_GT(size, 0);
    ASSERT_EQ(::write(pipe.writer.Get(), std::string(size, '.').data(), size), size);
    int gone = 0;
    LineOutput output(
        pipe.writer.Get(), [&gone](std::string_view) { EXPECT_EQ(++gone, 1); }, 64);
    output.Add("first");
    output.Add("second");
    for (int line = 0; line < 20; ++line) {
        output.Add(std::string(30, 'x'));
    }
    std::string read = pipe.Read();
    EXPECT_TRUE(output.Flush(5s));
    output.Add("again");
    EXPECT_TRUE(output.Flush(5s));
    read += pipe.Read();
    EXPECT_EQ(read, std::string(size, '.') + "first\nsecond\n" + std::string(30, 'x') +
                        "\n(19 log lines lost: the reader did not keep up)\nagain\n");

    ASSERT_EQ(::write(pipe.writer.Get(), std::string(size, '.').data(), size), size);
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
    EXPECT_EQ(pipe.Read(), "(2 log lines lost: No space left on device)\nkept\n");
    EXPECT_FALSE(gone);
}
