#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "orbit/JulianDate.h"

// One satellite's mean elements as a two-line element set gives them, in
// the set's own units.
struct ElementSet {
    std::string name;
    // Alpha-5 numbers (A0000 and up) read as 100000 and up.
    std::int32_t catalogueNumber = 0;
    JulianDate epoch;
    // Drag term, per Earth radius.
    double bstar = 0;
    double inclinationDeg = 0;
    double rightAscensionDeg = 0;
    double eccentricity = 0;
    double argumentOfPerigeeDeg = 0;
    double meanAnomalyDeg = 0;
    double meanMotionRevPerDay = 0;
};

// The number of columns of each line; column 69 is its checksum.
inline constexpr std::size_t kElementLineLength = 69;

// The checksum digit of `line`: the digits of its first 68 columns added
// up, each minus sign counting 1, modulo 10.
int ElementLineChecksum(std::string_view line);

// Why a line could not be read: which of the two (1 or 2) and what is wrong.
struct ElementLineProblem {
    int line = 0;
    std::string text;
};

// Reads the two lines of a set (each exactly kElementLineLength columns,
// their checksums right, both of the same satellite). Without a name the
// set is named by its catalogue number. Fills `problem` and returns
// nullopt otherwise.
std::optional<ElementSet> ReadElementLines(std::string_view line1, std::string_view line2,
                                           std::string name, ElementLineProblem& problem);
