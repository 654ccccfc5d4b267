// String handles.

#include <cstring>
#include <string>

#include "framework/AsciiText.h"
#include "platform/ddeml/DdeLibrary.h"
#include "platform/ddeml/DdeText.h"
#include "platform/ddeml/Ddeml.h"

using ddeml::Library;

namespace {

constexpr std::size_t kMaxStringLength = 255;

bool IsAnsiCodePage(int codePage) {
    return codePage == 0 || codePage == CP_WINANSI;
}

}  // namespace

HSZ DdeCreateStringHandleA(DWORD idInst, const char* psz, int iCodePage) {
    Library& library = Library::Get();
    if (library.FindInstance(idInst) == nullptr || psz == nullptr ||
        std::strlen(psz) > kMaxStringLength || !IsAnsiCodePage(iCodePage)) {
        library.Fail(idInst, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    // Windows gives no handle for the empty text, and no error either.
    if (*psz == '\0') {
        return nullptr;
    }
    return library.Strings().Add(idInst, psz);
}

BOOL DdeFreeStringHandle(DWORD idInst, HSZ hsz) {
    Library& library = Library::Get();
    if (library.FindInstance(idInst) == nullptr) {
        library.Fail(idInst, DMLERR_INVALIDPARAMETER);
        return FALSE;
    }
    return library.Strings().Release(idInst, hsz) ? TRUE : FALSE;
}

DWORD DdeQueryStringA(DWORD idInst, HSZ hsz, char* psz, DWORD cchMax, int iCodePage) {
    Library& library = Library::Get();
    if (library.FindInstance(idInst) == nullptr || !IsAnsiCodePage(iCodePage)) {
        library.Fail(idInst, DMLERR_INVALIDPARAMETER);
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
