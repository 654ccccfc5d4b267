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
        library.Refuse(idInst, DMLERR_INVALIDPARAMETER, "DdeCreateDataHandle",
                       "unknown instance or flags");
        return nullptr;
    }
    if (cb > std::numeric_limits<DWORD>::max() - cbOff) {
        library.Refuse(idInst, DMLERR_MEMORY_ERROR, "DdeCreateDataHandle",
                       "size and offset exceed 32 bits");
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
        Library::Get().Refuse(0, DMLERR_INVALIDPARAMETER, "DdeAccessData", "unknown data handle");
        return nullptr;
    }
    if (pcbDataSize != nullptr) {
        *pcbDataSize = block->size;
    }
    return block->bytes.data();
}

BOOL DdeUnaccessData(HDDEDATA hData) {
    if (Library::Get().Data().Find(hData) == nullptr) {
        Library::Get().Refuse(0, DMLERR_INVALIDPARAMETER, "DdeUnaccessData", "unknown data handle");
        return FALSE;
    }
    return TRUE;
}

BOOL DdeFreeDataHandle(HDDEDATA hData) {
    if (!Library::Get().Data().Free(hData)) {
        Library::Get().Refuse(0, DMLERR_INVALIDPARAMETER, "DdeFreeDataHandle",
                              "unknown data handle");
        return FALSE;
    }
    return TRUE;
}

std::size_t DdeCountDataHandles(DWORD idInst) {
    return Library::Get().Data().Count(idInst);
}
