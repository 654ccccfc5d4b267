// The server, its "System" topic and the dispatch of DDE transactions.

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <vector>

#include "dde/Arguments.h"
#include "dde/NamedList.h"
#include "dde/stddde.h"
#include "framework/Diagnostics.h"

IMPLEMENT_DYNCREATE(CDDESystemItem, CDDEItem)
IMPLEMENT_DYNCREATE(CDDESystemItem_TopicList, CDDESystemItem)
IMPLEMENT_DYNCREATE(CDDESystemItem_ItemList, CDDESystemItem)
IMPLEMENT_DYNCREATE(CDDESystemItem_FormatList, CDDESystemItem)
IMPLEMENT_DYNCREATE(CDDEServerSystemTopic, CDDETopic)
IMPLEMENT_DYNCREATE(CDDEServer, CObject)

CDDEServer* g_ddeServer = nullptr;

namespace {

// Read access to a data handle's bytes for one scope; no handle reads as
// no data.
class AccessedData {
public:
    explicit AccessedData(HDDEDATA hData) : m_hData(hData) {
        if (m_hData) {
            m_pData = DdeAccessData(m_hData, &m_dwSize);
        }
    }
    ~AccessedData() {
        if (m_pData != nullptr) {
            DdeUnaccessData(m_hData);
        }
    }
    AccessedData(const AccessedData&) = delete;
    AccessedData& operator=(const AccessedData&) = delete;

    const void* Data() const { return m_pData; }
    DWORD Size() const { return m_pData != nullptr ? m_dwSize : 0; }

private:
    HDDEDATA m_hData;
    BYTE* m_pData = nullptr;
    DWORD m_dwSize = 0;
};

// Sets the answer of a system item: its text with the terminating zero.
BOOL AnswerText(const std::string& text, const void** ppData, DWORD* pdwSize) {
    *ppData = text.c_str();
    *pdwSize = static_cast<DWORD>(text.size() + 1);
    return TRUE;
}

}  // namespace

// ---- System items

BOOL CDDESystemItem::Request(UINT /*wFmt*/, const void** /*ppData*/, DWORD* /*pdwSize*/) {
    return FALSE;
}

BOOL CDDESystemItem::Poke(UINT /*wFmt*/, const void* /*pData*/, DWORD /*dwSize*/) {
    return FALSE;
}

const WORD* CDDESystemItem::GetFormatList() {
    static constexpr WORD kTextFormats[] = {CF_TEXT, 0};
    return kTextFormats;
}

// The system items report on the topic they were last added to; when that
// topic has gone there is nothing to report on, and the request is refused.
BOOL CDDESystemItem_TopicList::Request(UINT /*wFmt*/, const void** ppData, DWORD* pdwSize) {
    if (m_topic == nullptr || m_topic->m_server == nullptr ||
        !IsGiven(ppData, "CDDESystemItem_TopicList::Request") ||
        !IsGiven(pdwSize, "CDDESystemItem_TopicList::Request")) {
        return FALSE;
    }
    static std::string s_text;
    s_text = NamesOf(m_topic->m_server->m_topics);
    return AnswerText(s_text, ppData, pdwSize);
}

BOOL CDDESystemItem_ItemList::Request(UINT /*wFmt*/, const void** ppData, DWORD* pdwSize) {
    if (m_topic == nullptr || !IsGiven(ppData, "CDDESystemItem_ItemList::Request") ||
        !IsGiven(pdwSize, "CDDESystemItem_ItemList::Request")) {
        return FALSE;
    }
    static std::string s_text;
    s_text = NamesOf(m_topic->m_items);
    return AnswerText(s_text, ppData, pdwSize);
}

// Formats beyond the first kMaxFormats distinct ones are left out.
BOOL CDDESystemItem_FormatList::Request(UINT /*wFmt*/, const void** ppData, DWORD* pdwSize) {
    if (m_topic == nullptr || !IsGiven(ppData, "CDDESystemItem_FormatList::Request") ||
        !IsGiven(pdwSize, "CDDESystemItem_FormatList::Request")) {
        return FALSE;
    }
    static std::string s_text;
    TabSeparated names;
    std::vector<WORD> seen;
    const CDDEItemList& items = m_topic->m_items;
    for (POSITION pos = items.GetHeadPosition(); pos != nullptr;) {
        const WORD* format = items.GetNext(pos)->GetFormatList();
        for (; format != nullptr && *format != 0; ++format) {
            if (seen.size() < kMaxFormats &&
                std::find(seen.begin(), seen.end(), *format) == seen.end()) {
                seen.push_back(*format);
                names.Add(FormatName(*format));
            }
        }
    }
    s_text = names.Take();
    return AnswerText(s_text, ppData, pdwSize);
}

