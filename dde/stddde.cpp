// The object model: counted objects, string handles, items, topics, lists.

#include "dde/stddde.h"

#include <cstring>

#include "dde/Arguments.h"
#include "dde/NamedList.h"
#include "framework/Diagnostics.h"

IMPLEMENT_DYNCREATE(CDDEItemList, CObList)
IMPLEMENT_DYNCREATE(CDDETopicList, CObList)
IMPLEMENT_DYNCREATE(CDDEConvList, CObList)
IMPLEMENT_DYNCREATE_SHARED(CDDECountedObject, CObject, CDDECountedObject::New<CDDECountedObject>)
IMPLEMENT_DYNCREATE(CHSZ, CObject)
IMPLEMENT_DYNCREATE(CDDEItem, CObject)
IMPLEMENT_DYNCREATE(CDDEStringItem, CDDEItem)
IMPLEMENT_DYNCREATE(CDDETopic, CObject)

namespace {

// The text format only, shared by string items and the system items.
constexpr WORD kTextFormats[] = {CF_TEXT, 0};

}  // namespace

// ---- CDDECountedObject

CDDECountedObject::~CDDECountedObject() {
    VANTREL_ASSERT(m_refCount == 0);
}

std::int32_t CDDECountedObject::AddRef() {
    VANTREL_ASSERT(m_refCount < 1000);
    return ++m_refCount;
}

std::int32_t CDDECountedObject::Release() {
    const std::int32_t count = --m_refCount;
    VANTREL_ASSERT(count >= 0);
    if (count == 0) {
        delete this;
    }
    return count;
}

// ---- CHSZ

CHSZ::CHSZ(CDDEServer* pServer, const char* szName) {
    Create(pServer, szName);
}

CHSZ::~CHSZ() {
    Free();
}

BOOL CHSZ::Create(CDDEServer* pServer, const char* szName) {
    VANTREL_ASSERT(pServer != nullptr);
    Free();
    if (!IsUsableName(szName, "CHSZ::Create")) {
        return FALSE;
    }
    m_instance = pServer != nullptr ? pServer->m_instance : 0;
    m_hsz = DdeCreateStringHandleA(m_instance, szName, CP_WINANSI);
    VANTREL_ASSERT(m_hsz != nullptr);
    return m_hsz ? TRUE : FALSE;
}

void CHSZ::Free() {
    if (m_hsz) {
        DdeFreeStringHandle(m_instance, m_hsz);
        m_hsz = nullptr;
    }
}

// ---- CDDEItem

CDDEItem::~CDDEItem() {
    if (m_topic != nullptr) {
        if (const POSITION at = m_topic->m_items.Find(this); at != nullptr) {
            m_topic->m_items.RemoveAt(at);
        }
    }
}

BOOL CDDEItem::Request(UINT /*wFmt*/, const void** /*ppData*/, DWORD* /*pdwSize*/) {
    return FALSE;
}

BOOL CDDEItem::Poke(UINT /*wFmt*/, const void* /*pData*/, DWORD /*dwSize*/) {
    return FALSE;
}

BOOL CDDEItem::IsSupportedFormat(UINT wFmt) {
    const WORD* format = GetFormatList();
    if (format == nullptr) {
        return FALSE;
    }
    for (; *format != 0; ++format) {
        if (*format == static_cast<WORD>(wFmt)) {
            return TRUE;
        }
    }
    return FALSE;
}

const WORD* CDDEItem::GetFormatList() {
    return nullptr;
}

BOOL CDDEItem::CanAdvise(UINT wFmt) {
    return IsSupportedFormat(wFmt);
}

BOOL CDDEItem::Create(const char* szName) {
    if (!IsUsableName(szName, "CDDEItem::Create")) {
        return FALSE;
    }
    m_name = szName;
    return TRUE;
}

void CDDEItem::NotifyChange() {
    if (m_topic != nullptr) {
        m_topic->PostAdvise(this);
    }
}

// ---- CDDEStringItem

// A request or poke in a format the item does not offer comes from the
// partner program, not from a mistake here: it is refused, not asserted.
BOOL CDDEStringItem::Request(UINT wFmt, const void** ppData, DWORD* pdwSize) {
    if (!IsGiven(ppData, "CDDEStringItem::Request") ||
        !IsGiven(pdwSize, "CDDEStringItem::Request") || wFmt != CF_TEXT) {
        return FALSE;
    }
    *ppData = m_value.c_str();
    *pdwSize = static_cast<DWORD>(m_value.size() + 1);
    return TRUE;
}

BOOL CDDEStringItem::Poke(UINT wFmt, const void* pData, DWORD dwSize) {
    if (!IsGiven(pData, "CDDEStringItem::Poke") || wFmt != CF_TEXT) {
        return FALSE;
    }
    const char* const text = static_cast<const char*>(pData);
    const void* const end = std::memchr(text, '\0', dwSize);
    m_value.assign(text, end != nullptr ? static_cast<const char*>(end) : text + dwSize);
    OnPoke();
    return TRUE;
}

const WORD* CDDEStringItem::GetFormatList() {
    return kTextFormats;
}

void CDDEStringItem::OnPoke() {}

void CDDEStringItem::SetData(const char* szData) {
    if (!IsGiven(szData, "CDDEStringItem::SetData")) {
        return;
    }
    m_value = szData;
    NotifyChange();
}

const char* CDDEStringItem::GetData() {
    return m_value.c_str();
}

// ---- CDDETopic

CDDETopic::~CDDETopic() {
    for (POSITION pos = m_items.GetHeadPosition(); pos != nullptr;) {
        CDDEItem* const item = m_items.GetNext(pos);
        if (item->m_topic == this) {
            item->m_topic = nullptr;
        }
    }
    if (m_server != nullptr) {
        m_server->RemoveTopic(this);
    }
}

BOOL CDDETopic::Request(UINT wFmt, const char* szItem, const void** ppData, DWORD* pdwSize) {
    CDDEItem* const item = FindItem(szItem);
    return item != nullptr ? item->Request(wFmt, ppData, pdwSize) : FALSE;
}

BOOL CDDETopic::Poke(UINT wFmt, const char* szItem, const void* pData, DWORD dwSize) {
    CDDEItem* const item = FindItem(szItem);
    return item != nullptr ? item->Poke(wFmt, pData, dwSize) : FALSE;
}

BOOL CDDETopic::Execute(const void* /*pData*/, DWORD /*dwSize*/) {
    return FALSE;
}

CDDEItem* CDDETopic::FindItem(const char* szItem) {
    return IsUsableName(szItem, "CDDETopic::FindItem") ? FindByName(m_items, szItem) : nullptr;
}

BOOL CDDETopic::CanAdvise(UINT wFmt, const char* szItem) {
    CDDEItem* const item = FindItem(szItem);
    return item != nullptr ? item->CanAdvise(wFmt) : FALSE;
}

BOOL CDDETopic::Create(const char* szName) {
    if (!IsUsableName(szName, "CDDETopic::Create")) {
        return FALSE;
    }
    m_name = szName;
    return TRUE;
}

BOOL CDDETopic::AddItem(CDDEItem* pItem) {
    if (!IsGiven(pItem, "CDDETopic::AddItem")) {
        return FALSE;
    }
    if (m_items.Find(pItem) == nullptr) {
        m_items.AddTail(pItem);
        pItem->m_topic = this;
    }
    return TRUE;
}

void CDDETopic::PostAdvise(CDDEItem* pItem) {
    if (m_server != nullptr && IsGiven(pItem, "CDDETopic::PostAdvise")) {
        m_server->PostAdvise(this, pItem);
    }
}
