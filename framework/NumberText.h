#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Numbers as protocols and files write them: decimal, with a point, whatever
// the user's locale (a decimal comma would make "0,5" of 0.5, which a server
// reads as 0).

std::string DecimalText(std::int64_t number);
// The shortest text that reads back as `number`: 0.5 as "0.5", 1 as "1".
std::string DecimalText(double number);
// A time limit as a reason tells it: "5 s", "0.4 s".
std::string SecondsText(std::chrono::milliseconds limit);

// The whole of `text` as a number, else nullopt.
std::optional<std::int64_t> ParseInteger(std::string_view text);
// Finite numbers only.
std::optional<double> ParseDecimal(std::string_view text);
