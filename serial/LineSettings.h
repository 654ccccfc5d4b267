#pragma once

#include <termios.h>

#include "serial/CommTypes.h"

// Line settings between the DCB record and a terminal's termios.

// What a port reports for the fields termios cannot hold (modem-line
// control, flow-control limits, special characters) before anyone sets them.
DCB FreshPortState();

// Fills the fields termios holds (rate, data bits, parity, stop bits, flow
// control, XON/XOFF characters); the others keep what `dcb` had.
void ReadLineSettings(const termios& line, DCB& dcb);

// Writes `dcb` into `line` for binary transfers (raw mode: no echo, no line
// editing, no character translation, modem lines ignored). False with errno
// EINVAL for a rate, data size, parity or stop-bit value the line cannot take.
bool WriteLineSettings(const DCB& dcb, termios& line);
