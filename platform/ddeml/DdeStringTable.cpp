#include "platform/ddeml/DdeStringTable.h"

#include <iterator>

#include "platform/ddeml/DdeHandleIds.h"
#include "platform/ddeml/DdeText.h"

namespace ddeml {

namespace {
constexpr DWORD kFirstStringId = 0xC000;
}

HSZ StringTable::Add(DWORD owner, std::string_view text) {
    std::string key = FoldCase(text);
    const auto known = m_byKey.find(key);
    DWORD id = 0;
    if (known != m_byKey.end()) {
        id = known->second;
    } else {
        id = NextFreeId(m_lastId, kFirstStringId, m_entries);
        m_entries.emplace(id, Entry{std::string(text), {}});
        m_byKey.emplace(std::move(key), id);
    }
    ++m_entries.at(id).references[owner];
    return HSZ(id);
}

void StringTable::AddReference(DWORD owner, HSZ hsz) {
    const auto entry = m_entries.find(hsz.value);
    if (entry != m_entries.end()) {
        ++entry->second.references[owner];
    }
}

bool StringTable::Release(DWORD owner, HSZ hsz) {
    const auto entry = m_entries.find(hsz.value);
    if (entry == m_entries.end()) {
        return false;
    }
    std::map<DWORD, int>& references = entry->second.references;
    const auto held = references.find(owner);
    if (held == references.end()) {
        return false;
    }
    if (--held->second == 0) {
        references.erase(held);
    }
    if (references.empty()) {
        Forget(entry);
    }
    return true;
}

void StringTable::ReleaseAll(DWORD owner) {
    for (auto entry = m_entries.begin(); entry != m_entries.end();) {
        const auto current = entry++;
        current->second.references.erase(owner);
        if (current->second.references.empty()) {
            Forget(current);
        }
    }
}

const std::string* StringTable::Text(HSZ hsz) const {
    const auto entry = m_entries.find(hsz.value);
    return entry != m_entries.end() ? &entry->second.text : nullptr;
}

void StringTable::Forget(Entries::iterator entry) {
    m_byKey.erase(FoldCase(entry->second.text));
    m_entries.erase(entry);
}

}  // namespace ddeml
