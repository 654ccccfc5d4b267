#include "tools/pcr1000-sim/CommandFramer.h"

std::vector<std::string> CommandFramer::Feed(std::string_view bytes) {
    std::vector<std::string> commands;
    for (const char byte : bytes) {
        m_pending.push_back(byte);
        if (byte == '\n' || m_pending.size() == kLongestCommand) {
            commands.push_back(std::move(m_pending));
            m_pending.clear();
        }
    }
    return commands;
}

std::string_view CommandText(std::string_view raw) {
    const std::size_t start = raw.find_first_not_of('\0');
    if (start == std::string_view::npos) {
        return {};
    }
    raw.remove_prefix(start);
    if (raw.ends_with('\n')) {
        raw.remove_suffix(1);
        if (raw.ends_with('\r')) {
            raw.remove_suffix(1);
        }
    }
    return raw;
}
