#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/ErrorText.h"
#include "platform/kernel/Wait.h"
#include "serial/serialport.h"
#include "tests/serial/FakeReceiverLine.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Diagnostics.h"

namespace {

// Keeps what its completion routines report.
class CRecordingPort : public CSerialPort {
public:
    struct Completion {
        std::uint32_t error;
        std::uint32_t count;
    };

    void IoCompleted(std::uint32_t dwErrorCode, std::uint32_t dwCount,
                     OVERLAPPED* lpOverlapped) override {
        completions.push_back({dwErrorCode, dwCount});
        CSerialPort::IoCompleted(dwErrorCode, dwCount, lpOverlapped);
    }

    std::vector<Completion> completions;
};

class NotAPort : public CObject {};

class SerialPortIoTest : public ::testing::Test {
protected:
    void SetUp() override { port.Open(1, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true); }

    // A command written as the run loop writes it: through the shared record.
    void Command(std::string_view text) {
        port.Write(text.data(), static_cast<std::uint32_t>(text.size()), g_radioOverlapped);
        ASSERT_EQ(line.Receive(text.size()), text);
    }

    std::string Reply(std::size_t length) const { return std::string(port.m_szReply, length); }

    ConfigHome home;
    FakeReceiverLine line{home.Path()};
    CapturedDiagnostics diagnostics;
    CRecordingPort port;
};

}  // namespace

TEST_F(SerialPortIoTest, AFullReplyIsTakenAtOnce) {
    line.Send("H101\r\nxy");
    ASSERT_TRUE(port.ReceiveReply(8));
    EXPECT_EQ(Reply(9), std::string("H101\r\nxy\0", 9));
    EXPECT_EQ(std::strstr(port.m_szReply, "H101"), port.m_szReply);
    EXPECT_EQ(port.m_dwBytesRead, 8u);
    EXPECT_TRUE(diagnostics.traces.empty());
}

TEST_F(SerialPortIoTest, RepliesOfAnyLengthEndTerminatedWithoutOlderBytes) {
    Command("H1?\r\n");
    line.Send("H100\r\n");
    ASSERT_TRUE(port.ReceiveReply(8));
    EXPECT_STREQ(port.m_szReply, "H100\r\n");
    EXPECT_EQ(port.m_dwBytesRead, 6u);

    // A shorter reply must not pick up the tail of the one before.
    Command("H101\r\n");
    line.Send("G0\r\n");
    ASSERT_TRUE(port.ReceiveReply(8));
    EXPECT_STREQ(port.m_szReply, "G0\r\n");

    // A zero byte ends the text; the rest of the count is zeros.
    line.Send(std::string("H10\0abcd", 8));
    ASSERT_TRUE(port.ReceiveReply(8));
    EXPECT_EQ(Reply(9), std::string("H10\0\0\0\0\0\0", 9));
}

TEST_F(SerialPortIoTest, ACountBeyondTheReceiveBufferIsRefusedAndCut) {
    const std::string longReply(CSerialPort::kReceiveBufferSize + 50, 'r');
    line.Send(longReply);
    ASSERT_TRUE(port.ReceiveReply(CSerialPort::kReceiveBufferSize + 50));
    EXPECT_EQ(diagnostics.assertions.size(), 1u);
    EXPECT_EQ(port.m_dwBytesRead, CSerialPort::kReceiveBufferSize);
    EXPECT_EQ(std::strlen(port.m_szReply), CSerialPort::kReceiveBufferSize);
}

TEST_F(SerialPortIoTest, AnOutstandingRadioReadIsTakenOverByTheNext) {
    port.BeginReceive(8);
    port.BeginReceive(8);
    line.Send("G000\r\n");
    ASSERT_EQ(WaitForSingleObject(g_radioEvent, 5000), WAIT_OBJECT_0);
    std::uint32_t bytes = 0;
    port.GetOverlappedResult(g_radioOverlapped, bytes, true);
    EXPECT_EQ(bytes, 6u);

    // Nothing is left over for a second read to find.
    port.SetImmediateReads();
    char rest[8];
    EXPECT_TRUE(port.Read(rest, sizeof rest, g_radioOverlapped, &bytes));
    EXPECT_EQ(bytes, 0u);
}

