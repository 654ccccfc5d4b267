#pragma once

#include <cstddef>

#include "platform/ddeml/WinTypes.h"

// Not a Windows call: how many data handles the instance holds, so that
// tests can see handles being given back.
std::size_t DdeCountDataHandles(DWORD idInst);
