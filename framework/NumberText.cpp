#include "framework/NumberText.h"

#include <charconv>
#include <cmath>

namespace {

template <typename Number>
std::string CharsOf(Number number) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, number);
    return std::string(text, written.ptr);
}

template <typename Number>
std::optional<Number> WholeOf(std::string_view text) {
    Number number{};
    const char* const end = text.data() + text.size();
    const auto read = std::from_chars(text.data(), end, number);
    if (text.empty() || read.ec != std::errc() || read.ptr != end) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

std::string DecimalText(std::int64_t number) {
    return CharsOf(number);
}

std::string DecimalText(double number) {
    return CharsOf(number);
}

std::string SecondsText(std::chrono::milliseconds limit) {
    return DecimalText(static_cast<double>(limit.count()) / 1000.0) + " s";
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    return WholeOf<std::int64_t>(text);
}

std::optional<double> ParseDecimal(std::string_view text) {
    const std::optional<double> number = WholeOf<double>(text);
    if (!number || !std::isfinite(*number)) {
        return std::nullopt;
    }
    return number;
}
