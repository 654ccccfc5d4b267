// Connecting, disconnecting and asking about conversations.

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/Diagnostics.h"
#include "platform/ddeml/DdeLibrary.h"
#include "platform/ddeml/Ddeml.h"
#include "platform/ddeml/DdemlDiagnostics.h"

using ddeml::Library;

namespace {

// Instances offering a service (`service` null: any service), in the order
// they were made; a snapshot, since callbacks may change the instances.
std::vector<DWORD> ServersOffering(const Library& library, HSZ service) {
    std::vector<DWORD> servers;
    for (const auto& [id, instance] : library.Instances()) {
        const bool offers = service ? std::find(instance.services.begin(), instance.services.end(),
                                                service) != instance.services.end()
                                    : !instance.services.empty();
        if (offers) {
            servers.push_back(id);
        }
    }
    return servers;
}

ULONG_PTR SameInstance(DWORD client, DWORD server) {
    return client == server ? 1 : 0;
}

bool BothLive(Library& library, DWORD client, DWORD server) {
    return library.FindInstance(client) != nullptr && library.FindInstance(server) != nullptr;
}

// Makes both ends and lets the server confirm its own.
HCONV Open(Library& library, DWORD client, DWORD server, HSZ service, HSZ topic) {
    const ddeml::ConversationEnds ends = library.OpenConversation(client, server, service, topic);
    library.Call(server, XTYP_CONNECT_CONFIRM, 0, ends.server, topic, service, nullptr, 0,
                 SameInstance(client, server));
    return ends.client;
}

// Of the conversations one connect opens, the client keeps the first that
// still stands after its confirmation; the others end at once.
class KeptConversation {
public:
    explicit KeptConversation(Library& library) : m_library(library) {}

    void Offer(HCONV opened) {
        const ddeml::Conversation* const end = m_library.FindConversation(opened);
        if (!m_kept && end != nullptr && end->connected) {
            m_kept = opened;
            return;
        }
        m_library.EndConversation(opened);
        m_library.ForgetEnded(opened);
    }
    // Null when the client's instance ended meanwhile.
    HCONV Get() const { return m_library.FindConversation(m_kept) != nullptr ? m_kept : nullptr; }

private:
    Library& m_library;
    HCONV m_kept;
};

// Every instance offering the service is asked, and each one that accepts
// gets its own conversation.
HCONV ConnectNamed(Library& library, DWORD client, HSZ service, HSZ topic, ULONG_PTR context) {
    KeptConversation kept(library);
    for (const DWORD server : ServersOffering(library, service)) {
        const auto answer = library.Call(server, XTYP_CONNECT, 0, nullptr, topic, service, nullptr,
                                         context, SameInstance(client, server));
        if (answer && *answer && BothLive(library, client, server)) {
            kept.Offer(Open(library, client, server, service, topic));
        }
    }
    return kept.Get();
}

bool IsLiveName(Library& library, HSZ hsz) {
    return library.Strings().Text(hsz) != nullptr;
}

// The {service, topic} pairs of a wild connect answer, up to the pair of
// zeros; pairs naming no living string are left out. The answer passes to
// the library and is freed here.
std::vector<HSZPAIR> TakePairs(Library& library, HDDEDATA answer) {
    std::vector<HSZPAIR> pairs;
    if (const ddeml::DataStore::Block* const block = library.Data().Find(answer)) {
        for (DWORD offset = 0; offset + sizeof(HSZPAIR) <= block->size; offset += sizeof(HSZPAIR)) {
            HSZPAIR pair;
            std::memcpy(&pair, block->bytes.data() + offset, sizeof pair);
            if (!pair.hszSvc && !pair.hszTopic) {
                break;
            }
            if (IsLiveName(library, pair.hszSvc) && IsLiveName(library, pair.hszTopic)) {
                pairs.push_back(pair);
            } else {
                Trace("DdeConnect refused a wild connect pair: it names an unknown string\n");
            }
        }
    }
    library.Data().TakeOver(answer);
    return pairs;
}

// Every instance with a service is asked; each pair of every answer makes
// a conversation.
HCONV ConnectWild(Library& library, DWORD client, HSZ service, HSZ topic, ULONG_PTR context) {
    KeptConversation kept(library);
    for (const DWORD server : ServersOffering(library, nullptr)) {
        const auto answer = library.Call(server, XTYP_WILDCONNECT, 0, nullptr, topic, service,
                                         nullptr, context, SameInstance(client, server));
        if (!answer || !*answer) {
            continue;
        }
        for (const HSZPAIR& pair : TakePairs(library, *answer)) {
            if (!BothLive(library, client, server)) {
                break;
            }
            kept.Offer(Open(library, client, server, pair.hszSvc, pair.hszTopic));
        }
    }
    return kept.Get();
}

UINT StatusOf(Library& library, const ddeml::Conversation& end) {
    const ddeml::Conversation* const partner = library.FindConversation(end.partner);
    const ddeml::Conversation& server = end.client && partner != nullptr ? *partner : end;
    UINT status = ST_CONNECTED | ST_ISLOCAL;
    if (end.client) {
        status |= ST_CLIENT;
    }
    if (!server.links.empty()) {
        status |= ST_ADVISE;
    }
    if (partner != nullptr && partner->instance == end.instance) {
        status |= ST_ISSELF;
    }
    return status;
}

}  // namespace