TEST_F(SerialPortIoTest, OverlappedTransfersReportWhetherTheyEndedAtOnce) {
    line.SendQueued("12345678");
    char buffer[8];
    std::uint32_t bytes = 0;
    OVERLAPPED record;
    Event event(EventReset::Manual, false);
    record.hEvent = &event;
    EXPECT_TRUE(port.Read(buffer, 8, record, &bytes));
    EXPECT_EQ(bytes, 8u);
    line.SendQueued("abcdefgh");
    bytes = 42;
    EXPECT_TRUE(port.Read(buffer, 8, record));
    EXPECT_EQ(bytes, 42u);
    EXPECT_EQ(std::string(buffer, 8), "abcdefgh");

    // More than the line takes at once: pending, no exception, signalled later.
    const std::string big(256 * 1024, 'k');
    EXPECT_FALSE(port.Write(big.data(), static_cast<std::uint32_t>(big.size()), record));
    EXPECT_FALSE(event.IsSet());
    EXPECT_EQ(line.Receive(big.size()).size(), big.size());
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    port.GetOverlappedResult(record, bytes, false);
    EXPECT_EQ(bytes, big.size());
    EXPECT_TRUE(diagnostics.traces.empty());
}

TEST_F(SerialPortIoTest, SynchronousCallsOnAnOverlappedPort) {
    EXPECT_EQ(port.Write("P100\r\n", 6), 6u);
    EXPECT_EQ(line.Receive(6), "P100\r\n");
    EXPECT_TRUE(diagnostics.assertions.empty());

    // Both still work after the assertion; the "z" left over ends the wait.
    char buffer[4];
    line.Send("xyz");
    EXPECT_EQ(port.Read(buffer, 2), 2u);
    std::uint32_t events = 0;
    port.SetMask(EV_RXCHAR);
    port.WaitEvent(events);
    EXPECT_EQ(events, EV_RXCHAR);
    EXPECT_EQ(diagnostics.assertions.size(), 2u);
}

TEST_F(SerialPortIoTest, WriteAndWaitHandsTheCallerItsEvent) {
    OVERLAPPED record;
    EXPECT_TRUE(port.WriteAndWait("H1?\r\n", 5, record));
    const std::unique_ptr<Event> event(record.hEvent);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->ResetMode(), EventReset::Manual);
    EXPECT_TRUE(event->IsSet());
    EXPECT_EQ(line.Receive(5), "H1?\r\n");
}

TEST_F(SerialPortIoTest, AReceiverThatVanishesEndsTheExchangeWithAnException) {
    std::thread pull([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        line.HangUp();
    });
    const std::optional<std::uint32_t> error = SerialErrorOf([this] { port.ReceiveReply(8); });
    pull.join();
    EXPECT_EQ(error, static_cast<std::uint32_t>(EIO));
    EXPECT_EQ(diagnostics.traces.back(), "Warning: throwing CSerialException for error 5\n");

    diagnostics.traces.clear();
    EXPECT_EQ(SerialErrorOf([this] { port.ReceiveReply(8); }), static_cast<std::uint32_t>(EIO));
    EXPECT_EQ(diagnostics.traces.front(), "Failed in call to ReadFile\n");
    diagnostics.traces.clear();
    EXPECT_EQ(SerialErrorOf([this] { port.Write("H100\r\n", 6, g_radioOverlapped); }),
              static_cast<std::uint32_t>(EIO));
    EXPECT_EQ(diagnostics.traces.front(), "Failed in call to WriteFile\n");
    EXPECT_EQ(SerialErrorOf([this] { port.Write("P100\r\n", 6); }),
              static_cast<std::uint32_t>(EIO));
    EXPECT_EQ(SerialErrorOf([this] { port.Flush(); }), static_cast<std::uint32_t>(EIO));
}

TEST_F(SerialPortIoTest, ClosingWithAPendingReadCancelsIt) {
    port.BeginReceive(8);
    EXPECT_EQ(g_radioOverlapped.Internal, STATUS_PENDING);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(g_radioOverlapped.Internal, static_cast<std::uint32_t>(ECANCELED));
    EXPECT_TRUE(g_radioEvent.IsSet());

    // Destroyed with a read pending into its buffer: the read ends first.
    {
        CSerialPort doomed;
        doomed.Open(1, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true);
        doomed.BeginReceive(8);
    }
    line.SendQueued("late rep");
    EXPECT_EQ(g_radioOverlapped.Internal, static_cast<std::uint32_t>(ECANCELED));
}

