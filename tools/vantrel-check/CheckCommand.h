#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// vantrel-check: tells a user, before a pass, whether the files, the
// serial port and the network receiver are right, checking them with the
// program's own code.
//
//   vantrel-check satellite NAME
//   vantrel-check passes [FOLDER]
//   vantrel-check port [N]
//   vantrel-check receiver [--rigctl HOST:PORT] [--rigctl-kind KIND]
//
// `args` are the words after the program name; --help and --version are
// understood too. Returns the exit status: 0 when everything checked is
// usable, 1 when not, 2 on a usage error.
int RunCheck(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
