#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <string>

#include "serial/CommApi.h"
#include "serial/serialport.h"
#include "tests/serial/FakeReceiverLine.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Diagnostics.h"

namespace {

class SerialPortTest : public ::testing::Test {
protected:
    void OpenRadioLine(SerialFlowControl flow = FlowXonXoff, SerialParity parity = ParityNone,
                       SerialStopBits stopBits = StopBitsOne) {
        port.Open(1, 9600, parity, 8, stopBits, flow, true);
    }

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

// Holds a port in a child process, as another program would, until it ends.
class PortHolder {
public:
    explicit PortHolder(const std::string& path) {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) {
            throw std::runtime_error("no pipe");
        }
        m_child = ::fork();
        if (m_child == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            char done = held ? '1' : '0';
            const bool told = ::write(ready[1], &done, 1) == 1;
            // Returns once the parent closes its end.
            const bool released = ::read(release[0], &done, 1) >= 0;
            ::_exit(told && released ? 0 : 1);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char done = '0';
        m_held = ::read(ready[0], &done, 1) == 1 && done == '1';
        ::close(ready[0]);
    }
    ~PortHolder() {
        ::close(m_release);
        ::waitpid(m_child, nullptr, 0);
    }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool Held() const { return m_held; }

private:
    pid_t m_child = 0;
    int m_release = -1;
    bool m_held = false;
};

// Takes every free descriptor but `left` until the end of the scope.
class DescriptorsLeft {
public:
    explicit DescriptorsLeft(int left) {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = std::min<rlim_t>(m_saved.rlim_cur, 512);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
            m_taken.push_back(fd);
        }
        for (int i = 0; i < left && !m_taken.empty(); ++i) {
            ::close(m_taken.back());
            m_taken.pop_back();
        }
    }
    ~DescriptorsLeft() {
        for (const int fd : m_taken) {
            ::close(fd);
        }
        ::setrlimit(RLIMIT_NOFILE, &m_saved);
    }
    DescriptorsLeft(const DescriptorsLeft&) = delete;
    DescriptorsLeft& operator=(const DescriptorsLeft&) = delete;

private:
    rlimit m_saved{};
    std::vector<int> m_taken;
};

}  // namespace

TEST_F(SerialPortTest, OpenSetsTheRadioLineAndLeavesTheRestAsTheDriverHadIt) {
    OpenRadioLine();
    ASSERT_TRUE(port.IsOpen());

    DCB dcb{};
    port.GetState(dcb);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fOutX, 1u);
    EXPECT_EQ(dcb.fInX, 1u);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.XonLim, 100);
    EXPECT_EQ(dcb.XoffLim, 100);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_ENABLE);

    const termios line = Line();
    EXPECT_EQ(::cfgetospeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO), 0u);

    COMMTIMEOUTS timeouts{};
    port.GetTimeouts(timeouts);
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 50u);
    EXPECT_EQ(g_radioOverlapped.hEvent, &g_radioEvent);
    EXPECT_EQ(g_radioOverlapped.Internal, 0u);
    EXPECT_TRUE(diagnostics.traces.empty());
    EXPECT_TRUE(diagnostics.assertions.empty());
}

