#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/ErrorText.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/Wait.h"
#include "serial/CommApi.h"
#include "tests/serial/FakeReceiverLine.h"
#include "tests/support/TempDir.h"

namespace {

class CommApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        handle = CreateCommFile(line.Path());
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        record.hEvent = &event;
    }
    void TearDown() override {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }

    // Starts a read of `count` bytes into `buffer` through `record`.
    bool StartRead(std::uint32_t count) {
        buffer.assign(count, '\0');
        return ReadFile(handle, buffer.data(), count, nullptr, &record);
    }

    // Waits for the record's transfer; the bytes it took, or -1 on failure.
    long Finish() {
        std::uint32_t bytes = 0;
        return GetOverlappedResult(handle, record, bytes, true) ? static_cast<long>(bytes) : -1;
    }

    TempDir config;
    FakeReceiverLine line{config.Path()};
    int handle = INVALID_HANDLE_VALUE;
    Event event{EventReset::Manual, false};
    OVERLAPPED record;
    std::string buffer;
};

}  // namespace

TEST_F(CommApiTest, ReadEndsWhenItsBytesAreAllThere) {
    line.SendQueued("H101\r\nxy");
    ASSERT_TRUE(StartRead(8));
    EXPECT_EQ(buffer, "H101\r\nxy");
    EXPECT_TRUE(event.IsSet());

    EXPECT_FALSE(StartRead(8));
    EXPECT_EQ(errno, static_cast<int>(ERROR_IO_PENDING));
    EXPECT_FALSE(event.IsSet());
    line.Send("G000");
    line.Send("\r\nab");
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(Finish(), 8);
    EXPECT_EQ(buffer, "G000\r\nab");
}

TEST_F(CommApiTest, ShortReplyEndsOnceTheLineIsQuiet) {
    ASSERT_FALSE(StartRead(8));
    std::uint32_t bytes = 99;
    EXPECT_FALSE(GetOverlappedResult(handle, record, bytes, false));
    EXPECT_EQ(errno, static_cast<int>(ERROR_IO_PENDING));
    EXPECT_EQ(WaitForSingleObject(event, 100), WAIT_TIMEOUT);

    line.Send("G000\r\n");
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(Finish(), 6);
    EXPECT_EQ(buffer.substr(0, 6), "G000\r\n");
    EXPECT_EQ(record.Internal, 0u);
}

TEST_F(CommApiTest, BytesBeyondAReadWaitForTheNext) {
    line.SendQueued("0123456789");
    ASSERT_TRUE(StartRead(4));
    EXPECT_EQ(buffer, "0123");
    StartRead(8);
    EXPECT_EQ(Finish(), 6);
    EXPECT_EQ(buffer.substr(0, 6), "456789");

    // Without a read interval the pending read holds what it staged.
    ASSERT_TRUE(SetCommTimeouts(handle, COMMTIMEOUTS{}));
    COMSTAT status{};
    line.SendQueued("abc");
    ASSERT_FALSE(StartRead(8));
    ASSERT_TRUE(ClearCommError(handle, nullptr, &status));
    EXPECT_EQ(status.cbInQue, 3u);
    ASSERT_TRUE(PurgeComm(handle, PURGE_RXCLEAR));
    ASSERT_TRUE(ClearCommError(handle, nullptr, &status));
    EXPECT_EQ(status.cbInQue, 0u);
}

TEST_F(CommApiTest, TimeOutsDecideWhenAReadEnds) {
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(handle, timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 50u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);

    // Immediate: what is there, at once.
    ASSERT_TRUE(SetCommTimeouts(handle, COMMTIMEOUTS{MAXDWORD, 0, 0, 0, 0}));
    EXPECT_TRUE(StartRead(8));
    EXPECT_EQ(record.InternalHigh, 0u);
    line.SendQueued("abc");
    EXPECT_TRUE(StartRead(8));
    EXPECT_EQ(record.InternalHigh, 3u);

    // A total limit ends a read that got nothing, successfully.
    ASSERT_TRUE(SetCommTimeouts(handle, COMMTIMEOUTS{0, 0, 30, 0, 0}));
    EXPECT_FALSE(StartRead(8));
    EXPECT_EQ(Finish(), 0);

    // No limits at all: only the full count ends a read.
    ASSERT_TRUE(SetCommTimeouts(handle, COMMTIMEOUTS{}));
    EXPECT_FALSE(StartRead(8));
    line.Send("123456");
    EXPECT_EQ(WaitForSingleObject(event, 150), WAIT_TIMEOUT);
    line.Send("78");
    EXPECT_EQ(Finish(), 8);
    EXPECT_EQ(buffer, "12345678");
}