TEST_F(SerialPortIoTest, EventWaitsAndWaitingForInput) {
    OVERLAPPED record;
    Event event(EventReset::Manual, false);
    record.hEvent = &event;
    std::uint32_t events = 0;
    port.SetMask(EV_RXCHAR);
    EXPECT_EQ(SerialErrorOf([&] { port.WaitEvent(events, record); }), ERROR_IO_PENDING);
    EXPECT_EQ(diagnostics.traces.front(), "Failed in call to WaitCommEvent\n");
    port.SetMask(EV_ERR);

    EXPECT_FALSE(port.WaitForInput(500));
    std::uint32_t mask = 0;
    port.GetMask(mask);
    EXPECT_EQ(mask, EV_ERR);

    std::thread sender([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        line.Send("G");
    });
    EXPECT_TRUE(port.WaitForInput(10000));
    sender.join();
    EXPECT_TRUE(port.WaitForInput(0));
    port.GetMask(mask);
    EXPECT_EQ(mask, EV_ERR);
}

TEST_F(SerialPortIoTest, CompletionRoutinesRunInAlertableWaits) {
    char reply[8] = {};
    port.ReadEx(reply, 6);
    port.WriteEx("H1?\r\n", 5);
    EXPECT_EQ(line.Receive(5), "H1?\r\n");
    line.Send("H100\r\n");
    EXPECT_EQ(SleepEx(100, false), 0u);
    EXPECT_TRUE(port.completions.empty());

    while (port.completions.size() < 2 && SleepEx(5000, true) == WAIT_IO_COMPLETION) {
    }
    ASSERT_EQ(port.completions.size(), 2u);
    EXPECT_EQ(port.completions[0].error, 0u);
    EXPECT_EQ(port.completions[0].count, 5u);
    EXPECT_EQ(port.completions[1].count, 6u);
    EXPECT_EQ(std::string(reply, 6), "H100\r\n");

    line.HangUp();
    char more[8];
    EXPECT_EQ(SerialErrorOf([&] { port.ReadEx(more, 8); }), static_cast<std::uint32_t>(EIO));
    EXPECT_EQ(diagnostics.traces.front(), "Failed in call to ReadFileEx\n");
    EXPECT_EQ(SleepEx(0, true), 0u);
    EXPECT_EQ(port.completions.size(), 2u);
}

TEST_F(SerialPortIoTest, CompletionsReachOnlySerialPorts) {
    NotAPort stranger;
    OVERLAPPED record;
    record.pIssuer = &stranger;
    CSerialPort::DispatchCompletion(0, 1, &record);
    CSerialPort::DispatchCompletion(0, 1, nullptr);
    EXPECT_EQ(diagnostics.assertions.size(), 2u);

    auto* const owned = new OVERLAPPED;
    owned->pIssuer = &port;
    CSerialPort::DispatchCompletion(ECANCELED, 3, owned);
    ASSERT_EQ(port.completions.size(), 1u);
    EXPECT_EQ(port.completions[0].error, static_cast<std::uint32_t>(ECANCELED));
    EXPECT_EQ(port.completions[0].count, 3u);
}

TEST_F(SerialPortIoTest, CancellingPendingTransfers) {
    port.BeginReceive(8);
    port.CancelPendingIo();
    EXPECT_EQ(g_radioOverlapped.Internal, static_cast<std::uint32_t>(ECANCELED));

    const CancelIoEntry saved = g_cancelIoEntry;
    g_cancelIoEntry.m_pfnCancelIo = nullptr;
    const std::optional<std::uint32_t> error = SerialErrorOf([this] { port.CancelPendingIo(); });
    g_cancelIoEntry = saved;
    EXPECT_EQ(error, ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(diagnostics.traces,
              (std::vector<std::string>{
                  "CancelIo function is not supported on this OS. You need to be running at least "
                  "NT 4 or Win 98 to use this function\n",
                  "Warning: throwing CSerialException for error 120\n"}));
}
