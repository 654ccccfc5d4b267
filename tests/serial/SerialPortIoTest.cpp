#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/ErrorText.h"
#include "platform/kernel/Wait.h"
#include "serial/serialport.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Diagnostics.h"

namespace {

using namespace std::chrono_literals;

// Error code and byte count of each completion.
using Completions = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// Keeps what its completion routines report.
class CRecordingPort : public CSerialPort {
public:
    void IoCompleted(std::uint32_t dwErrorCode, std::uint32_t dwCount,
                     OVERLAPPED* lpOverlapped) override {
        completions.emplace_back(dwErrorCode, dwCount);
        CSerialPort::IoCompleted(dwErrorCode, dwCount, lpOverlapped);
    }

    Completions completions;
};

class NotAPort : public CObject {};

class SerialPortIoTest : public ::testing::Test {
protected:
    void SetUp() override { OpenCom1(port); }

    // A command written as the run loop writes it: through the shared record.
    void Command(std::string_view text) {
        port.Write(text.data(), static_cast<std::uint32_t>(text.size()), g_radioOverlapped);
        ASSERT_EQ(line.Receive(text.size()), text);
    }

    ConfigHome home;
    FakeReceiverLine line{home.Path()};
    CapturedDiagnostics diagnostics;
    CRecordingPort port;
};

}  // namespace

TEST_F(SerialPortIoTest, RepliesOfAnyLengthEndTerminatedWithoutOlderBytes) {
    // A count beyond the receive buffer is a programming error, cut to it.
    line.Send(std::string(CSerialPort::kReceiveBufferSize + 8, 'r'));
    ASSERT_TRUE(port.ReceiveReply(CSerialPort::kReceiveBufferSize + 8));
    EXPECT_EQ(port.m_dwBytesRead, CSerialPort::kReceiveBufferSize);
    EXPECT_EQ(std::strlen(port.m_szReply), CSerialPort::kReceiveBufferSize);

    // Bytes beyond the count wait for the next reply.
    ASSERT_TRUE(port.ReceiveReply(8));
    EXPECT_EQ(std::string(port.m_szReply, 9), std::string("rrrrrrrr\0", 9));

    // A shorter reply, ended by the quiet line, must not pick up the tail
    // of the one before.
    Command("H1?\r\n");
    line.Send("G0\r\n");
    ASSERT_TRUE(port.ReceiveReply(CSerialPort::kReceiveBufferSize));
    EXPECT_STREQ(port.m_szReply, "G0\r\n");
    EXPECT_EQ(port.m_dwBytesRead, 4u);

    // A zero byte ends the text; the rest of the count is zeros.
    line.Send(std::string("H10\0abcd", 8));
    ASSERT_TRUE(port.ReceiveReply(8));
    EXPECT_EQ(std::string(port.m_szReply, 9), std::string("H10\0\0\0\0\0\0", 9));
    EXPECT_EQ(diagnostics.assertions.size(), 1u);
    EXPECT_TRUE(diagnostics.traces.empty());
}

TEST_F(SerialPortIoTest, AReplyComesBackWholeWhenItBeginsWithinThreeSecondsAndNoGapIsQuiet) {
    // Pieces as a receiver or a USB adapter may deliver them; those of the
    // second case take longer together than the quiet interval, which must
    // count from the latest byte. The last begins just before the time-out
    // and is only known complete after it.
    struct Case {
        std::uint32_t quietInterval;
        std::chrono::milliseconds before;
        std::vector<std::string> pieces;
        std::chrono::milliseconds gap;
    };
    for (const Case& c :
         {Case{50, 0ms, {"H1", "01\r\n"}, 20ms}, Case{300, 0ms, {"G", "00", "0\r\n"}, 200ms},
          Case{1000, 2500ms, {"H101\r\n"}, 0ms}}) {
        port.SetTimeouts(COMMTIMEOUTS{c.quietInterval, 0, 0, 0, 0});
        std::thread receiver([this, &c] {
            std::this_thread::sleep_for(c.before);
            for (const std::string& piece : c.pieces) {
                line.Send(piece);
                std::this_thread::sleep_for(c.gap);
            }
        });
        EXPECT_TRUE(port.ReceiveReply(8));
        receiver.join();
        std::string whole;
        for (const std::string& piece : c.pieces) {
            whole += piece;
        }
        EXPECT_EQ(port.m_szReply, whole);
    }
    EXPECT_TRUE(diagnostics.traces.empty());
}

