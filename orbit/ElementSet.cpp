#include "orbit/ElementSet.h"

#include <charconv>
#include <cmath>

namespace {

// A field given by its first column (counted from 1, as the format's
// description counts) and its width.
std::string_view Field(std::string_view line, std::size_t firstColumn, std::size_t width) {
    std::string_view field = line.substr(firstColumn - 1, width);
    const std::size_t start = field.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        return {};
    }
    field.remove_prefix(start);
    return field.substr(0, field.find_last_not_of(' ') + 1);
}

// The whole field as a decimal number, locale-free; a leading '+' is allowed.
std::optional<double> Decimal(std::string_view field) {
    if (field.starts_with('+')) {
        field.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] =
        std::from_chars(field.data(), field.data() + field.size(), value, std::chars_format::fixed);
    if (field.empty() || error != std::errc() || end != field.data() + field.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> WholeNumber(std::string_view field) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || error != std::errc() || end != field.data() + field.size()) {
        return std::nullopt;
    }
    return value;
}

// Five characters: digits, or in the Alpha-5 form a capital letter (I and O
// left out, A standing for 10) before four digits.
std::optional<std::int32_t> CatalogueNumber(std::string_view field) {
    if (field.size() != 5) {
        return std::nullopt;
    }
    const char lead = field.front();
    std::int32_t leading = 0;
    if (lead >= '0' && lead <= '9') {
        leading = lead - '0';
    } else if (lead >= 'A' && lead <= 'Z' && lead != 'I' && lead != 'O') {
        leading = 10 + (lead - 'A') - (lead > 'I' ? 1 : 0) - (lead > 'O' ? 1 : 0);
    } else {
        return std::nullopt;
    }
    const std::optional<std::int32_t> rest = WholeNumber(field.substr(1));
    if (!rest || field[1] == '-' || field[1] == '+') {
        return std::nullopt;
    }
    return leading * 10000 + *rest;
}

// A number with an assumed leading decimal point and a power of ten, such
// as " 28098-4" for 0.28098e-4.
std::optional<double> ExponentForm(std::string_view field) {
    if (field.size() < 3) {
        return std::nullopt;
    }
    const std::string_view exponentText = field.substr(field.size() - 2);
    std::string_view mantissa = field.substr(0, field.size() - 2);
    if (mantissa.starts_with(' ')) {
        mantissa.remove_prefix(1);
    }
    const bool negative = mantissa.starts_with('-');
    if (negative || mantissa.starts_with('+')) {
        mantissa.remove_prefix(1);
    }
    const char exponentSign = exponentText[0];
    const char exponentDigit = exponentText[1];
    if ((exponentSign != '-' && exponentSign != '+' && exponentSign != ' ') ||
        exponentDigit < '0' || exponentDigit > '9' || mantissa.empty() ||
        mantissa.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<double> digits = Decimal("." + std::string(mantissa));
    const int exponent = (exponentSign == '-' ? -1 : 1) * (exponentDigit - '0');
    return digits
               ? std::optional<double>((negative ? -*digits : *digits) * std::pow(10.0, exponent))
               : std::nullopt;
}

// What a line must be before its fields are read.
std::optional<std::string> LineShapeProblem(std::string_view line, char number) {
    if (line.size() != kElementLineLength) {
        return "has " + std::to_string(line.size()) + " columns, not " +
               std::to_string(kElementLineLength);
    }
    if (line[0] != number || line[1] != ' ') {
        return std::string("does not begin with \"") + number + " \"";
    }
    const char checksum = line[kElementLineLength - 1];
    if (checksum < '0' || checksum > '9' || checksum - '0' != ElementLineChecksum(line)) {
        return "has a wrong checksum";
    }
    return std::nullopt;
}

struct EpochFields {
    std::int32_t year = 0;
    std::int32_t day = 0;
    double fraction = 0;
};

// "yyddd.dddddddd": two-digit years below 57 are 20yy.
std::optional<EpochFields> Epoch(std::string_view line1) {
    const std::optional<std::int32_t> year = WholeNumber(line1.substr(18, 2));
    const std::optional<std::int32_t> day = WholeNumber(line1.substr(20, 3));
    const std::optional<double> fraction = Decimal(line1.substr(23, 9));
    if (!year || !day || !fraction || line1[23] != '.' || *day < 1 || *day > 366) {
        return std::nullopt;
    }
    return EpochFields{*year < 57 ? 2000 + *year : 1900 + *year, *day, *fraction};
}

}  // namespace

int ElementLineChecksum(std::string_view line) {
    int sum = 0;
    for (const char c : line.substr(0, kElementLineLength - 1)) {
        if (c >= '0' && c <= '9') {
            sum += c - '0';
        } else if (c == '-') {
            sum += 1;
        }
    }
    return sum % 10;
}

std::optional<ElementSet> ReadElementLines(std::string_view line1, std::string_view line2,
                                           std::string name, ElementLineProblem& problem) {
    for (const auto& [number, line] : {std::pair{1, line1}, std::pair{2, line2}}) {
        if (const std::optional<std::string> shape =
                LineShapeProblem(line, static_cast<char>('0' + number))) {
            problem = {number, "line " + std::to_string(number) + " " + *shape};
            return std::nullopt;
        }
    }
    const std::optional<std::int32_t> number = CatalogueNumber(line1.substr(2, 5));
    if (!number || line1.substr(2, 5) != line2.substr(2, 5)) {
        problem = {2, "the two lines are not of one satellite"};
        return std::nullopt;
    }
    const std::optional<EpochFields> epoch = Epoch(line1);
    const std::optional<double> bstar = ExponentForm(line1.substr(53, 8));
    if (!epoch || !bstar) {
        problem = {1, !epoch ? "the epoch does not read" : "the drag term does not read"};
        return std::nullopt;
    }
    const std::optional<double> inclination = Decimal(Field(line2, 9, 8));
    const std::optional<double> rightAscension = Decimal(Field(line2, 18, 8));
    const std::optional<std::int32_t> eccentricityDigits = WholeNumber(line2.substr(26, 7));
    const std::optional<double> argumentOfPerigee = Decimal(Field(line2, 35, 8));
    const std::optional<double> meanAnomaly = Decimal(Field(line2, 44, 8));
    const std::optional<double> meanMotion = Decimal(Field(line2, 53, 11));
    if (!inclination || !rightAscension || !eccentricityDigits || *eccentricityDigits < 0 ||
        !argumentOfPerigee || !meanAnomaly || !meanMotion || !(*meanMotion > 0.0)) {
        problem = {2, "an element does not read"};
        return std::nullopt;
    }

    ElementSet set;
    set.name = name.empty() ? std::to_string(*number) : std::move(name);
    set.catalogueNumber = *number;
    set.epoch = JulianDateOfYearDay(epoch->year, epoch->day, epoch->fraction);
    set.bstar = *bstar;
    set.inclinationDeg = *inclination;
    set.rightAscensionDeg = *rightAscension;
    set.eccentricity = *eccentricityDigits * 1e-7;
    set.argumentOfPerigeeDeg = *argumentOfPerigee;
    set.meanAnomalyDeg = *meanAnomaly;
    set.meanMotionRevPerDay = *meanMotion;
    return set;
}
