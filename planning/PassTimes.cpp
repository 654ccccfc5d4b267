#include "planning/PassTimes.h"

#include <cstdio>

#include "framework/CivilDate.h"
#include "framework/Diagnostics.h"
#include "framework/LeadingNumber.h"
#include "framework/StringFormat.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t StampField(std::string_view stamp, std::size_t offset, std::size_t length) {
    if (offset >= stamp.size()) {
        return 0;
    }
    // Two or four characters always fit.
    return LeadingInt32(stamp.substr(offset, length)).value_or(0);
}

// Floor division, so that months before 1 carry into the year before.
std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
    return value / divisor - (value % divisor < 0 ? 1 : 0);
}

// `value` in decimal, right-aligned in `width` with leading blanks, as
// printf's "%<width>d" writes it.
void AppendRightAligned(std::string& text, std::int64_t value, std::size_t width) {
    char digits[24];
    std::size_t length = 0;
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        digits[length++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        digits[length++] = '-';
    }
    text.append(width > length ? width - length : 0, ' ');
    while (length > 0) {
        text += digits[--length];
    }
}

}  // namespace

std::time_t UtcStampToTime(std::string_view stamp, std::int32_t seconds) {
    VANTREL_ASSERT(stamp.size() == kUtcStampLength);
    const std::int64_t monthFromZero = StampField(stamp, 4, 2) - 1;
    const std::int64_t year = StampField(stamp, 0, 4) + FloorDivide(monthFromZero, 12);
    const std::int64_t month = monthFromZero - FloorDivide(monthFromZero, 12) * 12 + 1;
    const std::int64_t days = DaysToMonth(year, month) + StampField(stamp, 6, 2) - 1;
    return days * kSecondsPerDay + StampField(stamp, 8, 2) * 3600 + StampField(stamp, 10, 2) * 60 +
           StampField(stamp, 12, 2) + seconds;
}

std::optional<std::string> FormatUtcStamp(std::time_t time) {
    std::tm utc{};
    if (gmtime_r(&time, &utc) == nullptr || utc.tm_year < -1900 || utc.tm_year > 9999 - 1900) {
        return std::nullopt;
    }
    return StringPrintf("%04d%02d%02d%02d%02d%02d", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                        utc.tm_hour, utc.tm_min, utc.tm_sec);
}

std::string FormatPassTime(std::time_t time) {
    // The zone is looked at on every call, so a changed TZ applies at once.
    tzset();
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return {};
    }
    // "%2d %2d %4d %2d %2d %2d", written out by hand: the printf family
    // was most of the cost of reading a long pass list.
    std::string text;
    text.reserve(kPassTimeLength);
    AppendRightAligned(text, local.tm_mday, 2);
    text += ' ';
    AppendRightAligned(text, local.tm_mon + 1, 2);
    text += ' ';
    AppendRightAligned(text, std::int64_t{local.tm_year} + 1900, 4);
    text += ' ';
    AppendRightAligned(text, local.tm_hour, 2);
    text += ' ';
    AppendRightAligned(text, local.tm_min, 2);
    text += ' ';
    AppendRightAligned(text, local.tm_sec, 2);
    return text;
}

namespace {

struct PassTimeFields {
    int day = 0;
    int month = 0;
    int year = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The fields of a pass-time text, and how many of them it held.
int ScanPassTime(std::string_view text, PassTimeFields& fields) {
    const std::string copy(text.substr(0, kPassTimeLength));
    // Each field is read by width, so none can overflow.
    return std::sscanf(copy.c_str(), "%2d %2d %4d %2d %2d %2d", &fields.day, &fields.month,
                       &fields.year, &fields.hour, &fields.minute, &fields.second);
}

std::time_t LocalTime(const PassTimeFields& fields) {
    std::tm local{};
    local.tm_mday = fields.day;
    local.tm_mon = fields.month - 1;
    local.tm_year = fields.year - 1900;
    local.tm_hour = fields.hour;
    local.tm_min = fields.minute;
    local.tm_sec = fields.second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

constexpr int kPassTimeFields = 6;

}  // namespace

std::time_t ParsePassTime(std::string_view text) {
    PassTimeFields fields;
    ScanPassTime(text, fields);
    return LocalTime(fields);
}

std::optional<std::time_t> ReadPassTime(std::string_view text) {
    PassTimeFields fields;
    if (ScanPassTime(text, fields) != kPassTimeFields) {
        return std::nullopt;
    }
    return LocalTime(fields);
}
