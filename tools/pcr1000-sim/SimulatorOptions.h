#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct SimulatorOptions {
    std::optional<std::string> linkPath;
    std::optional<std::string> transcriptPath;
    bool silent = false;
    std::chrono::milliseconds replyDelay{0};
    bool poweredOn = false;
    bool helpWanted = false;
    bool versionWanted = false;
};

// What --help prints, laid out as Vantrel's other programs lay theirs out.
inline constexpr std::string_view kSimulatorHelp =
    "Usage: pcr1000-sim [options]\n"
    "Plays an Icom PCR-1000 receiver on a new pseudo-terminal, for Vantrel and its\n"
    "tests. Prints the terminal's path first (/proc/PID/fd/N, which ends with the\n"
    "simulator), then each change of the receiver's settings, until SIGINT or\n"
    "SIGTERM.\n"
    "\n"
    "Options:\n"
    "  -h, --help           Show this help and exit.\n"
    "  -v, --version        Show the version and exit.\n"
    "  --link PATH          Make PATH a link to the terminal while it runs, e.g.\n"
    "                       ~/.config/vantrel/dosdevices/com1; a link a kill\n"
    "                       leaves behind leads nowhere.\n"
    "  --transcript FILE    Append each command received to FILE, after the\n"
    "                       seconds since the start.\n"
    "  --silent             Never answer.\n"
    "  --reply-delay MS     Answer MS milliseconds late (0 to 3600000).\n"
    "  --power on|off       Start switched on or off (off by default).\n"
    "\n"
    "Exit status:\n"
    "  0  stopped by SIGINT or SIGTERM\n"
    "  1  the terminal, the link or the transcript could not be set up, or the\n"
    "     terminal broke\n"
    "  2  the command line was not understood\n";

// The options of the command line (without the program name); nullopt with
// `error` set when it cannot be understood.
std::optional<SimulatorOptions> ParseSimulatorOptions(std::span<const std::string_view> args,
                                                      std::string& error);
