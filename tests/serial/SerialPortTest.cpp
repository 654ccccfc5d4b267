#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <termios.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/ErrorText.h"
#include "serial/CommDevice.h"
#include "serial/serialport.h"
#include "tests/serial/ForkedChild.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Diagnostics.h"

namespace {

using Traces = std::vector<std::string>;

class SerialPortTest : public ::testing::Test {
protected:
    termios Line() const {
        termios line{};
        ::tcgetattr(fakeLine.TerminalFd(), &line);
        return line;
    }

    ConfigHome home;
    FakeReceiverLine fakeLine{home.Path()};
    CapturedDiagnostics diagnostics;
    CSerialPort port;
};

// Takes every free descriptor but `left` until the end of the scope.
class DescriptorsLeft {
public:
    explicit DescriptorsLeft(std::size_t left) {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        const rlimit lowered{std::min<rlim_t>(m_saved.rlim_cur, 512), m_saved.rlim_max};
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (UniqueFd fd; (fd = UniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC))).IsValid();) {
            m_taken.push_back(std::move(fd));
        }
        m_taken.resize(m_taken.size() - left);
    }
    ~DescriptorsLeft() {
        m_taken.clear();
        ::setrlimit(RLIMIT_NOFILE, &m_saved);
    }

private:
    rlimit m_saved{};
    std::vector<UniqueFd> m_taken;
};

// The handle a port holds, as its dump shows it.
std::string HandleOf(const CSerialPort& port) {
    std::ostringstream dump;
    port.DumpDiagnostics(dump);
    const std::string text = dump.str();
    const std::size_t at = text.find("m_hComm = ") + 10;
    return text.substr(at, text.find('\n', at) - at);
}

}  // namespace

TEST_F(SerialPortTest, OpenSetsTheLineFromItsArgumentsAndLeavesTheRestAsTheDriverHadIt) {
    // A pseudo-terminal drops PARENB but keeps PARODD and CMSPAR, which
    // tell the five parity choices apart.
    const std::vector<std::pair<SerialParity, tcflag_t>> parities{{ParityEven, 0},
                                                                  {ParityMark, PARODD | CMSPAR},
                                                                  {ParityNone, 0},
                                                                  {ParityOdd, PARODD},
                                                                  {ParitySpace, CMSPAR}};
    for (const auto& [parity, flags] : parities) {
        OpenCom1(port, FlowNone, parity, StopBitsTwo);
        EXPECT_EQ(Line().c_cflag & (PARODD | CMSPAR | CSTOPB), flags | CSTOPB) << parity;
    }

    struct FlowCase {
        SerialFlowControl flow;
        unsigned cts, dsr, xon, dtr, rts;
    };
    DCB dcb{};
    for (const FlowCase& c :
         {FlowCase{FlowNone, 0, 0, 0, 1, 1}, FlowCase{FlowCtsRts, 1, 0, 0, 1, 2},
          FlowCase{FlowCtsDtr, 1, 0, 0, 2, 1}, FlowCase{FlowDsrRts, 0, 1, 0, 1, 2},
          FlowCase{FlowDsrDtr, 0, 1, 0, 2, 1}, FlowCase{FlowXonXoff, 0, 0, 1, 1, 1}}) {
        OpenCom1(port, c.flow);
        port.GetState(dcb);
        EXPECT_EQ(std::vector<unsigned>({dcb.fOutxCtsFlow, dcb.fOutxDsrFlow, dcb.fOutX, dcb.fInX,
                                         dcb.fDtrControl, dcb.fRtsControl}),
                  std::vector<unsigned>({c.cts, c.dsr, c.xon, c.xon, c.dtr, c.rts}))
            << c.flow;
    }
    EXPECT_EQ(std::vector<unsigned>({dcb.BaudRate, dcb.ByteSize, dcb.StopBits,
                                     static_cast<unsigned>(dcb.XonChar),
                                     static_cast<unsigned>(dcb.XoffChar), dcb.XonLim, dcb.XoffLim}),
              std::vector<unsigned>({9600, 8, ONESTOPBIT, 0x11, 0x13, 100, 100}));
    EXPECT_EQ(Line().c_lflag & (ICANON | ECHO), 0u);
    COMMTIMEOUTS timeouts{};
    port.GetTimeouts(timeouts);
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 50u);
    EXPECT_TRUE(diagnostics.traces.empty());
    EXPECT_TRUE(diagnostics.assertions.empty());

    // An argument outside its enumeration is a programming error; the
    // field keeps what the driver had.
    port.Open(1, 9600, static_cast<SerialParity>(9), 8, StopBitsOne, FlowNone, true);
    EXPECT_EQ(diagnostics.assertions.size(), 1u);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortTest, AMissingDeviceOrANonTerminalFailsToOpenWithItsCode) {
    const std::filesystem::path link = home.Path() / "vantrel" / "dosdevices" / "com2";
    const auto openCom2 = [this] {
        return SerialErrorOf(
            [this] { port.Open(2, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true); });
    };
    std::filesystem::create_symlink(home.Path() / "unplugged", link);
    EXPECT_EQ(openCom2(), Code(ENOENT));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(diagnostics.traces, (Traces{"Failed to open up the comms port\n",
                                          "Warning: throwing CSerialException for error 2\n"}));
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/dev/null", link);
    EXPECT_EQ(openCom2(), Code(ENOTTY));
}

