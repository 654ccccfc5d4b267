#include "dde/Arguments.h"

#include <cstring>

#include "framework/Diagnostics.h"
#include "platform/ddeml/Ddeml.h"

bool IsUsableName(const char* szName, const char* szOperation) {
    if (szName == nullptr) {
        Trace("%s: no name\n", szOperation);
        return false;
    }
    if (*szName == '\0') {
        Trace("%s: empty name\n", szOperation);
        return false;
    }
    if (std::strlen(szName) > kMaxDdeStringLength) {
        Trace("%s: name longer than %zu characters\n", szOperation, kMaxDdeStringLength);
        return false;
    }
    return true;
}

bool IsGiven(const void* pArgument, const char* szOperation) {
    if (pArgument == nullptr) {
        Trace("%s: null argument\n", szOperation);
        return false;
    }
    return true;
}
