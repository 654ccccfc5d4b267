#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Starts `arguments` (the program's path first) with `environment`, for a
// child that is to outlive Vantrel: in a session of its own, so that neither
// a Ctrl-C at Vantrel's terminal nor its hang-up reaches it, with default
// signal handling, nothing blocked, /dev/null for input and output, and
// Vantrel's standard error. `passed` becomes its descriptor 3; no other
// descriptor of Vantrel's goes with it (the serial port must not stay open
// in it). Never forks a copy of Vantrel: the child starts as the program.
// The child's pid, or -1 with errno set.
pid_t LaunchDetached(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment, int passed);
