#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tools/vantrel-check/CheckCommand.h"

// Exit status, standard output and standard error of one vantrel-check.
using CheckRun = std::tuple<int, std::string, std::string>;

// vantrel-check with `args` after the program name, in this process.
inline CheckRun Check(std::vector<std::string_view> args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCheck(args, out, err);
    return {status, out.str(), err.str()};
}
