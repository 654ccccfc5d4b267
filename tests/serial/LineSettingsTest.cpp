#include <gtest/gtest.h>

#include "serial/LineSettings.h"

namespace {

termios CookedLine() {
    termios line{};
    line.c_iflag = ICRNL | IXANY | BRKINT;
    line.c_oflag = OPOST | ONLCR;
    line.c_lflag = ICANON | ECHO | ISIG;
    line.c_cflag = CS7 | PARENB | HUPCL;
    return line;
}

DCB Settings(std::uint32_t baud, std::uint8_t bits, std::uint8_t parity, std::uint8_t stopBits) {
    DCB dcb = FreshPortState();
    dcb.BaudRate = baud;
    dcb.ByteSize = bits;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    return dcb;
}

}  // namespace

TEST(LineSettings, WritesARawLineWithTheRequestedFraming) {
    DCB dcb = Settings(9600, 8, NOPARITY, ONESTOPBIT);
    dcb.fOutX = 1;
    dcb.fInX = 1;
    termios line = CookedLine();
    ASSERT_TRUE(WriteLineSettings(dcb, line));

    EXPECT_EQ(::cfgetospeed(&line), B9600);
    EXPECT_EQ(::cfgetispeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(line.c_iflag & (ICRNL | IXANY | BRKINT), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_cc[VSTART], 0x11);
    EXPECT_EQ(line.c_cc[VSTOP], 0x13);
    // VMIN 0 would make "nothing there" look like a hung-up line.
    EXPECT_EQ(line.c_cc[VMIN], 1);
}

TEST(LineSettings, ParityStopBitsAndFlowControlRoundTrip) {
    struct Case {
        std::uint8_t parity;
        tcflag_t flags;
    };
    for (const Case& c :
         {Case{NOPARITY, 0}, Case{ODDPARITY, PARENB | PARODD}, Case{EVENPARITY, PARENB},
          Case{MARKPARITY, PARENB | PARODD | CMSPAR}, Case{SPACEPARITY, PARENB | CMSPAR}}) {
        termios line = CookedLine();
        ASSERT_TRUE(WriteLineSettings(Settings(4800, 7, c.parity, TWOSTOPBITS), line));
        EXPECT_EQ(line.c_cflag & (PARENB | PARODD | CMSPAR), c.flags) << int{c.parity};
        DCB back = FreshPortState();
        ReadLineSettings(line, back);
        EXPECT_EQ(back.Parity, c.parity);
        EXPECT_EQ(back.BaudRate, 4800u);
        EXPECT_EQ(back.ByteSize, 7);
        EXPECT_EQ(back.StopBits, TWOSTOPBITS);
    }

    DCB fiveBits = Settings(300, 5, NOPARITY, ONE5STOPBITS);
    fiveBits.fOutxCtsFlow = 1;
    fiveBits.fParity = 1;
    termios line = CookedLine();
    ASSERT_TRUE(WriteLineSettings(fiveBits, line));
    DCB back = FreshPortState();
    ReadLineSettings(line, back);
    EXPECT_EQ(back.ByteSize, 5);
    EXPECT_EQ(back.StopBits, ONE5STOPBITS);
    EXPECT_EQ(back.fOutxCtsFlow, 1u);
    EXPECT_EQ(back.fParity, 1u);
    EXPECT_EQ(back.fOutX, 0u);
    // Fields termios cannot hold keep what the record had.
    EXPECT_EQ(back.XonLim, FreshPortState().XonLim);
    EXPECT_EQ(back.fDtrControl, DTR_CONTROL_ENABLE);
}

TEST(LineSettings, RefusesWhatTheLineCannotTake) {
    for (const DCB& dcb :
         {Settings(9601, 8, NOPARITY, ONESTOPBIT), Settings(9600, 9, NOPARITY, ONESTOPBIT),
          Settings(9600, 8, 5, ONESTOPBIT), Settings(9600, 8, NOPARITY, 3),
          Settings(9600, 8, NOPARITY, ONE5STOPBITS), Settings(9600, 5, NOPARITY, TWOSTOPBITS)}) {
        termios line = CookedLine();
        const termios before = line;
        errno = 0;
        EXPECT_FALSE(WriteLineSettings(dcb, line));
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(line.c_cflag, before.c_cflag);
        EXPECT_EQ(line.c_lflag, before.c_lflag);
    }
}
