#include "tools/vantrel-predict/PassReport.h"

#include <charconv>
#include <cstdio>
#include <ostream>

namespace {

std::string LocalTime(std::time_t time) {
    tzset();
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return "?";
    }
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string Length(std::time_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

// Degrees with one decimal, whatever the locale.
std::string Degrees(double value) {
    char text[32];
    char* const end =
        std::to_chars(std::begin(text), std::end(text), value, std::chars_format::fixed, 1).ptr;
    return std::string(std::begin(text), end);
}

std::string RightAligned(const std::string& text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

}  // namespace

void PrintPassReport(const std::vector<ReportRow>& rows, std::ostream& out) {
    out << "Start                End                  Length  Highest  Azimuth  Dir  Satellite\n";
    for (const ReportRow& row : rows) {
        out << LocalTime(row.start) << "  " << LocalTime(row.end) << "  "
            << RightAligned(Length(row.end - row.start), 6) << "  "
            << RightAligned(Degrees(row.peakElevationDeg), 7) << "  "
            << RightAligned(Degrees(row.peakAzimuthDeg), 7) << "  " << (row.northbound ? "N" : "S")
            << "    " << row.name << '\n';
    }
}