// ---- CDDEServerSystemTopic

BOOL CDDEServerSystemTopic::Request(UINT wFmt, const char* szItem, const void** ppData,
                                    DWORD* pdwSize) {
    if (!IsUsableName(szItem, "CDDEServerSystemTopic::Request")) {
        return FALSE;
    }
    if (m_server != nullptr) {
        m_server->LogStatus("System topic request: %s", szItem);
    }
    return CDDETopic::Request(wFmt, szItem, ppData, pdwSize);
}

// ---- CDDEServer: overridable operations

CDDEServer::CDDEServer() {
    m_systemTopic.Create("System");
    CDDEServer::AddTopic(&m_systemTopic);
    m_topicsItem.Create("Topics");
    m_sysItemsItem.Create("SysItems");
    m_topicItemListItem.Create("TopicItemList");
    m_formatsItem.Create("Formats");
    for (CDDEItem* item :
         {static_cast<CDDEItem*>(&m_topicsItem), static_cast<CDDEItem*>(&m_sysItemsItem)}) {
        m_systemTopic.AddItem(item);
    }
}

CDDEServer::~CDDEServer() {
    Stop();
    while (!m_topics.IsEmpty()) {
        const POSITION head = m_topics.GetHeadPosition();
        Unbind(m_topics.GetAt(head));
        m_topics.RemoveAt(head);
    }
}

// A topic may outlive its time with the server: it must keep no way back to
// the server, nor list the server's own items, which go with it.
void CDDEServer::Unbind(CDDETopic* pTopic) {
    pTopic->m_server = nullptr;
    for (CDDEItem* const item :
         {static_cast<CDDEItem*>(&m_topicsItem), static_cast<CDDEItem*>(&m_sysItemsItem),
          static_cast<CDDEItem*>(&m_topicItemListItem), static_cast<CDDEItem*>(&m_formatsItem)}) {
        if (const POSITION at = pTopic->m_items.Find(item); at != nullptr) {
            pTopic->m_items.RemoveAt(at);
        }
        if (item->m_topic == pTopic) {
            item->m_topic = nullptr;
        }
    }
}

BOOL CDDEServer::OnCreate() {
    return TRUE;
}

UINT CDDEServer::GetLastDdeError() {
    return DdeGetLastError(m_instance);
}

HDDEDATA CDDEServer::OnOtherTransaction(UINT /*wType*/, UINT /*wFmt*/, HCONV /*hConv*/,
                                        HSZ /*hsz1*/, HSZ /*hsz2*/, HDDEDATA /*hData*/,
                                        ULONG_PTR /*dwData1*/, ULONG_PTR /*dwData2*/) {
    return nullptr;
}

BOOL CDDEServer::Request(UINT wFmt, const char* szTopic, const char* szItem, const void** ppData,
                         DWORD* pdwSize) {
    CDDETopic* const topic = FindTopic(szTopic);
    return topic != nullptr ? topic->Request(wFmt, szItem, ppData, pdwSize) : FALSE;
}

BOOL CDDEServer::Poke(UINT wFmt, const char* szTopic, const char* szItem, const void* pData,
                      DWORD dwSize) {
    CDDETopic* const topic = FindTopic(szTopic);
    return topic != nullptr ? topic->Poke(wFmt, szItem, pData, dwSize) : FALSE;
}

BOOL CDDEServer::OnAdviseData(UINT wFmt, HCONV hConv, const char* szTopic, const char* szItem,
                              const void* pData, DWORD dwSize) {
    CDDEConv* const conv = FindConversation(hConv);
    return conv != nullptr ? conv->OnAdviseData(wFmt, szTopic, szItem, pData, dwSize) : FALSE;
}

BOOL CDDEServer::Execute(const char* szTopic, const void* pData, DWORD dwSize) {
    CDDETopic* const topic = FindTopic(szTopic);
    return topic != nullptr ? topic->Execute(pData, dwSize) : FALSE;
}

void CDDEServer::LogStatus(const char* /*szFormat*/, ...) {}

BOOL CDDEServer::AddTopic(CDDETopic* pTopic) {
    if (!IsGiven(pTopic, "CDDEServer::AddTopic")) {
        return FALSE;
    }
    if (m_topics.Find(pTopic) != nullptr) {
        return TRUE;
    }
    m_topics.AddTail(pTopic);
    pTopic->m_server = this;
    pTopic->AddItem(&m_topicItemListItem);
    pTopic->AddItem(&m_formatsItem);
    return TRUE;
}

