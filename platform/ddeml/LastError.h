#pragma once

#include "platform/ddeml/WinTypes.h"

// The calling thread's last system error code, set by a failing call.
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);
