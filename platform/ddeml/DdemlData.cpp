// Data handles.

#include <limits>
#include <new>

#include "platform/ddeml/DdeLibrary.h"
#include "platform/ddeml/Ddeml.h"
#include "platform/ddeml/DdemlDiagnostics.h"

using ddeml::Library;

HDDEDATA DdeCreateDataHandle(DWORD idInst, const BYTE* pSrc, DWORD cb, DWORD cbOff, HSZ /*hszItem*/,
                             UINT wFmt, UINT afCmd) {
    Library& library = Library::Get();
    if (library.FindInstance(idInst) == nullptr || (afCmd != 0 && afCmd != HDATA_APPOWNED)) {
        library.Fail(idInst, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    if (cb > std::numeric_limits<DWORD>::max() - cbOff) {
        library.Fail(idInst, DMLERR_MEMORY_ERROR);
        return nullptr;
    }
    try {
        return library.Data().Create(idInst, pSrc, cb, cbOff, wFmt, afCmd == HDATA_APPOWNED);
    } catch (const std::bad_alloc&) {
        library.Fail(idInst, DMLERR_MEMORY_ERROR);
        return nullptr;
    }
}

BYTE* DdeAccessData(HDDEDATA hData, DWORD* pcbDataSize) {
    ddeml::DataStore::Block* const block = Library::Get().Data().Find(hData);
    if (block == nullptr) {
        SetLastError(DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    if (pcbDataSize != nullptr) {
        *pcbDataSize = block->size;
    }
    return block->bytes.data();
}

BOOL DdeUnaccessData(HDDEDATA hData) {
    return Library::Get().Data().Find(hData) != nullptr ? TRUE : FALSE;
}

BOOL DdeFreeDataHandle(HDDEDATA hData) {
    return Library::Get().Data().Free(hData) ? TRUE : FALSE;
}

std::size_t DdeCountDataHandles(DWORD idInst) {
    return Library::Get().Data().Count(idInst);
}
