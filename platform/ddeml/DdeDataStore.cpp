#include "platform/ddeml/DdeDataStore.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/ddeml/DdeHandleIds.h"

namespace ddeml {

namespace {
// Well above the acknowledgement values a callback answers with, so a
// stray DDE_FACK or TRUE is never taken for a data handle.
constexpr DWORD kFirstDataId = 0x10000;
}  // namespace

HDDEDATA DataStore::Create(DWORD owner, const BYTE* source, DWORD cb, DWORD offset, UINT format,
                           bool appOwned) {
    const DWORD size = cb + offset;
    std::vector<BYTE> bytes(static_cast<std::size_t>(size) + 1, 0);
    if (source != nullptr && cb > 0) {
        std::memcpy(bytes.data() + offset, source, cb);
    }
    const DWORD id = NextFreeId(m_lastId, kFirstDataId, m_blocks);
    m_blocks.emplace(id, Block{owner, format, appOwned, size, std::move(bytes)});
    return HDDEDATA(id);
}

HDDEDATA DataStore::Copy(DWORD owner, HDDEDATA original, UINT format) {
    const Block* const block = Find(original);
    if (block == nullptr) {
        return nullptr;
    }
    const DWORD id = NextFreeId(m_lastId, kFirstDataId, m_blocks);
    m_blocks.emplace(id, Block{owner, format, false, block->size, block->bytes});
    return HDDEDATA(id);
}

DataStore::Block* DataStore::Find(HDDEDATA hData) {
    const auto block = m_blocks.find(hData.value);
    return block != m_blocks.end() ? &block->second : nullptr;
}

bool DataStore::Free(HDDEDATA hData) {
    return m_blocks.erase(hData.value) > 0;
}

void DataStore::TakeOver(HDDEDATA hData) {
    const Block* const block = Find(hData);
    if (block != nullptr && !block->appOwned) {
        Free(hData);
    }
}

void DataStore::FreeAll(DWORD owner) {
    std::erase_if(m_blocks, [owner](const auto& entry) { return entry.second.owner == owner; });
}

std::size_t DataStore::Count(DWORD owner) const {
    return static_cast<std::size_t>(
        std::count_if(m_blocks.begin(), m_blocks.end(),
                      [owner](const auto& entry) { return entry.second.owner == owner; }));
}

}  // namespace ddeml