HCONV DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, const CONVCONTEXT* pCC) {
    Library& library = Library::Get();
    if (library.FindInstance(idInst) == nullptr) {
        library.Refuse(idInst, DMLERR_INVALIDPARAMETER, "DdeConnect", "unknown instance");
        return nullptr;
    }
    const auto context = reinterpret_cast<ULONG_PTR>(pCC);
    const HCONV conversation = hszService && hszTopic
                                   ? ConnectNamed(library, idInst, hszService, hszTopic, context)
                                   : ConnectWild(library, idInst, hszService, hszTopic, context);
    if (conversation) {
        library.Succeed(idInst);
    } else {
        library.Fail(idInst, DMLERR_NO_CONV_ESTABLISHED);
    }
    library.RunDeferred();
    return conversation;
}

// An end the partner ended is let go of here as well, though the call fails.
BOOL DdeDisconnect(HCONV hConv) {
    Library& library = Library::Get();
    const ddeml::Conversation* const conversation = library.FindConversation(hConv);
    if (conversation == nullptr) {
        library.Refuse(0, DMLERR_INVALIDPARAMETER, "DdeDisconnect", "no such conversation");
        return FALSE;
    }
    if (!conversation->connected) {
        library.Fail(conversation->instance, DMLERR_NO_CONV_ESTABLISHED);
        library.ForgetEnded(hConv);
        return FALSE;
    }
    library.EndConversation(hConv);
    library.RunDeferred();
    return TRUE;
}

UINT DdeQueryConvInfo(HCONV hConv, DWORD idTransaction, CONVINFO* pConvInfo) {
    Library& library = Library::Get();
    const ddeml::Conversation* const end = library.FindConversation(hConv);
    const DWORD instance = end != nullptr ? end->instance : 0;
    if (pConvInfo == nullptr || end == nullptr || idTransaction != QID_SYNC) {
        library.Refuse(instance, DMLERR_INVALIDPARAMETER, "DdeQueryConvInfo",
                       pConvInfo == nullptr ? "no record"
                       : end == nullptr     ? "no such conversation"
                                            : "not a synchronous query");
        return 0;
    }
    if (!end->connected) {
        library.Fail(instance, DMLERR_NO_CONV_ESTABLISHED);
        return 0;
    }
    CONVINFO info{};
    info.cb = pConvInfo->cb;
    info.hConvPartner = end->partner;
    info.hszSvcPartner = end->service;
    info.hszServiceReq = end->service;
    info.hszTopic = end->topic;
    info.wStatus = StatusOf(library, *end);
    info.wConvst = XST_CONNECTED;
    info.ConvCtxt.cb = sizeof(CONVCONTEXT);
    const std::size_t copied = std::min<std::size_t>(pConvInfo->cb, sizeof info);
    std::memcpy(pConvInfo, &info, copied);
    return static_cast<UINT>(copied);
}

std::size_t DdeCountConversations() {
    return Library::Get().Conversations().size();
}
