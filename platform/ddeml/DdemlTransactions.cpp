// Client transactions and advise loops.

#include <vector>

#include "framework/Diagnostics.h"
#include "platform/ddeml/ClipboardFormats.h"
#include "platform/ddeml/DdeLibrary.h"
#include "platform/ddeml/Ddeml.h"

using ddeml::Library;
using ddeml::Link;

namespace {

struct Outcome {
    HDDEDATA result;
    UINT error;
    // Set when the caller's arguments are at fault.
    const char* refusal = nullptr;
};

constexpr Outcome Invalid(const char* refusal) {
    return {nullptr, DMLERR_INVALIDPARAMETER, refusal};
}

constexpr Outcome Refused{nullptr, DMLERR_NOTPROCESSED};
constexpr Outcome Acknowledged{HDDEDATA(TRUE), DMLERR_NO_ERROR};

// The server end of the conversation a transaction goes to.
struct Target {
    DWORD instance;
    HCONV conversation;
    HSZ topic;
};

bool IsAcknowledged(HDDEDATA answer) {
    return (answer.value & DDE_FACK) != 0;
}

Outcome Request(Library& library, const Target& to, DWORD client, HSZ item, UINT format,
                const BYTE* data) {
    if (!item || data != nullptr) {
        return Invalid(item ? "a request carries no data" : "no item");
    }
    const auto answer = library.Call(to.instance, XTYP_REQUEST, format, to.conversation, to.topic,
                                     item, nullptr, 0, 0);
    const ddeml::DataStore::Block* const block = answer ? library.Data().Find(*answer) : nullptr;
    if (block == nullptr) {
        if (answer && *answer) {
            Trace("DdeClientTransaction refused a request's answer: not a data handle\n");
        }
        return Refused;
    }
    const HDDEDATA copy = library.Data().Copy(client, *answer, block->format);
    library.Data().TakeOver(*answer);
    return {copy, DMLERR_NO_ERROR};
}

// Hands the server a handle of the sent bytes, valid while its callback runs.
Outcome Deliver(Library& library, const Target& to, UINT type, UINT format, HSZ item,
                const BYTE* data, DWORD size, UINT handleFormat) {
    const HDDEDATA handle =
        library.Data().Create(ddeml::kLibraryOwner, data, size, 0, handleFormat, false);
    const auto answer =
        library.Call(to.instance, type, format, to.conversation, to.topic, item, handle, 0, 0);
    library.Data().Free(handle);
    return answer && IsAcknowledged(*answer) ? Acknowledged : Refused;
}

Outcome Poke(Library& library, const Target& to, HSZ item, UINT format, const BYTE* data,
             DWORD size) {
    if (!item) {
        return Invalid("no item");
    }
    return Deliver(library, to, XTYP_POKE, format, item, data, size, format);
}

Outcome Execute(Library& library, const Target& to, const BYTE* data, DWORD size) {
    if (data == nullptr) {
        return {nullptr, DMLERR_MEMORY_ERROR, "no command"};
    }
    return Deliver(library, to, XTYP_EXECUTE, 0, nullptr, data, size, CF_TEXT);
}

Outcome StartAdvise(Library& library, const Target& to, HSZ item, UINT format) {
    if (!item) {
        return Invalid("no item");
    }
    const auto answer = library.Call(to.instance, XTYP_ADVSTART, format, to.conversation, to.topic,
                                     item, nullptr, 0, 0);
    if (!answer || !*answer) {
        return Refused;
    }
    library.AddLink(to.conversation, Link{to.topic, item, format});
    return Acknowledged;
}

Outcome StopAdvise(Library& library, const Target& to, HSZ item, UINT format) {
    const Link link{to.topic, item, format};
    if (!item) {
        return Invalid("no item");
    }
    if (!library.HasLink(to.conversation, link)) {
        return Refused;
    }
    library.Call(to.instance, XTYP_ADVSTOP, format, to.conversation, to.topic, item, nullptr, 0, 0);
    library.RemoveLink(to.conversation, link);
    return Acknowledged;
}

Outcome Transact(Library& library, const Target& to, DWORD client, const BYTE* data, DWORD size,
                 HSZ item, UINT format, UINT type) {
    switch (type) {
        case XTYP_REQUEST:
            return Request(library, to, client, item, format, data);
        case XTYP_POKE:
            return Poke(library, to, item, format, data, size);
        case XTYP_EXECUTE:
            return Execute(library, to, data, size);
        case XTYP_ADVSTART:
            return StartAdvise(library, to, item, format);
        case XTYP_ADVSTOP:
            return StopAdvise(library, to, item, format);
        default:
            return Invalid("unknown transaction type");
    }
}

// Where a client's transaction goes, or the error that stops it. A handle
// no end answers to any more belonged to a conversation its client ended.
Outcome FindTarget(Library& library, HCONV hConv, Target& target) {
    const ddeml::Conversation* const client = library.FindConversation(hConv);
    if (!hConv || (client != nullptr && !client->client)) {
        return Invalid(hConv ? "not a client conversation" : "no conversation");
    }
    const ddeml::Conversation* const server =
        client != nullptr ? library.FindConversation(client->partner) : nullptr;
    if (client == nullptr || !client->connected || server == nullptr) {
        return {nullptr, DMLERR_NO_CONV_ESTABLISHED};
    }
    if (library.IsBusy(server->instance)) {
        return {nullptr, DMLERR_REENTRANCY};
    }
    target = Target{server->instance, client->partner, server->topic};
    return {nullptr, DMLERR_NO_ERROR};
}

// One advise request and, when the server answers with data, its delivery.
void RunAdvise(Library& library, HCONV serverEnd, const Link& link, WORD remaining) {
    const ddeml::Conversation* server = library.FindConversation(serverEnd);
    if (server == nullptr || !library.HasLink(serverEnd, link)) {
        return;
    }
    const auto answer = library.Call(server->instance, XTYP_ADVREQ, link.format, serverEnd,
                                     link.topic, link.item, nullptr, remaining, 0);
    if (!answer || library.Data().Find(*answer) == nullptr) {
        return;
    }
    const HDDEDATA copy = library.Data().Copy(ddeml::kLibraryOwner, *answer, link.format);
    library.Data().TakeOver(*answer);
    server = library.FindConversation(serverEnd);
    const ddeml::Conversation* const client = server != nullptr && server->connected
                                                  ? library.FindConversation(server->partner)
                                                  : nullptr;
    if (client != nullptr) {
        library.Call(client->instance, XTYP_ADVDATA, link.format, server->partner, link.topic,
                     link.item, copy, 0, 0);
    }
    library.Data().Free(copy);
}

}  // namespace

