#pragma once

#include <QStringList>
#include <iosfwd>
#include <optional>

// What vantrel's command line asks for.
struct VantrelOptions {
    // Run at once without a window (a station computer without a desktop).
    bool headless = false;
};

// Exit statuses of Vantrel's programs.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Reads vantrel's command line (`arguments` with the program first). Returns
// the options, or nullopt with `exitStatus` set when the command line itself
// was the whole task: --help and --version print to `out` (status 0), a
// usage error goes to `err` after the program's name (status 2).
std::optional<VantrelOptions> ParseVantrelCommandLine(const QStringList& arguments,
                                                      std::ostream& out, std::ostream& err,
                                                      int& exitStatus);
