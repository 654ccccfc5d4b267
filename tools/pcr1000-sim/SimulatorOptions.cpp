#include "tools/pcr1000-sim/SimulatorOptions.h"

#include <charconv>

namespace {

// An hour is far more than any receiver takes.
constexpr long kLongestReplyDelayMs = 3'600'000;

}  // namespace

std::optional<SimulatorOptions> ParseSimulatorOptions(std::span<const std::string_view> args,
                                                      std::string& error) {
    SimulatorOptions options;
    for (std::size_t index = 0; index < args.size(); ++index) {
        const std::string_view option = args[index];
        const bool takesValue = option == "--link" || option == "--transcript" ||
                                option == "--reply-delay" || option == "--power";
        if (takesValue && index + 1 == args.size()) {
            error = std::string(option) + " needs a value";
            return std::nullopt;
        }
        const std::string_view value = takesValue ? args[++index] : std::string_view();
        if (option == "--link") {
            options.linkPath = std::string(value);
        } else if (option == "--transcript") {
            options.transcriptPath = std::string(value);
        } else if (option == "--silent") {
            options.silent = true;
        } else if (option == "--help" || option == "-h") {
            options.helpWanted = true;
        } else if (option == "--version" || option == "-v") {
            options.versionWanted = true;
        } else if (option == "--power") {
            if (value != "on" && value != "off") {
                error = "--power takes on or off, not " + std::string(value);
                return std::nullopt;
            }
            options.poweredOn = value == "on";
        } else if (option == "--reply-delay") {
            long milliseconds = 0;
            const char* const end = value.data() + value.size();
            if (value.empty() || std::from_chars(value.data(), end, milliseconds).ptr != end ||
                milliseconds < 0 || milliseconds > kLongestReplyDelayMs) {
                error =
                    "--reply-delay takes milliseconds from 0 to 3600000, not " + std::string(value);
                return std::nullopt;
            }
            options.replyDelay = std::chrono::milliseconds(milliseconds);
        } else {
            error = "unknown option " + std::string(option);
            return std::nullopt;
        }
    }
    return options;
}
