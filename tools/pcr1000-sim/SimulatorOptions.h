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
};

inline constexpr std::string_view kSimulatorUsage =
    "usage: pcr1000-sim [--link PATH] [--transcript FILE] [--silent] [--reply-delay MS] "
    "[--power on|off]\n";

// The options of the command line (without the program name); nullopt with
// `error` set when it cannot be understood.
std::optional<SimulatorOptions> ParseSimulatorOptions(std::span<const std::string_view> args,
                                                      std::string& error);