BOOL CDDEServer::CanAdvise(UINT wFmt, const char* szTopic, const char* szItem) {
    CDDETopic* const topic = FindTopic(szTopic);
    return topic != nullptr ? topic->CanAdvise(wFmt, szItem) : FALSE;
}

// ---- CDDEServer: life cycle

BOOL CDDEServer::Create(const char* szServiceName, DWORD /*dwFlags*/, DWORD* pidInst) {
    if (g_ddeServer != nullptr) {
        Trace("Already got a server!\n");
        VANTREL_ASSERT(g_ddeServer == nullptr);
        return FALSE;
    }
    // A name no handle can carry is the caller's mistake, which must not
    // use up the process's one server.
    if (!IsUsableName(szServiceName, "CDDEServer::Create")) {
        return FALSE;
    }
    g_ddeServer = this;
    if (DdeInitializeA(&m_instance, ServerCallback, 0, 0) != DMLERR_NO_ERROR) {
        return FALSE;
    }
    if (pidInst != nullptr) {
        *pidInst = m_instance;
    }
    m_serviceName = szServiceName;
    m_hszService.Create(this, szServiceName);
    DdeNameService(m_instance, m_hszService.GetHandle(), nullptr, DNS_REGISTER);
    m_running = TRUE;
    return OnCreate();
}

void CDDEServer::Stop() {
    if (!m_running) {
        return;
    }
    // Ending one end of a conversation the server holds with itself removes
    // the other end from the list too, so the head is taken afresh each time.
    while (!m_conversations.IsEmpty()) {
        const POSITION head = m_conversations.GetHeadPosition();
        CDDEConv* const conv = m_conversations.GetAt(head);
        VANTREL_ASSERT(conv != nullptr);
        if (conv == nullptr || !conv->Disconnect()) {
            // Not connected, so it would never leave the list by itself.
            m_conversations.RemoveAt(head);
            if (conv != nullptr) {
                conv->Release();
            }
        }
    }
    DdeNameService(m_instance, m_hszService.GetHandle(), nullptr, DNS_UNREGISTER);
    DdeUninitialize(m_instance);
    m_running = FALSE;
}

// ---- CDDEServer: look-ups and bookkeeping

CDDETopic* CDDEServer::FindTopic(const char* szTopic) {
    return IsUsableName(szTopic, "CDDEServer::FindTopic") ? FindByName(m_topics, szTopic) : nullptr;
}

void CDDEServer::RemoveTopic(CDDETopic* pTopic) {
    if (pTopic == &m_systemTopic) {
        return;
    }
    if (const POSITION at = m_topics.Find(pTopic); at != nullptr) {
        m_topics.RemoveAt(at);
        Unbind(pTopic);
    }
}

CDDEConv* CDDEServer::FindConversation(HCONV hConv) {
    for (POSITION pos = m_conversations.GetHeadPosition(); pos != nullptr;) {
        CDDEConv* const conv = m_conversations.GetNext(pos);
        VANTREL_ASSERT(conv != nullptr);
        if (conv != nullptr && conv->m_hConv == hConv) {
            return conv;
        }
    }
    return nullptr;
}

CDDEConv* CDDEServer::AddConversation(HCONV hConv, HSZ hszTopic) {
    return AddConversation(CDDECountedObject::New<CDDEConv>(this, hConv, hszTopic));
}

CDDEConv* CDDEServer::AddConversation(CDDEConv* pConv) {
    if (IsGiven(pConv, "CDDEServer::AddConversation")) {
        pConv->AddRef();
        m_conversations.AddTail(pConv);
    }
    return pConv;
}

BOOL CDDEServer::RemoveConversation(HCONV hConv) {
    CDDEConv* const conv = FindConversation(hConv);
    if (conv == nullptr) {
        return FALSE;
    }
    m_conversations.RemoveAt(m_conversations.Find(conv));
    conv->m_hConv = nullptr;
    conv->Release();
    return TRUE;
}

// The handles are given back at once, as every advise link keeps its own
// names; holding them would add a reference on every change.
void CDDEServer::PostAdvise(CDDETopic* pTopic, CDDEItem* pItem) {
    if (!IsGiven(pTopic, "CDDEServer::PostAdvise") || !IsGiven(pItem, "CDDEServer::PostAdvise") ||
        !m_running) {
        return;
    }
    const CHSZ item(this, pItem->m_name.c_str());
    const CHSZ topic(this, pTopic->m_name.c_str());
    DdePostAdvise(m_instance, topic.GetHandle(), item.GetHandle());
}