TEST_F(CommApiTest, ABusyRecordIsTakenOverWithoutLosingBytes) {
    ASSERT_FALSE(StartRead(8));
    // A second read through the same record replaces the first.
    ASSERT_FALSE(StartRead(8));
    line.Send("G000\r\n");
    EXPECT_EQ(Finish(), 6);
    EXPECT_EQ(buffer.substr(0, 6), "G000\r\n");

    // A write through a record a read still holds drops that read; the
    // bytes that arrive stay for the next one.
    ASSERT_FALSE(StartRead(8));
    ASSERT_TRUE(WriteFile(handle, "H1?\r\n", 5, nullptr, &record));
    EXPECT_EQ(line.Receive(5), "H1?\r\n");
    line.Send("H100\r\n");
    ASSERT_FALSE(StartRead(8));
    EXPECT_EQ(Finish(), 6);
    EXPECT_EQ(buffer.substr(0, 6), "H100\r\n");
}

TEST_F(CommApiTest, AWriteTheLineCannotTakeAtOnceGoesOnAndKeepsItsBytes) {
    constexpr std::size_t kSize = 256 * 1024;
    std::string expected(kSize, '\0');
    for (std::size_t i = 0; i < kSize; ++i) {
        expected[i] = static_cast<char>('a' + (i % 26));
    }
    {
        const std::vector<char> data(expected.begin(), expected.end());
        errno = 0;
        EXPECT_FALSE(WriteFile(handle, data.data(), kSize, nullptr, &record));
        EXPECT_EQ(errno, static_cast<int>(ERROR_IO_PENDING));
    }
    EXPECT_FALSE(event.IsSet());
    // A read through the same record leaves the write to carry on unseen.
    ASSERT_FALSE(StartRead(8));
    EXPECT_EQ(line.Receive(kSize), expected);
    line.Send("G000\r\n");
    EXPECT_EQ(Finish(), 6);
    EXPECT_EQ(buffer.substr(0, 6), "G000\r\n");

    OVERLAPPED own;
    Event done(EventReset::Manual, false);
    own.hEvent = &done;
    EXPECT_FALSE(WriteFile(handle, expected.data(), kSize, nullptr, &own));
    std::thread drain([this] { line.Receive(kSize); });
    EXPECT_EQ(WaitForSingleObject(done, 10000), WAIT_OBJECT_0);
    drain.join();
    std::uint32_t bytes = 0;
    ASSERT_TRUE(GetOverlappedResult(handle, own, bytes, false));
    EXPECT_EQ(bytes, kSize);
}

TEST_F(CommApiTest, AHungUpLineEndsPendingTransfersAndRefusesNewOnes) {
    ASSERT_FALSE(StartRead(8));
    OVERLAPPED writeRecord;
    const std::string big(256 * 1024, 'x');
    ASSERT_FALSE(WriteFile(handle, big.data(), static_cast<std::uint32_t>(big.size()), nullptr,
                           &writeRecord));
    line.HangUp();

    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(Finish(), -1);
    EXPECT_EQ(errno, EIO);
    std::uint32_t bytes = 0;
    EXPECT_FALSE(GetOverlappedResult(handle, writeRecord, bytes, true));
    EXPECT_EQ(errno, EIO);

    event.Reset();
    EXPECT_FALSE(StartRead(8));
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(record.Internal, static_cast<std::uint32_t>(EIO));
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(WriteFile(handle, "H100\r\n", 6, nullptr, nullptr));
    EXPECT_EQ(errno, EIO);
}

TEST_F(CommApiTest, BytesThatArrivedBeforeAHangUpAreStillDelivered) {
    // Without a read interval only the count or the line's end can end a read.
    ASSERT_TRUE(SetCommTimeouts(handle, COMMTIMEOUTS{}));
    ASSERT_FALSE(StartRead(8));
    line.Send("abc");
    COMSTAT status{};
    for (int tries = 0; tries < 5000 && (status.cbInQue < 3 || line.Queued() > 0); ++tries) {
        ::usleep(1000);
        ASSERT_TRUE(ClearCommError(handle, nullptr, &status));
    }
    ASSERT_EQ(line.Queued(), 0);
    // A write through the record drops the read; the bytes it staged stay.
    ASSERT_TRUE(WriteFile(handle, "x", 1, nullptr, &record));
    line.HangUp();

    EXPECT_TRUE(StartRead(8));
    EXPECT_EQ(record.InternalHigh, 3u);
    EXPECT_EQ(buffer.substr(0, 3), "abc");
    EXPECT_FALSE(StartRead(8));
    EXPECT_EQ(errno, EIO);
}

