#include "dde/Arguments.h"

#include <cstring>

#include "framework/Diagnostics.h"

bool IsUsableName(const char* szName, const char* szOperation) {
    if (szName == nullptr) {
        Trace("%s: no name\n", szOperation);
        return false;
    }
    if (*szName == '\0') {
        Trace("%s: empty name\n", szOperation);
        return false;
    }
    if (std::strlen(szName) > kMaxDdeNameLength) {
        Trace("%s: name longer than %zu characters\n", szOperation, kMaxDdeNameLength);
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