std::string CDDEServer::StringFromHandle(HSZ hsz) {
    const DWORD length = DdeQueryStringA(m_instance, hsz, nullptr, 0, CP_WINANSI);
    if (length == 0) {
        return "<null>";
    }
    std::string text(length + 1, '\0');
    const DWORD copied = DdeQueryStringA(m_instance, hsz, text.data(), length + 1, CP_WINANSI);
    if (copied == 0) {
        return "<error>";
    }
    text.resize(std::strlen(text.c_str()));
    return text;
}

// ---- Transactions

HDDEDATA ServerCallback(UINT wType, UINT wFmt, HCONV hConv, HSZ hsz1, HSZ hsz2, HDDEDATA hData,
                        ULONG_PTR dwData1, ULONG_PTR dwData2) {
    VANTREL_ASSERT(g_ddeServer != nullptr);
    if (g_ddeServer == nullptr) {
        return nullptr;
    }
    CDDEServer& server = *g_ddeServer;
    const UINT type = wType & 0xFFFF;
    const UINT format = wFmt & 0xFFFF;
    server.LogStatus("Callback %4.4XH", type);
    switch (type) {
        case XTYP_CONNECT_CONFIRM:
            server.LogStatus("Connect to %s", server.StringFromHandle(hsz1).c_str());
            server.AddConversation(hConv, hsz1);
            return nullptr;
        case XTYP_DISCONNECT:
            server.LogStatus("Disconnect");
            server.RemoveConversation(hConv);
            return nullptr;
        case XTYP_WILDCONNECT:
            if (!hsz2 || DdeCmpStringHandles(hsz2, server.m_hszService.GetHandle()) == 0) {
                server.LogStatus("Wild connect to %s", server.StringFromHandle(hsz1).c_str());
                return server.AnswerWildConnect(hsz1);
            }
            return nullptr;
        case XTYP_CONNECT:
        case XTYP_REQUEST:
        case XTYP_ADVREQ:
        case XTYP_ADVSTART:
        case XTYP_ADVDATA:
        case XTYP_POKE:
        case XTYP_EXECUTE: {
            HDDEDATA result = nullptr;
            if (server.DispatchTransaction(type, format, hConv, hsz1, hsz2, hData, &result)) {
                return result;
            }
            break;
        }
        default:
            break;
    }
    return server.OnOtherTransaction(type, format, hConv, hsz1, hsz2, hData, dwData1, dwData2);
}

BOOL CDDEServer::DispatchTransaction(UINT wType, UINT wFmt, HCONV hConv, HSZ hszTopic, HSZ hszItem,
                                     HDDEDATA hData, HDDEDATA* phResult) {
    const std::string topic = StringFromHandle(hszTopic);
    if (wType == XTYP_EXECUTE) {
        return DispatchExecute(topic, hData, phResult);
    }
    if (wType == XTYP_CONNECT) {
        if (FindTopic(topic.c_str()) == nullptr) {
            return FALSE;
        }
        *phResult = HDDEDATA(TRUE);
        return TRUE;
    }
    const std::string item = StringFromHandle(hszItem);
    switch (wType) {
        case XTYP_ADVSTART:
            if (!CanAdvise(wFmt, topic.c_str(), item.c_str())) {
                LogStatus("Can't advise on %s|%s", topic.c_str(), item.c_str());
                return FALSE;
            }
            *phResult = HDDEDATA(TRUE);
            return TRUE;
        case XTYP_POKE:
            return DispatchPoke(wFmt, hConv, hszTopic, hszItem, topic, item, hData, phResult);
        case XTYP_ADVDATA:
            return DispatchAdviseData(wFmt, hConv, topic, item, hData, phResult);
        case XTYP_REQUEST:
        case XTYP_ADVREQ:
            return DispatchRequest(wFmt, hszItem, topic, item, phResult);
        default:
            return FALSE;
    }
}

BOOL CDDEServer::DispatchExecute(const std::string& topic, HDDEDATA hData, HDDEDATA* phResult) {
    LogStatus("Exec");
    BOOL ok = FALSE;
    {
        const AccessedData data(hData);
        ok = Execute(topic.c_str(), data.Data(), data.Size());
    }
    if (!ok) {
        LogStatus("Exec failed");
        *phResult = nullptr;
        return FALSE;
    }
    *phResult = HDDEDATA(DDE_FACK);
    return TRUE;
}

