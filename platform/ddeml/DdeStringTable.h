#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/ddeml/Ddeml.h"

namespace ddeml {

// Who holds a reference: an instance id, or the library itself (0), which
// keeps the names of its conversations and advise links alive.
inline constexpr DWORD kLibraryOwner = 0;

// One handle per text for the whole process, found without regard to
// letter case; the first spelling is what reads back. A text lives while
// any owner holds a reference to it.
class StringTable {
public:
    HSZ Add(DWORD owner, std::string_view text);
    // Adds a reference to a living handle; nothing for an unknown one.
    void AddReference(DWORD owner, HSZ hsz);
    // False when `owner` holds no reference to `hsz`.
    bool Release(DWORD owner, HSZ hsz);
    void ReleaseAll(DWORD owner);
    // The text of a living handle, or null.
    const std::string* Text(HSZ hsz) const;

private:
    struct Entry {
        std::string text;
        std::map<DWORD, int> references;
    };
    using Entries = std::unordered_map<DWORD, Entry>;

    void Forget(Entries::iterator entry);

    Entries m_entries;
    std::unordered_map<std::string, DWORD> m_byKey;
    DWORD m_lastId = 0;
};

}  // namespace ddeml