TEST_F(SerialPortIoTest, NeitherSilenceNorWhatAnEarlierUserLeftUnreadIsAReply) {
    line.Send("H100\r\n");
    ASSERT_TRUE(port.ReceiveReply(8));
    port.Close();
    line.SendQueued("G000\r\n");
    OpenCom1(port);
    // A read that ends of itself after 5 s shows a wait that went on.
    port.SetTimeouts(COMMTIMEOUTS{50, 0, 5000, 0, 0});
    std::strcpy(port.m_szReply, "earlier");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.ReceiveReply(8));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 3000ms);
    EXPECT_LT(waited, 4000ms);
    EXPECT_STREQ(port.m_szReply, "earlier");
    EXPECT_EQ(diagnostics.traces, (std::vector<std::string>{"No Data from Radio port\n"}));
    // The read is left running; the next exchange takes it over.
    EXPECT_EQ(g_radioOverlapped.Internal, STATUS_PENDING);
    Command("H1?\r\n");
    line.Send("H100\r\n");
    ASSERT_TRUE(port.ReceiveReply(8));
    EXPECT_STREQ(port.m_szReply, "H100\r\n");
    // Nothing was left over for another read to find.
    port.SetImmediateReads();
    std::uint32_t bytes = 99;
    char rest[8];
    EXPECT_TRUE(port.Read(rest, sizeof rest, g_radioOverlapped, &bytes));
    EXPECT_EQ(bytes, 0u);
}

TEST_F(SerialPortIoTest, TotalReadTimeOutsCountFromTheReadsTurnAndBoundTheWaitForAByte) {
    port.SetTimeouts(COMMTIMEOUTS{0, 0, 300, 0, 0});
    OVERLAPPED first;
    OVERLAPPED second;
    std::array<char, 8> buffer{};
    std::uint32_t bytes = 99;
    EXPECT_FALSE(port.Read(buffer.data(), 8, first));
    EXPECT_FALSE(port.Read(buffer.data(), 8, second));
    port.GetOverlappedResult(first, bytes, true);
    EXPECT_EQ(second.Internal, STATUS_PENDING);
    port.GetOverlappedResult(second, bytes, true);
    EXPECT_EQ(bytes, 0u);

    // With the immediate interval a total, by constant or by multiplier,
    // bounds the wait for the first byte.
    for (const COMMTIMEOUTS& timeouts :
         {COMMTIMEOUTS{MAXDWORD, 0, 3000, 0, 0}, COMMTIMEOUTS{MAXDWORD, 375, 0, 0, 0}}) {
        port.SetTimeouts(timeouts);
        EXPECT_FALSE(port.Read(buffer.data(), 8, first));
        std::this_thread::sleep_for(500ms);  // well within 3000 ms (375 ms for each of 8 bytes)
        line.Send("G");
        port.GetOverlappedResult(first, bytes, true);
        EXPECT_EQ(bytes, 1u);
    }
}

