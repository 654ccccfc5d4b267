#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "platform/ddeml/Ddeml.h"

namespace ddeml {

// The blocks behind data handles.
class DataStore {
public:
    struct Block {
        DWORD owner;
        UINT format;
        bool appOwned;
        DWORD size;
        // size + 1 bytes: a zero always follows the data, so a text without
        // its own terminator still reads safely.
        std::vector<BYTE> bytes;
    };

    // A block of cb + offset bytes, the source (if any) copied to `offset`
    // after zeros. Throws std::bad_alloc when memory runs out.
    HDDEDATA Create(DWORD owner, const BYTE* source, DWORD cb, DWORD offset, UINT format,
                    bool appOwned);
    // A copy of another block, owned by `owner`, with the format given.
    HDDEDATA Copy(DWORD owner, HDDEDATA original, UINT format);
    Block* Find(HDDEDATA hData);
    bool Free(HDDEDATA hData);
    // Frees a handle that a callback handed over, unless its owner keeps it.
    void TakeOver(HDDEDATA hData);
    void FreeAll(DWORD owner);
    std::size_t Count(DWORD owner) const;

private:
    std::unordered_map<DWORD, Block> m_blocks;
    DWORD m_lastId = 0;
};

}  // namespace ddeml
