#pragma once

#include <signal.h>

#include <iterator>

// SIGINT, SIGTERM and SIGHUP (Ctrl-C, `kill`, logout, a closed terminal or
// ssh session) ask the program to stop as "Cancel" does, instead of ending
// it where it stands: for as long as this lives, each adds 1 to the eventfd
// `descriptor` (an 8-byte write, safe in a handler), which the program
// watches. System calls are not restarted: the waits retry after EINTR.
// One at a time per process; the handlers before it come back at its end.
class StopSignals {
public:
    explicit StopSignals(int descriptor);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Whether a stop signal came since it was made.
    bool Received() const;

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_previous[std::size(kSignals)]{};
};
