#pragma once

#include <chrono>
#include <string>
#include <string_view>

// One transcript line: seconds since the start with millisecond resolution,
// a TAB, and the command's raw bytes with CR, LF and zero written as \r, \n
// and \0; ends in a line feed.
std::string TranscriptLine(std::chrono::milliseconds sinceStart, std::string_view raw);