TEST_F(SerialPortIoTest, AWriteTheLineCannotTakeAtOnceGoesOnWhileTheReplyIsAwaited) {
    std::string big(256 * 1024, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>('a' + (i % 26));
    }
    EXPECT_FALSE(port.Write(big.data(), static_cast<std::uint32_t>(big.size()), g_radioOverlapped));
    std::string drained;
    std::thread receiver([&] {
        drained = line.Receive(big.size());
        line.Send("G000\r\n");
    });
    EXPECT_TRUE(port.ReceiveReply(8));
    receiver.join();
    EXPECT_EQ(drained, big);
    EXPECT_STREQ(port.m_szReply, "G000\r\n");

    // Through an event of the caller's own, the same write is waited for.
    std::thread drain([&] { drained = line.Receive(big.size()); });
    OVERLAPPED record;
    EXPECT_TRUE(port.WriteAndWait(big.data(), static_cast<std::uint32_t>(big.size()), record));
    const std::unique_ptr<Event> event(record.hEvent);
    EXPECT_TRUE(event->IsSet());
    drain.join();
    EXPECT_EQ(drained, big);

    // A flush waits for output the line is still taking.
    std::thread flushed([&] { drained = line.Receive(big.size()); });
    port.Write(big.data(), static_cast<std::uint32_t>(big.size()), g_radioOverlapped);
    EXPECT_EQ(SerialErrorOf([this] { port.Flush(); }), std::nullopt);
    flushed.join();
    EXPECT_EQ(drained, big);
    EXPECT_TRUE(diagnostics.traces.empty());
}

TEST_F(SerialPortIoTest, AReceiverThatVanishesEndsPendingTransfersAndLaterCallsWithExceptions) {
    OVERLAPPED record;
    const std::string big(256 * 1024, 'x');
    ASSERT_FALSE(port.Write(big.data(), static_cast<std::uint32_t>(big.size()), record));
    std::thread pull([this] {
        std::this_thread::sleep_for(100ms);
        line.HangUp();
    });
    EXPECT_EQ(SerialErrorOf([this] { port.ReceiveReply(8); }), Code(EIO));
    pull.join();
    std::uint32_t bytes = 0;
    EXPECT_EQ(SerialErrorOf([&] { port.GetOverlappedResult(record, bytes, true); }), Code(EIO));
    EXPECT_EQ(diagnostics.traces.at(0), "Failed in call to GetOverlappedResult\n");

    diagnostics.traces.clear();
    EXPECT_EQ(SerialErrorOf([this] { port.ReceiveReply(8); }), Code(EIO));
    EXPECT_EQ(diagnostics.traces.at(0), "Failed in call to ReadFile\n");
    EXPECT_EQ(SerialErrorOf([this] { port.Write("H1?\r\n", 5, g_radioOverlapped); }), Code(EIO));
    EXPECT_EQ(diagnostics.traces.at(2), "Failed in call to WriteFile\n");
    EXPECT_EQ(SerialErrorOf([this] { port.Flush(); }), Code(EIO));
}

TEST_F(SerialPortIoTest, BytesThatArrivedBeforeAHangUpAreStillDelivered) {
    SendIntoPendingRead(port, line, "abc");
    ASSERT_EQ(line.Queued(), 0);
    // The next command drops the read; the bytes it took stay.
    Command("H1?\r\n");
    line.HangUp();
    ASSERT_TRUE(port.ReceiveReply(2));
    EXPECT_STREQ(port.m_szReply, "ab");
    ASSERT_TRUE(port.ReceiveReply(8));
    EXPECT_STREQ(port.m_szReply, "c");
    EXPECT_EQ(SerialErrorOf([this] { port.ReceiveReply(8); }), Code(EIO));
}

