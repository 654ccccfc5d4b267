#pragma once

#include <iosfwd>

// Vantrel without a display, for a station computer: the settings and files
// are read as the dialog reads them and a run starts at once, as if "Next
// Pass" had been pressed. Log lines go to `out` as they are logged (oldest
// first), message-box texts to `err`. SIGINT and SIGTERM end the run with
// its shutdown sequence; the receiver then gets the close-down command.
//
// Returns the exit status: 0 when a stop signal ended the run, 1 when the
// port failed (reported on `err`) or the run ended by itself.
int RunHeadlessStation(std::ostream& out, std::ostream& err);
