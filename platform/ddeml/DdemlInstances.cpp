// Instances and the service names they offer.

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/ddeml/DdeLibrary.h"
#include "platform/ddeml/Ddeml.h"

using ddeml::kLibraryOwner;
using ddeml::Library;

UINT DdeInitializeA(DWORD* pidInst, PFNCALLBACK pfnCallback, DWORD /*afCmd*/, DWORD ulRes) {
    if (pidInst == nullptr || *pidInst != 0 || pfnCallback == nullptr || ulRes != 0) {
        Library::Get().Refuse(0, DMLERR_INVALIDPARAMETER, "DdeInitializeA",
                              "needs an id of 0 to fill and a callback");
        return DMLERR_INVALIDPARAMETER;
    }
    *pidInst = Library::Get().AddInstance(pfnCallback);
    return DMLERR_NO_ERROR;
}

BOOL DdeUninitialize(DWORD idInst) {
    Library& library = Library::Get();
    if (library.FindInstance(idInst) == nullptr) {
        library.Refuse(idInst, DMLERR_INVALIDPARAMETER, "DdeUninitialize", "unknown instance");
        return FALSE;
    }
    library.RemoveInstance(idInst);
    library.RunDeferred();
    return TRUE;
}

UINT DdeGetLastError(DWORD idInst) {
    ddeml::Instance* const instance = Library::Get().FindInstance(idInst);
    if (instance == nullptr) {
        return DMLERR_INVALIDPARAMETER;
    }
    return std::exchange(instance->lastError, DMLERR_NO_ERROR);
}

namespace {

UINT Register(Library& library, ddeml::Instance& instance, HSZ service) {
    if (!service || library.Strings().Text(service) == nullptr) {
        return DMLERR_INVALIDPARAMETER;
    }
    std::vector<HSZ>& services = instance.services;
    if (std::find(services.begin(), services.end(), service) != services.end()) {
        return DMLERR_DLL_USAGE;
    }
    services.push_back(service);
    library.Strings().AddReference(kLibraryOwner, service);
    return DMLERR_NO_ERROR;
}

// A null service withdraws all of the instance's names.
UINT Unregister(Library& library, ddeml::Instance& instance, HSZ service) {
    std::vector<HSZ>& services = instance.services;
    const auto first =
        service ? std::find(services.begin(), services.end(), service) : services.begin();
    if (service && first == services.end()) {
        return DMLERR_DLL_USAGE;
    }
    const auto last = service ? first + 1 : services.end();
    for (auto name = first; name != last; ++name) {
        library.Strings().Release(kLibraryOwner, *name);
    }
    services.erase(first, last);
    return DMLERR_NO_ERROR;
}

}  // namespace

// Connections are only ever offered to registered services, so the filter
// flags change nothing here and are accepted on their own or alongside.
HDDEDATA DdeNameService(DWORD idInst, HSZ hsz1, HSZ /*hsz2*/, UINT afCmd) {
    Library& library = Library::Get();
    ddeml::Instance* const instance = library.FindInstance(idInst);
    const UINT action = afCmd & (DNS_REGISTER | DNS_UNREGISTER);
    const bool knownFlags =
        (afCmd & ~(DNS_REGISTER | DNS_UNREGISTER | DNS_FILTERON | DNS_FILTEROFF)) == 0;
    UINT error = DMLERR_INVALIDPARAMETER;
    if (instance != nullptr && knownFlags && action != (DNS_REGISTER | DNS_UNREGISTER)) {
        if (action == DNS_REGISTER) {
            error = Register(library, *instance, hsz1);
        } else if (action == DNS_UNREGISTER) {
            error = Unregister(library, *instance, hsz1);
        } else {
            error = afCmd != 0 ? DMLERR_NO_ERROR : DMLERR_INVALIDPARAMETER;
        }
    }
    if (error != DMLERR_NO_ERROR) {
        library.Refuse(idInst, error, "DdeNameService",
                       error == DMLERR_DLL_USAGE ? "name registered twice or never"
                                                 : "unknown instance, name or flags");
        return nullptr;
    }
    return HDDEDATA(TRUE);
}