TEST_F(SerialPortTest, APortAnotherProgramHoldsIsRefused) {
    {
        // Locks belong to the open file, so a second one in this process
        // holds the port as another program would.
        const UniqueFd holder(::open(fakeLine.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
        ASSERT_EQ(::flock(holder.Get(), LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(SerialErrorOf([this] { OpenCom1(port); }), Code(EACCES));
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(diagnostics.traces.at(0), "Failed to open up the comms port\n");
    }
    // Two objects of ours are two programs too; opening again or closing
    // gives the port up (a leaked descriptor would keep it locked).
    CSerialPort first;
    OpenCom1(first);
    OpenCom1(first);
    EXPECT_EQ(SerialErrorOf([this] { OpenCom1(port); }), Code(EACCES));
    first.Close();
    OpenCom1(port);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortTest, RunningOutOfDescriptorsWhileOpeningFailsCleanly) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own checks need descriptors of their own";
#endif
    // The terminal opens but its transfers cannot be set up; then the port
    // opens but its wait event cannot be made.
    for (const auto& [left, trace] :
         {std::pair<std::size_t, std::string>{1, "Failed to open up the comms port\n"},
          {2, "Failed in call to CreateEvent in Open\n"}}) {
        diagnostics.traces.clear();
        {
            const DescriptorsLeft scope(left);
            EXPECT_EQ(SerialErrorOf([this] { OpenCom1(port); }), Code(EMFILE));
        }
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(diagnostics.traces.at(0), trace);
    }
    // Nothing was kept: the port is free and opens now.
    OpenCom1(port);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortTest, AnyTerminalCanBeAttachedAndADetachedOneStaysOpen) {
    const int foreign = ::open(fakeLine.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    port.Attach(foreign, false);
    // Blocking, a read started with nothing there would hold the caller.
    EXPECT_NE(::fcntl(foreign, F_GETFL) & O_NONBLOCK, 0);
    fakeLine.Send("G001\r\n");
    char reply[8] = {};
    EXPECT_EQ(port.Read(reply, sizeof reply), 6u);
    EXPECT_STREQ(reply, "G001\r\n");
    EXPECT_EQ(port.Detach(), foreign);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Detach(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(::close(foreign), 0);
    EXPECT_TRUE(diagnostics.traces.empty());

    // One that is no terminal is refused, and closed: it was handed over.
    const int notATerminal = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    EXPECT_EQ(SerialErrorOf([&] { port.Attach(notATerminal, false); }), Code(ENOTTY));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(::fcntl(notATerminal, F_GETFD), -1);
    EXPECT_EQ(diagnostics.traces.at(0), "Failed to attach the comms port\n");
}

TEST_F(SerialPortTest, ADetachedPortLeavesNothingBehindToDisturbItsDescriptor) {
    int detached = INVALID_HANDLE_VALUE;
    {
        CSerialPort doomed;
        OpenCom1(doomed);
        // A read pending into its buffer, as after a reply that never came.
        doomed.BeginReceive(8);
        detached = doomed.Detach();
        EXPECT_EQ(g_radioOverlapped.Internal, Code(ECANCELED));
    }
    // A late reply is the caller's to read, not the gone object's.
    fakeLine.SendQueued("late rep");
    char late[8];
    EXPECT_EQ(::read(detached, late, sizeof late), 8);

    // The number comes back with the next open; nothing may take it away.
    ASSERT_EQ(::close(detached), 0);
    OpenCom1(port);
    ASSERT_EQ(HandleOf(port), std::to_string(detached));
    port.Write("H1?\r\n", 5, g_radioOverlapped);
    EXPECT_EQ(fakeLine.Receive(5), "H1?\r\n");
    fakeLine.Send("H100\r\n");
    ASSERT_TRUE(port.ReceiveReply(8));
    EXPECT_STREQ(port.m_szReply, "H100\r\n");
    EXPECT_TRUE(diagnostics.traces.empty());
}

TEST_F(SerialPortTest, APortHeldByAProgramThatWasKilledIsFreeForAnOrdinaryUser) {
    const passwd* const nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const passwd user = *nobody;
    // Its mode alone must let an ordinary user in, as a group does for a real port.
    ASSERT_EQ(::chmod(fakeLine.Path().c_str(), 0666), 0);
    const auto anOrdinaryUserOpens = [this, &user] {
        ForkedChild opener([this, &user] {
            return BecomeOrdinaryUser(user) && CommDevice::OpenExclusive(fakeLine.Path()) != nullptr
                       ? 0
                       : 1;
        });
        return opener.Wait() == 0;
    };

    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    UniqueFd readyRead(ready[0]);
    UniqueFd readyWrite(ready[1]);
    ForkedChild holder([this, &readyWrite] {
        CSerialPort held;
        OpenCom1(held);
        if (::write(readyWrite.Get(), "!", 1) == 1) {
            ::pause();
        }
        return 1;
    });
    readyWrite.Reset();
    char signal = 0;
    ASSERT_EQ(::read(readyRead.Get(), &signal, 1), 1);
    EXPECT_FALSE(anOrdinaryUserOpens());
    // The receiver's end stays open all the while, as the simulator keeps it.
    holder.Kill();
    EXPECT_EQ(holder.Wait(), 128 + SIGKILL);
    EXPECT_TRUE(anOrdinaryUserOpens());
}

TEST_F(SerialPortTest, ExceptionsCarryTheirCodeAndText) {
    struct Case {
        std::uint32_t code;
        bool known;
        std::string cut;
        std::string whole;
    };
    for (const Case& c :
         {Case{ENOENT, true, "No such f", "No such file or directory"},
          Case{ERROR_IO_PENDING, true, "Overlappe", "Overlapped I/O operation is in progress"},
          Case{ERROR_CALL_NOT_IMPLEMENTED, true, "This func",
               "This function is not supported on this system"},
          Case{54321, false, "", ""}}) {
        const std::unique_ptr<CSerialException, ExceptionDeleter> exception(
            new CSerialException(c.code));
        char buffer[10];
        unsigned help = 7;
        EXPECT_EQ(exception->GetErrorText(buffer, sizeof buffer, &help), c.known);
        EXPECT_EQ(buffer, c.cut);
        EXPECT_EQ(help, 0u);
        EXPECT_EQ(exception->GetErrorText(), c.whole);
        // No room at all: nothing may be written, not even the zero.
        char guard = 'x';
        EXPECT_EQ(exception->GetErrorText(&guard, 0), c.known);
        EXPECT_EQ(guard, 'x');
    }
}

TEST_F(SerialPortTest, OperationsOnAClosedPortAreProgrammingErrorsThatStillFail) {
    DCB dcb{};
    EXPECT_EQ(SerialErrorOf([&] { port.GetState(dcb); }), Code(EBADF));
    EXPECT_EQ(SerialErrorOf([&] { port.Write("H", 1); }), Code(EBADF));
    EXPECT_EQ(diagnostics.assertions.size(), 2u);
    EXPECT_EQ(diagnostics.traces.at(0), "Failed in call to GetCommState\n");

    // ClearBreak has no trace line of its own.
    diagnostics.traces.clear();
    EXPECT_EQ(SerialErrorOf([&] { port.ClearBreak(); }), Code(EBADF));
    EXPECT_EQ(diagnostics.traces, (Traces{"Warning: throwing CSerialException for error 9\n"}));

    COMMCONFIG config{};
    diagnostics.assertions.clear();
    SerialErrorOf([&] { CSerialPort::GetDefaultConfig(0, config); });
    SerialErrorOf([&] { port.Open(256, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true); });
    EXPECT_EQ(diagnostics.assertions.size(), 2u);
}

TEST_F(SerialPortTest, DriverSettingsReachTheLine) {
    OpenCom1(port);
    COMMCONFIG config{};
    port.GetConfig(config);
    EXPECT_EQ(config.dcb.BaudRate, 9600u);
    config.dcb.BaudRate = 4800;
    port.SetConfig(config);
    const termios line = Line();
    EXPECT_EQ(::cfgetospeed(&line), B4800);

    fakeLine.SendQueued("abc");
    EXPECT_EQ(port.GetInputCount(), 3u);
    port.ClearInputBuffer();
    EXPECT_EQ(port.GetInputCount(), 0u);
    // Bytes a read has already taken from the kernel are input all the same.
    SendIntoPendingRead(port, fakeLine, "def");
    ASSERT_EQ(fakeLine.Queued(), 0);
    port.ClearInputBuffer();
    EXPECT_EQ(port.GetInputCount(), 0u);
    port.AbortReads();
    EXPECT_TRUE(diagnostics.traces.empty());

    port.SetQueueSizes(1000, 2000);
    COMMPROP properties{};
    port.GetProperties(properties);
    EXPECT_EQ(properties.dwCurrentRxQueue, 1000u);
    EXPECT_EQ(properties.dwCurrentTxQueue, 2000u);

    EXPECT_EQ(SerialErrorOf([&] { port.Escape(99); }), Code(EINVAL));
    EXPECT_EQ(diagnostics.traces.at(0), "Failed in call to EscapeCommFunction\n");
}

TEST_F(SerialPortTest, TimeOutShortcutsSetTheirFieldsAndKeepTheRest) {
    OpenCom1(port);
    struct Case {
        void (CSerialPort::*shortcut)();
        std::vector<std::uint32_t> expected;
    };
    for (const auto& [shortcut, expected] :
         {Case{&CSerialPort::SetImmediateTimeouts, {MAXDWORD, 0, 0, 0, 0}},
          Case{&CSerialPort::ClearWriteTimeouts, {1, 2, 3, 0, 0}},
          Case{&CSerialPort::SetImmediateReads, {MAXDWORD, 0, 0, 4, 5}}}) {
        port.SetTimeouts(COMMTIMEOUTS{1, 2, 3, 4, 5});
        (port.*shortcut)();
        COMMTIMEOUTS t{};
        port.GetTimeouts(t);
        EXPECT_EQ(
            std::vector<std::uint32_t>({t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                                        t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                                        t.WriteTotalTimeoutConstant}),
            expected);
    }
}

TEST_F(SerialPortTest, DefaultConfigurationIsThatOfThePortNobodyHolds) {
    COMMCONFIG config{};
    CSerialPort::GetDefaultConfig(1, config);
    EXPECT_EQ(config.dcb.BaudRate, 38400u);
    config.dcb.BaudRate = 1200;
    CSerialPort::SetDefaultConfig(1, config);
    const termios line = Line();
    EXPECT_EQ(::cfgetospeed(&line), B1200);

    OpenCom1(port);
    EXPECT_EQ(SerialErrorOf([&] { CSerialPort::SetDefaultConfig(1, config); }), Code(EACCES));
    EXPECT_EQ(diagnostics.traces.size(), 1u);
    EXPECT_EQ(SerialErrorOf([&] { CSerialPort::GetDefaultConfig(3, config); }), Code(ENOENT));
    EXPECT_EQ(diagnostics.traces.at(1), "Failed in call to GetDefaultCommConfig\n");
}
