#pragma once

#include "platform/ddeml/WinTypes.h"

namespace ddeml {

// Hands out the next unused handle value at or above `first`; after the
// 32-bit range wraps, values still in use are skipped.
template <class Map>
DWORD NextFreeId(DWORD& last, DWORD first, const Map& inUse) {
    do {
        ++last;
    } while (last < first || inUse.contains(last));
    return last;
}

}  // namespace ddeml
