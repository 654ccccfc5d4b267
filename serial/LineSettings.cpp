#include "serial/LineSettings.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

namespace {

constexpr std::array<std::pair<std::uint32_t, speed_t>, 30> kRates{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

constexpr std::array<std::pair<std::uint8_t, tcflag_t>, 4> kSizes{{
    {5, CS5},
    {6, CS6},
    {7, CS7},
    {8, CS8},
}};

constexpr std::uint16_t kFreshXonLimit = 2048;
constexpr std::uint16_t kFreshXoffLimit = 512;

void SetFlag(tcflag_t& flags, tcflag_t flag, bool on) {
    flags = on ? (flags | flag) : (flags & ~flag);
}

std::uint8_t ParityOf(tcflag_t cflag) {
    if ((cflag & PARENB) == 0) {
        return NOPARITY;
    }
    const bool odd = (cflag & PARODD) != 0;
    if ((cflag & CMSPAR) != 0) {
        return odd ? MARKPARITY : SPACEPARITY;
    }
    return odd ? ODDPARITY : EVENPARITY;
}

tcflag_t ParityFlags(std::uint8_t parity) {
    switch (parity) {
        case ODDPARITY:
            return PARENB | PARODD;
        case EVENPARITY:
            return PARENB;
        case MARKPARITY:
            return PARENB | PARODD | CMSPAR;
        case SPACEPARITY:
            return PARENB | CMSPAR;
        default:
            return 0;
    }
}

// 1.5 stop bits go with 5 data bits only, 2 stop bits never with 5.
bool StopBitsFit(std::uint8_t stopBits, std::uint8_t byteSize) {
    switch (stopBits) {
        case ONESTOPBIT:
            return true;
        case ONE5STOPBITS:
            return byteSize == 5;
        case TWOSTOPBITS:
            return byteSize != 5;
        default:
            return false;
    }
}

}  // namespace

DCB FreshPortState() {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonLim = kFreshXonLimit;
    dcb.XoffLim = kFreshXoffLimit;
    dcb.XonChar = XON_CHAR;
    dcb.XoffChar = XOFF_CHAR;
    return dcb;
}

void ReadLineSettings(const termios& line, DCB& dcb) {
    dcb.DCBlength = sizeof(DCB);
    const speed_t speed = ::cfgetospeed(&line);
    const auto rate = std::find_if(kRates.begin(), kRates.end(),
                                   [speed](const auto& entry) { return entry.second == speed; });
    dcb.BaudRate = rate != kRates.end() ? rate->first : 0;
    dcb.fBinary = 1;
    dcb.fParity = (line.c_iflag & INPCK) != 0;
    dcb.fOutxCtsFlow = (line.c_cflag & CRTSCTS) != 0;
    dcb.fOutX = (line.c_iflag & IXON) != 0;
    dcb.fInX = (line.c_iflag & IXOFF) != 0;
    const tcflag_t size = line.c_cflag & CSIZE;
    const auto bits = std::find_if(kSizes.begin(), kSizes.end(),
                                   [size](const auto& entry) { return entry.second == size; });
    dcb.ByteSize = bits->first;
    dcb.Parity = ParityOf(line.c_cflag);
    if ((line.c_cflag & CSTOPB) == 0) {
        dcb.StopBits = ONESTOPBIT;
    } else {
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    }
    dcb.XonChar = static_cast<char>(line.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(line.c_cc[VSTOP]);
}

bool WriteLineSettings(const DCB& dcb, termios& line) {
    const auto rate = std::find_if(kRates.begin(), kRates.end(), [&dcb](const auto& entry) {
        return entry.first == dcb.BaudRate;
    });
    const auto bits = std::find_if(kSizes.begin(), kSizes.end(), [&dcb](const auto& entry) {
        return entry.first == dcb.ByteSize;
    });
    if (rate == kRates.end() || bits == kSizes.end() || dcb.Parity > SPACEPARITY ||
        !StopBitsFit(dcb.StopBits, dcb.ByteSize)) {
        errno = EINVAL;
        return false;
    }
    ::cfmakeraw(&line);
    ::cfsetispeed(&line, rate->second);
    ::cfsetospeed(&line, rate->second);
    line.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR);
    line.c_cflag |= bits->second | ParityFlags(dcb.Parity) | CREAD | CLOCAL;
    SetFlag(line.c_cflag, CSTOPB, dcb.StopBits != ONESTOPBIT);
    SetFlag(line.c_cflag, CRTSCTS, dcb.fOutxCtsFlow != 0);
    SetFlag(line.c_iflag, INPCK, dcb.fParity != 0);
    SetFlag(line.c_iflag, IXON, dcb.fOutX != 0);
    SetFlag(line.c_iflag, IXOFF, dcb.fInX != 0);
    line.c_iflag &= ~IXANY;
    line.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    line.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    // VMIN 0 would make a read with nothing there return 0, the mark of a
    // hung-up line, even on a non-blocking descriptor.
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    return true;
}
