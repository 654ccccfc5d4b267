#pragma once

#include <iosfwd>

#include "network/RigctlServers.h"

// vantrel-check receiver: tells what answers at a network receiver's
// address and whether a run set for `target` could use it. It connects as
// a run does and writes to `out` the kind of server it looks like, then,
// one line each, whether power, frequency, mode, volume, squelch and
// AOS/LOS work: each is tried and read back, then the receiver is put back
// as it was. Why a run could not use it goes to `err` after the program's
// name. Returns 0 when a run could use it, 1 when not.
int CheckReceiver(const RigctlTarget& target, std::ostream& out, std::ostream& err);