TEST_F(SerialPortTest, LineArgumentsFollowTheirOwnCodes) {
    // A pseudo-terminal drops PARENB but keeps PARODD and CMSPAR, which
    // tell the five parity choices apart.
    struct ParityCase {
        SerialParity parity;
        tcflag_t flags;
    };
    for (const ParityCase& c : {ParityCase{ParityEven, 0}, ParityCase{ParityMark, PARODD | CMSPAR},
                                ParityCase{ParityNone, 0}, ParityCase{ParityOdd, PARODD},
                                ParityCase{ParitySpace, CMSPAR}}) {
        OpenRadioLine(FlowNone, c.parity);
        EXPECT_EQ(Line().c_cflag & (PARODD | CMSPAR), c.flags) << c.parity;
    }
    OpenRadioLine(FlowNone, ParityNone, StopBitsTwo);
    EXPECT_NE(Line().c_cflag & CSTOPB, 0u);
    port.Close();

    struct FlowCase {
        SerialFlowControl flow;
        unsigned cts, dsr, xon, dtr, rts;
    };
    for (const FlowCase& c :
         {FlowCase{FlowNone, 0, 0, 0, 1, 1}, FlowCase{FlowCtsRts, 1, 0, 0, 1, 2},
          FlowCase{FlowCtsDtr, 1, 0, 0, 2, 1}, FlowCase{FlowDsrRts, 0, 1, 0, 1, 2},
          FlowCase{FlowDsrDtr, 0, 1, 0, 2, 1}, FlowCase{FlowXonXoff, 0, 0, 1, 1, 1}}) {
        CSerialPort fresh;
        fresh.Open(1, 19200, ParityNone, 8, StopBitsOne, c.flow, false);
        DCB dcb{};
        fresh.GetState(dcb);
        EXPECT_EQ(dcb.BaudRate, 19200u);
        EXPECT_EQ(dcb.fOutxCtsFlow, c.cts) << c.flow;
        EXPECT_EQ(dcb.fOutxDsrFlow, c.dsr) << c.flow;
        EXPECT_EQ(dcb.fOutX, c.xon) << c.flow;
        EXPECT_EQ(dcb.fInX, c.xon) << c.flow;
        EXPECT_EQ(dcb.fDtrControl, c.dtr) << c.flow;
        EXPECT_EQ(dcb.fRtsControl, c.rts) << c.flow;
        const termios line = Line();
        EXPECT_EQ((line.c_cflag & CRTSCTS) != 0, c.cts == 1) << c.flow;
        EXPECT_EQ((line.c_iflag & IXON) != 0, c.xon == 1) << c.flow;
    }

    // An argument outside its enumeration is a programming error; the
    // field keeps what the driver had.
    port.Open(1, 9600, static_cast<SerialParity>(9), 8, StopBitsOne, FlowNone, true);
    EXPECT_EQ(diagnostics.assertions.size(), 1u);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortTest, AMissingDeviceFailsToOpenWithItsCode) {
    std::filesystem::create_symlink(home.Path() / "unplugged",
                                    home.Path() / "vantrel" / "dosdevices" / "com2");
    EXPECT_EQ(SerialErrorOf(
                  [this] { port.Open(2, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true); }),
              static_cast<std::uint32_t>(ENOENT));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(diagnostics.traces,
              (std::vector<std::string>{"Failed to open up the comms port\n",
                                        "Warning: throwing CSerialException for error 2\n"}));
}

TEST_F(SerialPortTest, APortAnotherProgramHoldsIsRefused) {
    const PortHolder holder(fakeLine.Path());
    ASSERT_TRUE(holder.Held());
    EXPECT_EQ(SerialErrorOf([this] { OpenRadioLine(); }), static_cast<std::uint32_t>(EACCES));
    EXPECT_FALSE(port.IsOpen());
    ASSERT_EQ(diagnostics.traces.size(), 2u);
    EXPECT_EQ(diagnostics.traces[0], "Failed to open up the comms port\n");

    // Two objects of ours are two programs too.
    CSerialPort first;
    const ConfigHome otherHome;
    FakeReceiverLine otherLine(otherHome.Path());
    first.Open(1, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true);
    EXPECT_EQ(
        SerialErrorOf([&] { port.Open(1, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true); }),
        static_cast<std::uint32_t>(EACCES));
}

TEST_F(SerialPortTest, RunningOutOfDescriptorsWhileOpeningFailsCleanly) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own checks need descriptors of their own";
#endif
    {
        // The terminal opens, but its transfers cannot be set up.
        const DescriptorsLeft left(1);
        EXPECT_EQ(SerialErrorOf([this] { OpenRadioLine(); }), static_cast<std::uint32_t>(EMFILE));
    }
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(diagnostics.traces.front(), "Failed to open up the comms port\n");
    diagnostics.traces.clear();
    {
        // The port opens, but its wait event cannot be made.
        const DescriptorsLeft left(2);
        EXPECT_EQ(SerialErrorOf([this] { OpenRadioLine(); }), static_cast<std::uint32_t>(EMFILE));
    }
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(diagnostics.traces.front(), "Failed in call to CreateEvent in Open\n");
    // Nothing was kept: the port is free and opens now.
    OpenRadioLine();
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortTest, OpeningAgainClosesTheFirstPortWithoutLeaking) {
    OpenRadioLine();
    const std::size_t descriptors = OpenDescriptorCount();
    OpenRadioLine();
    OpenRadioLine();
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_TRUE(port.IsOpen());

    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_LT(OpenDescriptorCount(), descriptors);
    port.Close();
    EXPECT_TRUE(diagnostics.traces.empty());
    // Closed means given up: another object may take the port now.
    CSerialPort other;
    other.Open(1, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true);
    EXPECT_TRUE(other.IsOpen());
}

