#pragma once

#include <ctime>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What vantrel-predict's command line asks for.
struct PredictOptions {
    std::string tleFile = "weather.txt";
    // Given together; the altitude (metres) is 0 unless given.
    std::optional<double> latitudeDeg;
    std::optional<double> longitudeDeg;
    std::optional<double> altitudeM;
    bool save = false;
    // Names of element sets; without them, the satellites of Vantrel.ini.
    std::optional<std::vector<std::string>> satellites;
    // Seconds since 1970; now without it.
    std::optional<std::time_t> start;
    double hours = 24;
    double horizonDeg = 0;
    double minElevationDeg = 10;
    bool keepOverlaps = false;
    std::optional<std::string> output;
    bool quiet = false;
    bool allowStale = false;
};

inline constexpr std::string_view kPredictProgram = "vantrel-predict";
inline constexpr double kLongestWindowHours = 14 * 24;
// Element sets further from the start are refused unless --allow-stale.
inline constexpr double kRefuseAfterDays = 30;

// Reads the words after the program name. Returns the options, or nullopt
// with `exitStatus` set when the command line was the whole task (--help,
// --version) or was not understood (told on `err`).
std::optional<PredictOptions> ReadPredictOptions(std::span<const std::string_view> args,
                                                 std::ostream& out, std::ostream& err,
                                                 int& exitStatus);

// A time as --start takes it: "2026-12-07T18:00:00Z" (UTC) or seconds since
// 1970.
std::optional<std::time_t> ReadStartTime(std::string_view text);
