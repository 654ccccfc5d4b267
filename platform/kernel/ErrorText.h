#pragma once

#include <cstdint>
#include <string>

// Error codes are errno values, except these two fixed codes that keep the
// numbers callers know them by.
inline constexpr std::uint32_t ERROR_CALL_NOT_IMPLEMENTED = 120;
inline constexpr std::uint32_t ERROR_IO_PENDING = 997;

// The system's message for `code`; false and an empty text when it has none.
bool SystemErrorText(std::uint32_t code, std::string& text);