BOOL CDDEServer::DispatchPoke(UINT wFmt, HCONV hConv, HSZ hszTopic, HSZ hszItem,
                              const std::string& topic, const std::string& item, HDDEDATA hData,
                              HDDEDATA* phResult) {
    BOOL ok = FALSE;
    {
        const AccessedData data(hData);
        ok = Poke(wFmt, topic.c_str(), item.c_str(), data.Data(), data.Size());
    }
    if (!ok) {
        LogStatus("Poke %s|%s failed", topic.c_str(), item.c_str());
        return FALSE;
    }
    // Other advise links see a value another program poked; a poke of this
    // instance's own is not announced.
    CONVINFO info{};
    info.cb = sizeof info;
    if (DdeQueryConvInfo(hConv, QID_SYNC, &info) != 0 && (info.wStatus & ST_ISSELF) == 0) {
        DdePostAdvise(m_instance, hszTopic, hszItem);
    }
    *phResult = HDDEDATA(DDE_FACK);
    return TRUE;
}

BOOL CDDEServer::DispatchAdviseData(UINT wFmt, HCONV hConv, const std::string& topic,
                                    const std::string& item, HDDEDATA hData, HDDEDATA* phResult) {
    BOOL ok = FALSE;
    {
        const AccessedData data(hData);
        ok = OnAdviseData(wFmt, hConv, topic.c_str(), item.c_str(), data.Data(), data.Size());
    }
    if (ok) {
        *phResult = HDDEDATA(DDE_FACK);
    } else {
        LogStatus("AdviseData %s|%s failed", topic.c_str(), item.c_str());
        *phResult = nullptr;
    }
    return TRUE;
}

BOOL CDDEServer::DispatchRequest(UINT wFmt, HSZ hszItem, const std::string& topic,
                                 const std::string& item, HDDEDATA* phResult) {
    LogStatus("Request %s|%s", topic.c_str(), item.c_str());
    const void* data = nullptr;
    DWORD size = 0;
    if (!Request(wFmt, topic.c_str(), item.c_str(), &data, &size)) {
        LogStatus("Request %s|%s failed", topic.c_str(), item.c_str());
        *phResult = nullptr;
        return FALSE;
    }
    // A copy: the supplier keeps its data.
    *phResult =
        DdeCreateDataHandle(m_instance, static_cast<const BYTE*>(data), size, 0, hszItem, wFmt, 0);
    return TRUE;
}

HDDEDATA CDDEServer::AnswerWildConnect(HSZ hszTopic) {
    std::string name = "<null>";
    int count = 0;
    if (!hszTopic) {
        count = m_topics.GetCount();
    } else {
        name = StringFromHandle(hszTopic);
        count = FindTopic(name.c_str()) != nullptr ? 1 : 0;
    }
    if (count == 0) {
        LogStatus("Wild connect to %s refused", name.c_str());
        return nullptr;
    }
    const auto size = static_cast<DWORD>((count + 1) * sizeof(HSZPAIR));
    const HDDEDATA hData = DdeCreateDataHandle(m_instance, nullptr, size, 0, nullptr, 0, 0);
    if (!hData) {
        return nullptr;
    }
    std::vector<HSZPAIR> pairs;
    if (!hszTopic) {
        for (POSITION pos = m_topics.GetHeadPosition(); pos != nullptr;) {
            const CDDETopic* const topic = m_topics.GetNext(pos);
            pairs.push_back(
                {DdeCreateStringHandleA(m_instance, m_serviceName.c_str(), CP_WINANSI),
                 DdeCreateStringHandleA(m_instance, topic->m_name.c_str(), CP_WINANSI)});
        }
    } else {
        pairs.push_back({m_hszService.GetHandle(), hszTopic});
    }
    pairs.push_back({nullptr, nullptr});
    std::memcpy(DdeAccessData(hData, nullptr), pairs.data(), size);
    DdeUnaccessData(hData);
    return hData;
}

// ---- Format names

std::string FormatName(UINT wFmt) {
    static constexpr std::array<const char*, 13> kStandardNames = {
        nullptr,   "TEXT", "BITMAP",  "METAFILEPICT", "SYLK", "DIF", "TIFF",
        "OEMTEXT", "DIB",  "PALETTE", "PENDATA",      "RIFF", "WAVE"};
    const UINT format = wFmt & 0xFFFF;
    if (format > 0 && format < kStandardNames.size()) {
        return kStandardNames[format];
    }
    std::array<char, 256> name{};
    if (GetClipboardFormatNameA(wFmt, name.data(), static_cast<int>(name.size())) != 0) {
        return name.data();
    }
    return {};
}
