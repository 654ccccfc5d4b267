#include "framework/LeadingNumber.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view SkipSpace(std::string_view text) {
    while (!text.empty() && IsCSpace(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::int32_t> LeadingInt32(std::string_view text) {
    text = SkipSpace(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Accumulate negatively so that INT32_MIN itself fits.
    constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) {
            break;
        }
        value = value * 10 - (c - '0');
        if (value < kLowest) {
            return std::nullopt;
        }
    }
    if (!negative) {
        value = -value;
        if (value > std::numeric_limits<std::int32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(value);
}

std::optional<double> LeadingDecimal(std::string_view text) {
    text = SkipSpace(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        return 0.0;
    }
    // The general format reads no hexadecimal; it does read INF and NAN.
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error == std::errc::invalid_argument) {
        return 0.0;
    }
    if (error != std::errc{} || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}