TEST_F(SerialPortTest, DetachedHandleStaysUsableAndCanBeAttachedAgain) {
    OpenRadioLine();
    const int handle = port.Detach();
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Detach(), INVALID_HANDLE_VALUE);

    std::uint32_t written = 0;
    ASSERT_TRUE(WriteFile(handle, "H1?\r\n", 5, &written, nullptr));
    EXPECT_EQ(fakeLine.Receive(5), "H1?\r\n");

    CSerialPort adopter;
    adopter.Attach(handle, false);
    EXPECT_TRUE(adopter.IsOpen());
    EXPECT_EQ(adopter.Write("H101\r\n", 6), 6u);
    EXPECT_EQ(fakeLine.Receive(6), "H101\r\n");
    DCB dcb{};
    adopter.GetState(dcb);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    adopter.Close();
    EXPECT_FALSE(CloseHandle(handle));
}

TEST_F(SerialPortTest, ExceptionsCarryTheirCodeAndText) {
    errno = ENOENT;
    EXPECT_EQ(SerialErrorOf([] { ThrowSerialError(5); }), 5u);
    EXPECT_EQ(SerialErrorOf([] { ThrowSerialError(); }), static_cast<std::uint32_t>(ENOENT));
    EXPECT_EQ(diagnostics.traces,
              (std::vector<std::string>{"Warning: throwing CSerialException for error 5\n",
                                        "Warning: throwing CSerialException for error 2\n"}));

    const std::unique_ptr<CSerialException, ExceptionDeleter> missing(new CSerialException(ENOENT));
    char buffer[10];
    std::memset(buffer, 'x', sizeof buffer);
    unsigned help = 7;
    EXPECT_TRUE(missing->GetErrorText(buffer, sizeof buffer, &help));
    EXPECT_STREQ(buffer, "No such f");
    EXPECT_EQ(help, 0u);
    EXPECT_EQ(missing->GetErrorText(), "No such file or directory");
    // No room at all: nothing may be written, not even the zero.
    char guard = 'x';
    EXPECT_TRUE(missing->GetErrorText(&guard, 0));
    EXPECT_EQ(guard, 'x');

    const std::unique_ptr<CSerialException, ExceptionDeleter> unknown(new CSerialException(54321));
    EXPECT_FALSE(unknown->GetErrorText(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(unknown->GetErrorText(), "");

    std::ostringstream dump;
    missing->DumpDiagnostics(dump);
    EXPECT_NE(dump.str().find("a CSerialException at "), std::string::npos);
    EXPECT_NE(dump.str().find("m_dwError = 2"), std::string::npos);
    std::string message = "stale";
    EXPECT_FALSE(missing->GetErrorMessage(message));

    EXPECT_STREQ(RUNTIME_CLASS(CSerialException)->m_lpszClassName, "CSerialException");
    EXPECT_EQ(RUNTIME_CLASS(CSerialException)->m_pBaseClass, RUNTIME_CLASS(CException));
    EXPECT_STREQ(RUNTIME_CLASS(CSerialPort)->m_lpszClassName, "CSerialPort");
    EXPECT_EQ(RUNTIME_CLASS(CSerialPort)->m_pBaseClass, RUNTIME_CLASS(CObject));
    EXPECT_EQ(RUNTIME_CLASS(CSerialPort)->CreateObject(), nullptr);
}

TEST_F(SerialPortTest, DumpShowsHandleAndMode) {
    std::ostringstream closed;
    port.DumpDiagnostics(closed);
    EXPECT_NE(closed.str().find("a CSerialPort at "), std::string::npos);
    EXPECT_NE(closed.str().find("m_hComm = -1\nm_bOverlapped = 0"), std::string::npos);
    OpenRadioLine();
    std::ostringstream open;
    port.DumpDiagnostics(open);
    EXPECT_NE(open.str().find("m_bOverlapped = 1"), std::string::npos);
    EXPECT_EQ(open.str().find("m_hComm = -1"), std::string::npos);
}

TEST_F(SerialPortTest, OperationsOnAClosedPortAreProgrammingErrorsThatStillFail) {
    DCB dcb{};
    EXPECT_EQ(SerialErrorOf([&] { port.GetState(dcb); }), static_cast<std::uint32_t>(EBADF));
    EXPECT_EQ(diagnostics.assertions.size(), 1u);
    EXPECT_EQ(diagnostics.traces.front(), "Failed in call to GetCommState\n");

    // ClearBreak has no trace line of its own.
    diagnostics.traces.clear();
    EXPECT_EQ(SerialErrorOf([&] { port.ClearBreak(); }), static_cast<std::uint32_t>(EBADF));
    EXPECT_EQ(diagnostics.traces,
              (std::vector<std::string>{"Warning: throwing CSerialException for error 9\n"}));

    COMMCONFIG config{};
    diagnostics.assertions.clear();
    SerialErrorOf([&] { CSerialPort::GetDefaultConfig(0, config); });
    SerialErrorOf([&] { CSerialPort::SetDefaultConfig(256, config); });
    SerialErrorOf([&] { port.Open(0, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true); });
    EXPECT_EQ(diagnostics.assertions.size(), 3u);
}

TEST_F(SerialPortTest, DriverSettingsGoThroughOneCallEach) {
    OpenRadioLine();
    COMMTIMEOUTS timeouts{};
    port.SetTimeouts(COMMTIMEOUTS{10, 2, 300, 4, 500});
    port.ClearWriteTimeouts();
    port.GetTimeouts(timeouts);
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 10u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 300u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
    port.SetTimeouts(COMMTIMEOUTS{10, 2, 300, 4, 500});
    port.SetImmediateReads();
    port.GetTimeouts(timeouts);
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 500u);
    port.SetImmediateTimeouts();
    port.GetTimeouts(timeouts);
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);

    std::uint32_t mask = 0;
    port.SetMask(EV_RXCHAR | EV_BREAK);
    port.GetMask(mask);
    EXPECT_EQ(mask, EV_RXCHAR | EV_BREAK);

    COMMPROP properties{};
    port.SetQueueSizes(1200, 600);
    port.GetProperties(properties);
    EXPECT_EQ(properties.dwCurrentRxQueue, 1200u);
    EXPECT_EQ(properties.dwCurrentTxQueue, 600u);
    EXPECT_EQ(properties.dwProvSubType, PST_RS232);

    COMMCONFIG config{};
    port.GetConfig(config);
    EXPECT_EQ(config.dwSize, sizeof(COMMCONFIG));
    EXPECT_EQ(config.dcb.BaudRate, 9600u);
    config.dcb.BaudRate = 4800;
    port.SetConfig(config);
    const termios line = Line();
    EXPECT_EQ(::cfgetospeed(&line), B4800);

    std::uint32_t errors = 99;
    port.ClearError(errors);
    EXPECT_EQ(errors, 0u);
    fakeLine.SendQueued("abc");
    EXPECT_EQ(port.GetInputCount(), 3u);
    port.ClearInputBuffer();
    EXPECT_EQ(port.GetInputCount(), 0u);
    port.ClearOutputBuffer();
    port.SetBreak();
    port.ClearBreak();
    port.SetXoff();
    port.SetXon();
    EXPECT_TRUE(diagnostics.traces.empty());

    EXPECT_EQ(SerialErrorOf([&] { port.Escape(99); }), static_cast<std::uint32_t>(EINVAL));
    EXPECT_EQ(diagnostics.traces.front(), "Failed in call to EscapeCommFunction\n");
    // A pseudo-terminal has no modem lines to report.
    diagnostics.traces.clear();
    std::uint32_t modem = 0;
    EXPECT_TRUE(SerialErrorOf([&] { port.GetModemStatus(modem); }).has_value());
    EXPECT_EQ(diagnostics.traces.front(), "Failed in call to GetCommModemStatus\n");
}

TEST_F(SerialPortTest, DefaultConfigurationIsThatOfThePortNobodyHolds) {
    COMMCONFIG config{};
    CSerialPort::GetDefaultConfig(1, config);
    const termios before = Line();
    EXPECT_EQ(config.dcb.BaudRate, 38400u);
    EXPECT_EQ(::cfgetospeed(&before), B38400);

    config.dcb.BaudRate = 1200;
    CSerialPort::SetDefaultConfig(1, config);
    const termios after = Line();
    EXPECT_EQ(::cfgetospeed(&after), B1200);

    OpenRadioLine();
    EXPECT_EQ(SerialErrorOf([&] { CSerialPort::SetDefaultConfig(1, config); }),
              static_cast<std::uint32_t>(EACCES));
    EXPECT_EQ(diagnostics.traces.size(), 1u);
    EXPECT_EQ(SerialErrorOf([&] { CSerialPort::GetDefaultConfig(3, config); }),
              static_cast<std::uint32_t>(ENOENT));
    EXPECT_EQ(diagnostics.traces[1], "Failed in call to GetDefaultCommConfig\n");
}
