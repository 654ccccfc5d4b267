#pragma once

#include <cstddef>

#include "platform/ddeml/WinTypes.h"

// Not a Windows call: how many data handles the instance holds, so that
// tests can see handles being given back.
std::size_t DdeCountDataHandles(DWORD idInst);

// Not a Windows call: how many conversation ends the library keeps, all
// instances together, so that tests can see ended ones being forgotten.
std::size_t DdeCountConversations();
