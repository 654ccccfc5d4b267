#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/ddeml/DdeDataStore.h"
#include "platform/ddeml/DdeStringTable.h"
#include "platform/ddeml/Ddeml.h"

namespace ddeml {

struct Instance {
    PFNCALLBACK callback = nullptr;
    UINT lastError = DMLERR_NO_ERROR;
    std::vector<HSZ> services;
    bool inCallback = false;
};

struct Link {
    HSZ topic;
    HSZ item;
    UINT format;

    friend bool operator==(const Link&, const Link&) = default;
};

// One end of a conversation. An end is forgotten as soon as nobody can
// still use its handle: at once when its own instance ends it, after the
// disconnect notice for a server end the partner ended. A client end the
// partner ended stays (not connected) until its instance lets go of it,
// so that transactions on it fail as ended.
struct Conversation {
    DWORD instance;
    HCONV partner;
    HSZ service;
    HSZ topic;
    bool client;
    bool connected;
    // Advise links, kept on the server end.
    std::vector<Link> links;
};

struct ConversationEnds {
    HCONV client;
    HCONV server;
};

// The state of every instance in the process, and the one way into their
// callbacks.
class Library {
public:
    static Library& Get();

    Instance* FindInstance(DWORD id);
    Conversation* FindConversation(HCONV hConv);

    DWORD AddInstance(PFNCALLBACK callback);
    // Ends the instance's conversations, withdraws its services and frees
    // what it holds.
    void RemoveInstance(DWORD id);

    // Records a failure on the instance (when it exists) and on the thread.
    void Fail(DWORD instance, UINT error);
    // A failure caused by what a caller or partner handed over: recorded as
    // by Fail, and a trace line names the call and the reason.
    void Refuse(DWORD instance, UINT error, const char* call, const char* reason);
    void Succeed(DWORD instance);

    // Calls the instance's callback. Nothing (no value) when the instance
    // is gone or its callback is running.
    std::optional<HDDEDATA> Call(DWORD instance, UINT type, UINT fmt, HCONV hConv, HSZ hsz1,
                                 HSZ hsz2, HDDEDATA hData, ULONG_PTR data1, ULONG_PTR data2);
    bool IsBusy(DWORD instance);

    ConversationEnds OpenConversation(DWORD client, DWORD server, HSZ service, HSZ topic);
    // Ends both ends of the conversation `hConv` belongs to and forgets the
    // end `hConv`, whose instance lets go of it; the partner's instance is
    // told with XTYP_DISCONNECT.
    void EndConversation(HCONV hConv);
    // Forgets an end that has already ended.
    void ForgetEnded(HCONV hConv);

    // Advise links on a server end; the library keeps their names alive.
    bool HasLink(HCONV server, const Link& link);
    void AddLink(HCONV server, const Link& link);
    bool RemoveLink(HCONV server, const Link& link);

    // Work that must wait until no callback is running (notices and advise
    // deliveries); it runs in order, at once when nothing is running.
    void Defer(std::function<void()> work);
    void RunDeferred();

    StringTable& Strings() { return m_strings; }
    DataStore& Data() { return m_data; }
    const std::map<DWORD, Instance>& Instances() const { return m_instances; }
    const std::map<DWORD, Conversation>& Conversations() const { return m_conversations; }

private:
    void DropLinks(Conversation& conversation);
    void NotifyEnded(DWORD instance, HCONV hConv);
    void ForgetConversationsOf(DWORD instance);

    StringTable m_strings;
    DataStore m_data;
    std::map<DWORD, Instance> m_instances;
    std::map<DWORD, Conversation> m_conversations;
    DWORD m_lastInstance = 0;
    DWORD m_lastConversation = 0;
    std::deque<std::function<void()>> m_deferred;
    int m_callbackDepth = 0;
    bool m_runningDeferred = false;
};

}  // namespace ddeml
