#pragma once

// Bad input from a caller or a partner program is refused, never asserted:
// each check says whether an argument can be used and, when it cannot,
// writes a trace line naming the operation.

// A service, topic or item name: not null, not empty, not too long.
bool IsUsableName(const char* szName, const char* szOperation);

// A pointer argument that must not be null.
bool IsGiven(const void* pArgument, const char* szOperation);