HDDEDATA DdeClientTransaction(const BYTE* pData, DWORD cbData, HCONV hConv, HSZ hszItem, UINT wFmt,
                              UINT wType, DWORD dwTimeout, DWORD* pdwResult) {
    Library& library = Library::Get();
    if (pdwResult != nullptr) {
        *pdwResult = 0;
    }
    Target target{};
    Outcome outcome = FindTarget(library, hConv, target);
    if (outcome.error == DMLERR_NO_ERROR && dwTimeout == TIMEOUT_ASYNC) {
        outcome = Invalid("asynchronous transactions are not offered");
    }
    const ddeml::Conversation* const client = library.FindConversation(hConv);
    const DWORD clientInstance = client != nullptr ? client->instance : 0;
    if (outcome.error == DMLERR_NO_ERROR) {
        outcome = Transact(library, target, clientInstance, pData, cbData, hszItem, wFmt, wType);
    }
    if (outcome.error == DMLERR_NO_ERROR) {
        library.Succeed(clientInstance);
        if (pdwResult != nullptr) {
            *pdwResult = DDE_FACK;
        }
    } else if (outcome.refusal != nullptr) {
        library.Refuse(clientInstance, outcome.error, "DdeClientTransaction", outcome.refusal);
    } else {
        library.Fail(clientInstance, outcome.error);
    }
    library.RunDeferred();
    return outcome.result;
}

BOOL DdePostAdvise(DWORD idInst, HSZ hszTopic, HSZ hszItem) {
    Library& library = Library::Get();
    if (library.FindInstance(idInst) == nullptr) {
        library.Refuse(idInst, DMLERR_INVALIDPARAMETER, "DdePostAdvise", "unknown instance");
        return FALSE;
    }
    struct Pending {
        HCONV serverEnd;
        Link link;
    };
    std::vector<Pending> pending;
    for (const auto& [handle, end] : library.Conversations()) {
        if (end.instance != idInst || end.client || !end.connected) {
            continue;
        }
        for (const Link& link : end.links) {
            if (link.topic == hszTopic && link.item == hszItem) {
                pending.push_back({HCONV(handle), link});
            }
        }
    }
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const auto remaining = static_cast<WORD>(pending.size() - 1 - i);
        library.Defer([&library, request = pending[i], remaining] {
            RunAdvise(library, request.serverEnd, request.link, remaining);
        });
    }
    library.RunDeferred();
    return TRUE;
}
