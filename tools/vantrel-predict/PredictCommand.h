#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

// vantrel-predict: predicts the passes of the wanted satellites over the
// station from element sets and writes PassList.txt where Vantrel reads it.
// `args` are the words after the program name. Returns the exit status: 0
// when the list was written, 1 when nothing could be predicted or the list
// could not be written, 2 on a usage error or without a station location.
int RunPredict(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
