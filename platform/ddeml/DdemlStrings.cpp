// String handles.

#include <cstring>
#include <string>

#include "framework/AsciiText.h"
#include "platform/ddeml/DdeLibrary.h"
#include "platform/ddeml/DdeText.h"
#include "platform/ddeml/Ddeml.h"

using ddeml::Library;

namespace {

bool IsAnsiCodePage(int codePage) {
    return codePage == 0 || codePage == CP_WINANSI;
}

// Why a name cannot have a handle, or null when it can.
const char* NameFault(const char* psz) {
    if (psz == nullptr) {
        return "no name";
    }
    if (*psz == '\0') {
        return "an empty name";
    }
    return std::strlen(psz) > kMaxDdeStringLength ? "a name over 255 characters" : nullptr;
}

}  // namespace

HSZ DdeCreateStringHandleA(DWORD idInst, const char* psz, int iCodePage) {
    Library& library = Library::Get();
    const char* const fault = library.FindInstance(idInst) == nullptr ? "unknown instance"
                              : !IsAnsiCodePage(iCodePage)            ? "not an ANSI code page"
                                                                      : NameFault(psz);
    if (fault != nullptr) {
        library.Refuse(idInst, DMLERR_INVALIDPARAMETER, "DdeCreateStringHandleA", fault);
        return nullptr;
    }
    return library.Strings().Add(idInst, psz);
}

BOOL DdeFreeStringHandle(DWORD idInst, HSZ hsz) {
    Library& library = Library::Get();
    if (library.FindInstance(idInst) == nullptr) {
        library.Refuse(idInst, DMLERR_INVALIDPARAMETER, "DdeFreeStringHandle", "unknown instance");
        return FALSE;
    }
    if (!library.Strings().Release(idInst, hsz)) {
        library.Refuse(idInst, DMLERR_INVALIDPARAMETER, "DdeFreeStringHandle",
                       "a handle the instance does not hold");
        return FALSE;
    }
    return TRUE;
}

DWORD DdeQueryStringA(DWORD idInst, HSZ hsz, char* psz, DWORD cchMax, int iCodePage) {
    Library& library = Library::Get();
    if (library.FindInstance(idInst) == nullptr || !IsAnsiCodePage(iCodePage)) {
        library.Refuse(idInst, DMLERR_INVALIDPARAMETER, "DdeQueryStringA",
                       "unknown instance or code page");
        return 0;
    }
    const std::string* const text = library.Strings().Text(hsz);
    if (psz == nullptr) {
        return text != nullptr ? static_cast<DWORD>(text->size()) : 0;
    }
    if (cchMax == 0) {
        return 0;
    }
    if (!hsz) {
        // Windows answers the null handle with an empty text and 1.
        *psz = '\0';
        return 1;
    }
    if (text == nullptr) {
        *psz = '\0';
        return 0;
    }
    return static_cast<DWORD>(CopyTruncated(*text, psz, cchMax));
}

int DdeCmpStringHandles(HSZ hsz1, HSZ hsz2) {
    const ddeml::StringTable& strings = Library::Get().Strings();
    const std::string* const text1 = strings.Text(hsz1);
    const std::string* const text2 = strings.Text(hsz2);
    return ddeml::CompareNoCase(text1 != nullptr ? *text1 : std::string(),
                                text2 != nullptr ? *text2 : std::string());
}
