// Conversations this process holds as a client.

#include <cstdlib>
#include <cstring>

#include "dde/Arguments.h"
#include "dde/stddde.h"
#include "framework/Diagnostics.h"

IMPLEMENT_DYNCREATE_SHARED(CDDEConv, CDDECountedObject, CDDECountedObject::New<CDDEConv>)

namespace {
constexpr DWORD kTransactionTimeoutMs = 5000;
}

CDDEConv::CDDEConv(CDDEServer* pServer) : m_server(pServer) {}

CDDEConv::CDDEConv(CDDEServer* pServer, HCONV hConv, HSZ hszTopic)
    : m_server(pServer), m_hConv(hConv), m_hszTopic(hszTopic) {}

CDDEConv::~CDDEConv() {
    Disconnect();
}

BOOL CDDEConv::Connect(const char* szService, const char* szTopic) {
    VANTREL_ASSERT(m_server != nullptr);
    VANTREL_ASSERT(!m_hConv);
    if (!IsUsableName(szService, "CDDEConv::Connect") ||
        !IsUsableName(szTopic, "CDDEConv::Connect") || m_server == nullptr || m_hConv) {
        return FALSE;
    }
    const CHSZ service(m_server, szService);
    const CHSZ topic(m_server, szTopic);
    m_hConv = DdeConnect(m_server->m_instance, service.GetHandle(), topic.GetHandle(), nullptr);
    if (!m_hConv) {
        const DWORD error = GetLastError();
        m_server->LogStatus("Failed to connect to %s|%s. Error %u", szService, szTopic, error);
        return FALSE;
    }
    m_server->AddConversation(this);
    return TRUE;
}

BOOL CDDEConv::Disconnect() {
    if (!m_hConv) {
        return FALSE;
    }
    DdeDisconnect(m_hConv);
    VANTREL_ASSERT(m_server != nullptr);
    // The server may release (and so destroy) this object: nothing of it is
    // used after RemoveConversation finds it.
    if (m_server == nullptr || !m_server->RemoveConversation(m_hConv)) {
        m_hConv = nullptr;
    }
    return TRUE;
}

BOOL CDDEConv::OnAdviseData(UINT /*wFmt*/, const char* /*szTopic*/, const char* /*szItem*/,
                            const void* /*pData*/, DWORD /*dwSize*/) {
    return FALSE;
}

BOOL CDDEConv::Request(const char* szItem, void** ppData, DWORD* pdwSize) {
    VANTREL_ASSERT(m_server != nullptr);
    if (!IsGiven(ppData, "CDDEConv::Request") || !IsGiven(pdwSize, "CDDEConv::Request")) {
        return FALSE;
    }
    *ppData = nullptr;
    *pdwSize = 0;
    const HDDEDATA hAnswer = Transact(nullptr, 0, szItem, CF_TEXT, XTYP_REQUEST);
    if (!hAnswer) {
        return FALSE;
    }
    DWORD size = 0;
    const BYTE* const data = DdeAccessData(hAnswer, &size);
    void* const block = data != nullptr && size != 0 ? std::malloc(size) : nullptr;
    if (block != nullptr) {
        std::memcpy(block, data, size);
    }
    DdeUnaccessData(hAnswer);
    // The answer is ours; only the copy goes to the caller.
    DdeFreeDataHandle(hAnswer);
    if (block == nullptr) {
        m_server->LogStatus("Request %s: answer without data refused", szItem);
        return FALSE;
    }
    *ppData = block;
    *pdwSize = size;
    return TRUE;
}

BOOL CDDEConv::StartAdvise(const char* szItem) {
    VANTREL_ASSERT(m_server != nullptr);
    return Transact(nullptr, 0, szItem, CF_TEXT, XTYP_ADVSTART) ? TRUE : FALSE;
}

BOOL CDDEConv::Execute(const char* szCommand) {
    if (!IsGiven(szCommand, "CDDEConv::Execute")) {
        return FALSE;
    }
    const auto size = static_cast<DWORD>(std::strlen(szCommand) + 1);
    return DdeClientTransaction(reinterpret_cast<const BYTE*>(szCommand), size, m_hConv, nullptr,
                                CF_TEXT, XTYP_EXECUTE, kTransactionTimeoutMs, nullptr)
               ? TRUE
               : FALSE;
}

BOOL CDDEConv::Poke(UINT wFmt, const char* szItem, const void* pData, DWORD dwSize) {
    return Transact(static_cast<const BYTE*>(pData), dwSize, szItem, wFmt, XTYP_POKE) ? TRUE
                                                                                      : FALSE;
}

// A synchronous transaction with a temporary handle for the item name. No
// server means no instance to make the handle with, and so no transaction.
HDDEDATA CDDEConv::Transact(const BYTE* pData, DWORD dwSize, const char* szItem, UINT wFmt,
                            UINT wType) {
    if (m_server == nullptr) {
        return nullptr;
    }
    CHSZ item;
    if (!item.Create(m_server, szItem)) {
        return nullptr;
    }
    return DdeClientTransaction(pData, dwSize, m_hConv, item.GetHandle(), wFmt, wType,
                                kTransactionTimeoutMs, nullptr);
}
