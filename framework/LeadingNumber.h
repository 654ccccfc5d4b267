#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The number at the start of a text, read as the C runtime's atoi and atof
// read it (white space skipped, trailing characters ignored, no digits
// giving 0), but without their undefined and locale-dependent cases.

// An optionally signed decimal integer; nullopt when it does not fit in 32 bits.
std::optional<std::int32_t> LeadingInt32(std::string_view text);

// A decimal floating-point number in the C locale (no hexadecimal forms);
// nullopt when it reads as no finite double ("INF", "NAN", or beyond the
// range of double at either end).
std::optional<double> LeadingDecimal(std::string_view text);