TEST_F(CommApiTest, CancellingEndsPendingTransfersAsCancelled) {
    ASSERT_FALSE(StartRead(8));
    ASSERT_TRUE(CancelIo(handle));
    EXPECT_TRUE(event.IsSet());
    EXPECT_EQ(Finish(), -1);
    EXPECT_EQ(errno, ECANCELED);

    ASSERT_FALSE(StartRead(8));
    ASSERT_TRUE(PurgeComm(handle, PURGE_TXABORT));
    EXPECT_EQ(record.Internal, STATUS_PENDING);
    ASSERT_TRUE(PurgeComm(handle, PURGE_RXABORT));
    EXPECT_EQ(Finish(), -1);
    EXPECT_EQ(errno, ECANCELED);
    EXPECT_FALSE(PurgeComm(handle, 0x10));
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(CommApiTest, EventWaitsReportArrivingCharacters) {
    std::uint32_t events = 77;
    EXPECT_FALSE(WaitCommEvent(handle, events, &record));
    EXPECT_EQ(errno, EINVAL);

    ASSERT_TRUE(SetCommMask(handle, EV_RXCHAR));
    EXPECT_FALSE(WaitCommEvent(handle, events, &record));
    EXPECT_EQ(errno, static_cast<int>(ERROR_IO_PENDING));
    line.Send("x");
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(Finish(), 0);
    EXPECT_EQ(events, EV_RXCHAR);
    // The character is still there, so the next wait ends at once.
    EXPECT_TRUE(WaitCommEvent(handle, events, &record));
    ASSERT_TRUE(PurgeComm(handle, PURGE_RXCLEAR));

    // A new mask ends a pending wait with no events.
    events = 77;
    EXPECT_FALSE(WaitCommEvent(handle, events, &record));
    ASSERT_TRUE(SetCommMask(handle, EV_RXCHAR | EV_ERR));
    EXPECT_EQ(Finish(), 0);
    EXPECT_EQ(events, 0u);
    std::uint32_t mask = 0;
    ASSERT_TRUE(GetCommMask(handle, mask));
    EXPECT_EQ(mask, EV_RXCHAR | EV_ERR);
}

TEST_F(CommApiTest, WithoutARecordTransfersBlockUntilTheyEnd) {
    std::uint32_t written = 0;
    ASSERT_TRUE(WriteFile(handle, "J4080\r\n", 7, &written, nullptr));
    EXPECT_EQ(written, 7u);
    EXPECT_EQ(line.Receive(7), "J4080\r\n");

    line.Send("G00");
    std::uint32_t read = 0;
    char reply[8] = {};
    ASSERT_TRUE(ReadFile(handle, reply, 8, &read, nullptr));
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(std::string(reply, 3), "G00");
}

TEST_F(CommApiTest, HandlesAreTheDescriptorsOfTerminals) {
    // A port is for one user at a time.
    EXPECT_EQ(CreateCommFile(line.Path()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(CreateCommFile(config.Path() / "missing"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(CreateCommFile("/dev/null"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(errno, ENOTTY);

    DCB dcb{};
    EXPECT_FALSE(GetCommState(INVALID_HANDLE_VALUE, dcb));
    EXPECT_EQ(errno, EBADF);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    EXPECT_FALSE(GetCommState(ends[0], dcb));
    EXPECT_EQ(errno, ENOTTY);
    ::close(ends[0]);
    ::close(ends[1]);

    ASSERT_TRUE(CloseHandle(handle));
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(errno, EBADF);

    // A terminal opened elsewhere is taken on as it is.
    const int other = ::open(line.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    line.Send("G001\r\n");
    char reply[8] = {};
    std::uint32_t read = 0;
    ASSERT_TRUE(ReadFile(other, reply, 8, &read, nullptr));
    EXPECT_EQ(std::string(reply, read), "G001\r\n");
    EXPECT_TRUE(CloseHandle(other));

    // Closing gave the port up, exclusive mode included.
    handle = CreateCommFile(line.Path());
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
}
