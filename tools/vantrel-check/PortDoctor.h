#pragma once

#include <iosfwd>

// vantrel-check port: tells whether Vantrel could open COM port `port` now,
// and why not, with Vantrel's own device map and opening code. Writes what
// it finds to `out`, one line each: the device COM `port` leads to and how,
// then whether it exists, whether this user may read and write it, whether
// it is a terminal and whether another program holds it, up to the first
// that fails. The reason and its remedy then go to `err` after the program's
// name. Returns 0 when Vantrel could open the port, 1 when not.
int CheckPort(int port, std::ostream& out, std::ostream& err);
