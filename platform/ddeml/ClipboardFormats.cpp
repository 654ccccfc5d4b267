#include "platform/ddeml/ClipboardFormats.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "framework/AsciiText.h"
#include "platform/ddeml/DdeText.h"

namespace {

constexpr UINT kFirstRegisteredFormat = 0xC000;
constexpr UINT kLastRegisteredFormat = 0xFFFF;
constexpr std::size_t kMaxNameLength = 255;

// Registered names in the order of their numbers.
std::vector<std::string>& RegisteredNames() {
    static std::vector<std::string> names;
    return names;
}

}  // namespace

UINT RegisterClipboardFormatA(const char* name) {
    if (name == nullptr || *name == '\0' || std::strlen(name) > kMaxNameLength) {
        return 0;
    }
    std::vector<std::string>& names = RegisteredNames();
    const auto known =
        std::find_if(names.begin(), names.end(), [name](const std::string& registered) {
            return ddeml::CompareNoCase(registered, name) == 0;
        });
    if (known != names.end()) {
        return kFirstRegisteredFormat + static_cast<UINT>(known - names.begin());
    }
    if (names.size() > kLastRegisteredFormat - kFirstRegisteredFormat) {
        return 0;
    }
    names.emplace_back(name);
    return kFirstRegisteredFormat + static_cast<UINT>(names.size() - 1);
}

int GetClipboardFormatNameA(UINT format, char* buffer, int cchMax) {
    const std::vector<std::string>& names = RegisteredNames();
    if (buffer == nullptr || cchMax <= 0 || format < kFirstRegisteredFormat ||
        format - kFirstRegisteredFormat >= names.size()) {
        return 0;
    }
    return static_cast<int>(CopyTruncated(names[format - kFirstRegisteredFormat], buffer,
                                          static_cast<std::size_t>(cchMax)));
}
