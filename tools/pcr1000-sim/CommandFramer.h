#pragma once

#include <string>
#include <string_view>
#include <vector>

// Cuts the bytes from the line into commands. A command ends at LF; its raw
// bytes, as the transcript shows them, run from the end of the one before
// through that LF, so zero bytes sent after a line end open the next one.
class CommandFramer {
public:
    // A line that never ends is cut here, so a peer cannot make us grow without end.
    static constexpr std::size_t kLongestCommand = 1024;

    // The raw bytes of every command that `bytes` completes.
    std::vector<std::string> Feed(std::string_view bytes);

private:
    std::string m_pending;
};

// What the receiver reads in a command's raw bytes: without the zero bytes
// that lead it, the LF, and a CR before the LF.
std::string_view CommandText(std::string_view raw);
