#pragma once

#include "app/settings/RigctlChoice.h"

// Vantrel without a display, for a station computer: the settings and files
// are read as the dialog reads them and a run starts at once, as if "Next
// Pass" had been pressed. Log lines go to standard output as they are
// logged (oldest first), message-box texts and developer traces to standard
// error; neither can hold up the run (see LineOutput). SIGINT, SIGTERM and
// SIGHUP end the run with its shutdown sequence; the receiver then gets the
// close-down command.
//
// `receiver`, when it holds anything, is the network receiver of this run
// in place of the saved choice.
//
// Returns the exit status: 0 when a stop signal ended the run, 1 when the
// receiver could not be reached (said on standard error) or the run ended
// by itself.
int RunHeadlessStation(const RigctlOverride& receiver);
