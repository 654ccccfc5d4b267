#pragma once

#include <cstdarg>
#include <string>

// printf-style formatting into a std::string. The format is always a
// literal of the caller's, so a text with '%' in it is only ever an argument.
std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string StringPrintfV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
