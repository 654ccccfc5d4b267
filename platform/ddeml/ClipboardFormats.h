#pragma once

#include "platform/ddeml/WinTypes.h"

// Clipboard format numbers: the fixed ones below and, from 0xC000 on, the
// formats registered by name for this process.
inline constexpr UINT CF_TEXT = 1;

// The number of the format named `name` (letter case ignored), registering
// it when it is new; 0 for a null or empty name or when no number is left.
UINT RegisterClipboardFormatA(const char* name);

// Copies the registered name of `format` into `buffer` (at most cchMax - 1
// characters and a zero) and returns the number of characters copied; 0
// for a format without a registered name.
int GetClipboardFormatNameA(UINT format, char* buffer, int cchMax);
