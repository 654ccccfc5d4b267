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
    EXPECT_EQ(::cfgetispeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CREAD | CLOCAL),
              static_cast<tcflag_t>(CS8 | CREAD | CLOCAL));
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | IXANY | BRKINT),
              static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    // VMIN 0 would make "nothing there" look like a hung-up line.
    EXPECT_EQ(line.c_cc[VMIN], 1);
}

TEST(LineSettings, FramingRoundTrips) {
    struct Case {
        std::uint8_t parity;
        tcflag_t flags;
        std::uint8_t bits;
        std::uint8_t stopBits;
    };
    for (const Case& c :
         {Case{NOPARITY, 0, 5, ONE5STOPBITS}, Case{ODDPARITY, PARENB | PARODD, 6, TWOSTOPBITS},
          Case{EVENPARITY, PARENB, 7, ONESTOPBIT},
          Case{MARKPARITY, PARENB | PARODD | CMSPAR, 8, TWOSTOPBITS},
          Case{SPACEPARITY, PARENB | CMSPAR, 5, ONESTOPBIT}}) {
        termios line = CookedLine();
        ASSERT_TRUE(WriteLineSettings(Settings(4800, c.bits, c.parity, c.stopBits), line));
        EXPECT_EQ(line.c_cflag & (PARENB | PARODD | CMSPAR), c.flags) << int{c.parity};
        DCB back = FreshPortState();
        ReadLineSettings(line, back);
        EXPECT_EQ(back.Parity, c.parity);
        EXPECT_EQ(back.BaudRate, 4800u);
        EXPECT_EQ(back.ByteSize, c.bits);
        EXPECT_EQ(back.StopBits, c.stopBits);
    }
}

TEST(LineSettings, RefusesWhatTheLineCannotTake) {
    for (const DCB& dcb :
         {Settings(9601, 8, NOPARITY, ONESTOPBIT), Settings(9600, 9, NOPARITY, ONESTOPBIT),
          Settings(9600, 8, 5, ONESTOPBIT), Settings(9600, 8, NOPARITY, 3),
          Settings(9600, 6, NOPARITY, ONE5STOPBITS), Settings(9600, 5, NOPARITY, TWOSTOPBITS)}) {
        termios line = CookedLine();
        errno = 0;
        EXPECT_FALSE(WriteLineSettings(dcb, line));
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(line.c_cflag, CookedLine().c_cflag);
    }
}