TEST_F(SerialPortIoTest, ClosingAbortingOrCancellingEndsAPendingRead) {
    port.BeginReceive(8);
    port.AbortWrites();
    EXPECT_EQ(g_radioOverlapped.Internal, STATUS_PENDING);
    port.AbortReads();
    EXPECT_EQ(g_radioOverlapped.Internal, Code(ECANCELED));
    port.BeginReceive(8);
    port.CancelPendingIo();
    EXPECT_EQ(g_radioOverlapped.Internal, Code(ECANCELED));

    const CancelIoEntry saved = g_cancelIoEntry;
    g_cancelIoEntry.m_pfnCancelIo = nullptr;
    EXPECT_EQ(SerialErrorOf([this] { port.CancelPendingIo(); }), ERROR_CALL_NOT_IMPLEMENTED);
    g_cancelIoEntry = saved;
    EXPECT_EQ(diagnostics.traces,
              (std::vector<std::string>{
                  "CancelIo function is not supported on this OS. You need to be running at least "
                  "NT 4 or Win 98 to use this function\n",
                  "Warning: throwing CSerialException for error 120\n"}));

    port.BeginReceive(8);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(g_radioOverlapped.Internal, Code(ECANCELED));
    EXPECT_TRUE(g_radioEvent.IsSet());

    // Destroyed with a read pending into its buffer: the read ends first.
    {
        CSerialPort doomed;
        OpenCom1(doomed);
        doomed.BeginReceive(8);
    }
    line.SendQueued("late rep");
    EXPECT_EQ(g_radioOverlapped.Internal, Code(ECANCELED));
}

TEST_F(SerialPortIoTest, WaitingForInputKeepsTheEventMask) {
    port.SetMask(EV_ERR);
    EXPECT_FALSE(port.WaitForInput(50));
    std::thread sender([this] {
        std::this_thread::sleep_for(50ms);
        line.Send("G");
    });
    EXPECT_TRUE(port.WaitForInput(10000));
    sender.join();
    EXPECT_TRUE(port.WaitForInput(0));
    std::uint32_t mask = 0;
    port.GetMask(mask);
    EXPECT_EQ(mask, EV_ERR);

    // A new mask ends a wait still pending, with no events.
    Event ended(EventReset::Manual, false);
    OVERLAPPED record;
    record.hEvent = &ended;
    std::uint32_t events = 99;
    EXPECT_EQ(SerialErrorOf([&] { port.WaitEvent(events, record); }), ERROR_IO_PENDING);
    port.SetMask(EV_RXCHAR);
    EXPECT_TRUE(ended.IsSet());
    EXPECT_EQ(events, 0u);
}

TEST_F(SerialPortIoTest, CompletionRoutinesRunOnlyInAlertableWaits) {
    char reply[8] = {};
    port.ReadEx(reply, 6);
    port.WriteEx("H1?\r\n", 5);
    EXPECT_EQ(line.Receive(5), "H1?\r\n");
    line.Send("H100\r\n");
    EXPECT_EQ(SleepEx(100, false), 0u);
    EXPECT_TRUE(port.completions.empty());

    while (port.completions.size() < 2 && SleepEx(5000, true) == WAIT_IO_COMPLETION) {
    }
    EXPECT_EQ(port.completions, (Completions{{0, 5}, {0, 6}}));
    EXPECT_EQ(std::string(reply, 6), "H100\r\n");

    // Only serial ports hear of completions.
    NotAPort stranger;
    OVERLAPPED record;
    record.pIssuer = &stranger;
    CSerialPort::DispatchCompletion(0, 1, &record);
    CSerialPort::DispatchCompletion(0, 1, nullptr);
    EXPECT_EQ(diagnostics.assertions.size(), 2u);
    auto* const owned = new OVERLAPPED;
    owned->pIssuer = &port;
    CSerialPort::DispatchCompletion(ECANCELED, 3, owned);
    EXPECT_EQ(port.completions.back(), (std::pair<std::uint32_t, std::uint32_t>{ECANCELED, 3}));

    line.HangUp();
    EXPECT_EQ(SerialErrorOf([&] { port.ReadEx(reply, 8); }), Code(EIO));
    EXPECT_EQ(diagnostics.traces.at(0), "Failed in call to ReadFileEx\n");
    EXPECT_EQ(SleepEx(0, true), 0u);
    EXPECT_EQ(port.completions.size(), 3u);
}
