#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// A hook's output as lines of hooks.log, each behind the local time and
// the satellite's name: "2025-06-01 18:30:04 <NOAA 19> text". Several
// keepers may write to the file at once: each line goes out in one append.
// The file is opened for each line, so it may be moved away (rotated) at any
// time. When it cannot be written, the lines go to standard error instead.
class HookLog {
public:
    using Clock = std::function<std::time_t()>;
    // An unfinished line is written once it is this long, so that output
    // that never ends its line (a progress bar, say) is still written.
    static constexpr std::size_t kLongestLine = 4096;

    HookLog(std::filesystem::path file, std::string satellite, Clock now);

    // Takes output as it comes; each line is written as soon as it ends.
    void Take(std::string_view output);
    // Writes what is left of an unfinished last line.
    void Finish();
    // Writes a line of the keeper's own.
    void WriteLine(std::string_view line);

private:
    bool Append(const std::string& line) const;

    std::filesystem::path m_file;
    std::string m_satellite;
    Clock m_now;
    std::string m_unfinished;
};
