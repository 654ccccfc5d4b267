#pragma once

#include <QStringList>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "app/settings/RigctlChoice.h"

class QCommandLineOption;
class QCommandLineParser;

// What vantrel's command line asks for.
struct VantrelOptions {
    // Run at once without a window (a station computer without a desktop).
    bool headless = false;
    // A network receiver in place of the saved choice (headless only).
    RigctlOverride receiver;
};

// Exit statuses of Vantrel's programs.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// How a program of Vantrel's presents itself in --help and --version.
struct ProgramHelp {
    // The name it is installed under, shown whatever path it was started from.
    std::string_view name;
    // What follows the name on each "Usage:" line, one form per line.
    std::string_view forms;
    // Sections after the options, each a heading ending in ':' and indented
    // lines, the exit statuses among them.
    std::string_view sections;
};

// Reads `arguments` (the program first) with `parser`, which holds the
// program's own options; -h/--help and -v/--version are added here. Returns
// the exit status when the command line was the whole task: help or version
// printed to `out` (0), or a usage error told on `err` (2); nullopt when the
// program goes on with what `parser` read.
std::optional<int> ReadCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                                   const ProgramHelp& help, std::ostream& out, std::ostream& err);

// The value `option` was given on the command line `parser` read, if it was.
std::optional<std::string> OptionValue(const QCommandLineParser& parser,
                                       const QCommandLineOption& option);

// Tells a usage error on `err`, after the program's name, with where help is
// found. Returns the usage error's exit status.
int ReportUsageError(std::string_view program, std::string_view problem, std::ostream& err);

// Reads vantrel's command line (`arguments` with the program first). Returns
// the options, or nullopt with `exitStatus` set when the command line itself
// was the whole task (see ReadCommandLine).
std::optional<VantrelOptions> ParseVantrelCommandLine(const QStringList& arguments,
                                                      std::ostream& out, std::ostream& err,
                                                      int& exitStatus);
