#include "platform/ddeml/DdeLibrary.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "framework/Diagnostics.h"
#include "platform/ddeml/DdeHandleIds.h"

namespace ddeml {

namespace {

constexpr DWORD kFirstInstanceId = 1;
constexpr DWORD kFirstConversationId = 0x100;

// Marks an instance's callback as running for the length of one call, even
// when the callback leaves by an exception.
class RunningCallback {
public:
    RunningCallback(Library& library, DWORD instance, int& depth)
        : m_library(library), m_instance(instance), m_depth(depth) {
        m_library.FindInstance(m_instance)->inCallback = true;
        ++m_depth;
    }
    ~RunningCallback() {
        --m_depth;
        // The callback may have ended its own instance.
        if (Instance* const instance = m_library.FindInstance(m_instance)) {
            instance->inCallback = false;
        }
    }
    RunningCallback(const RunningCallback&) = delete;
    RunningCallback& operator=(const RunningCallback&) = delete;

private:
    Library& m_library;
    DWORD m_instance;
    int& m_depth;
};

}  // namespace

Library& Library::Get() {
    static Library library;
    return library;
}

Instance* Library::FindInstance(DWORD id) {
    const auto instance = m_instances.find(id);
    return instance != m_instances.end() ? &instance->second : nullptr;
}

Conversation* Library::FindConversation(HCONV hConv) {
    const auto conversation = m_conversations.find(hConv.value);
    return conversation != m_conversations.end() ? &conversation->second : nullptr;
}

DWORD Library::AddInstance(PFNCALLBACK callback) {
    const DWORD id = NextFreeId(m_lastInstance, kFirstInstanceId, m_instances);
    m_instances.emplace(id, Instance{callback, DMLERR_NO_ERROR, {}, false});
    return id;
}

void Library::RemoveInstance(DWORD id) {
    std::vector<HCONV> connected;
    for (const auto& [handle, conversation] : m_conversations) {
        if (conversation.instance == id && conversation.connected) {
            connected.emplace_back(handle);
        }
    }
    for (const HCONV hConv : connected) {
        EndConversation(hConv);
    }
    for (const HSZ service : m_instances.at(id).services) {
        m_strings.Release(kLibraryOwner, service);
    }
    ForgetConversationsOf(id);
    m_strings.ReleaseAll(id);
    m_data.FreeAll(id);
    m_instances.erase(id);
}

void Library::Fail(DWORD instance, UINT error) {
    if (Instance* const found = FindInstance(instance)) {
        found->lastError = error;
    }
    SetLastError(error);
}

void Library::Refuse(DWORD instance, UINT error, const char* call, const char* reason) {
    Trace("%s refused: %s\n", call, reason);
    Fail(instance, error);
}

void Library::Succeed(DWORD instance) {
    if (Instance* const found = FindInstance(instance)) {
        found->lastError = DMLERR_NO_ERROR;
    }
}

std::optional<HDDEDATA> Library::Call(DWORD instance, UINT type, UINT fmt, HCONV hConv, HSZ hsz1,
                                      HSZ hsz2, HDDEDATA hData, ULONG_PTR data1, ULONG_PTR data2) {
    const Instance* const target = FindInstance(instance);
    if (target == nullptr || target->inCallback) {
        return std::nullopt;
    }
    const PFNCALLBACK callback = target->callback;
    const RunningCallback running(*this, instance, m_callbackDepth);
    return callback(type, fmt, hConv, hsz1, hsz2, hData, data1, data2);
}

bool Library::IsBusy(DWORD instance) {
    const Instance* const target = FindInstance(instance);
    return target != nullptr && target->inCallback;
}

ConversationEnds Library::OpenConversation(DWORD client, DWORD server, HSZ service, HSZ topic) {
    const HCONV clientEnd(NextFreeId(m_lastConversation, kFirstConversationId, m_conversations));
    m_conversations.emplace(clientEnd.value,
                            Conversation{client, nullptr, service, topic, true, true, {}});
    const HCONV serverEnd(NextFreeId(m_lastConversation, kFirstConversationId, m_conversations));
    m_conversations.emplace(serverEnd.value,
                            Conversation{server, clientEnd, service, topic, false, true, {}});
    m_conversations.at(clientEnd.value).partner = serverEnd;
    for (int end = 0; end < 2; ++end) {
        m_strings.AddReference(kLibraryOwner, service);
        m_strings.AddReference(kLibraryOwner, topic);
    }
    return {clientEnd, serverEnd};
}

void Library::EndConversation(HCONV hConv) {
    Conversation* const mine = FindConversation(hConv);
    if (mine == nullptr || !mine->connected) {
        return;
    }
    const HCONV partnerHandle = mine->partner;
    Conversation* const partner = FindConversation(partnerHandle);
    for (Conversation* end : {mine, partner}) {
        if (end != nullptr) {
            end->connected = false;
            DropLinks(*end);
            m_strings.Release(kLibraryOwner, end->service);
            m_strings.Release(kLibraryOwner, end->topic);
        }
    }
    m_conversations.erase(hConv.value);
    if (partner == nullptr) {
        return;
    }
    const DWORD partnerInstance = partner->instance;
    Defer([this, partnerInstance, partnerHandle] { NotifyEnded(partnerInstance, partnerHandle); });
}

void Library::ForgetEnded(HCONV hConv) {
    const Conversation* const end = FindConversation(hConv);
    if (end != nullptr && !end->connected) {
        m_conversations.erase(hConv.value);
    }
}

bool Library::HasLink(HCONV server, const Link& link) {
    const Conversation* const end = FindConversation(server);
    return end != nullptr &&
           std::find(end->links.begin(), end->links.end(), link) != end->links.end();
}

void Library::AddLink(HCONV server, const Link& link) {
    Conversation* const end = FindConversation(server);
    if (end == nullptr || !end->connected || HasLink(server, link)) {
        return;
    }
    end->links.push_back(link);
    m_strings.AddReference(kLibraryOwner, link.topic);
    m_strings.AddReference(kLibraryOwner, link.item);
}

bool Library::RemoveLink(HCONV server, const Link& link) {
    Conversation* const end = FindConversation(server);
    if (end == nullptr) {
        return false;
    }
    const auto found = std::find(end->links.begin(), end->links.end(), link);
    if (found == end->links.end()) {
        return false;
    }
    end->links.erase(found);
    m_strings.Release(kLibraryOwner, link.topic);
    m_strings.Release(kLibraryOwner, link.item);
    return true;
}

void Library::Defer(std::function<void()> work) {
    m_deferred.push_back(std::move(work));
}

void Library::RunDeferred() {
    if (m_callbackDepth > 0 || m_runningDeferred) {
        return;
    }
    m_runningDeferred = true;
    const std::unique_ptr<bool, void (*)(bool*)> done(&m_runningDeferred,
                                                      [](bool* flag) { *flag = false; });
    while (!m_deferred.empty()) {
        const std::function<void()> work = std::move(m_deferred.front());
        m_deferred.pop_front();
        work();
    }
}

void Library::DropLinks(Conversation& conversation) {
    for (const Link& link : conversation.links) {
        m_strings.Release(kLibraryOwner, link.topic);
        m_strings.Release(kLibraryOwner, link.item);
    }
    conversation.links.clear();
}

// An end its instance has let go of meanwhile needs no notice.
void Library::NotifyEnded(DWORD instance, HCONV hConv) {
    if (FindConversation(hConv) == nullptr) {
        return;
    }
    Call(instance, XTYP_DISCONNECT, 0, hConv, nullptr, nullptr, nullptr, 0, 0);
    // Nothing can be done on a server end once its instance has been told.
    const Conversation* const end = FindConversation(hConv);
    if (end != nullptr && !end->client) {
        ForgetEnded(hConv);
    }
}

void Library::ForgetConversationsOf(DWORD instance) {
    std::erase_if(m_conversations,
                  [instance](const auto& entry) { return entry.second.instance == instance; });
}

}  // namespace ddeml
