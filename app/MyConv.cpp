#include "app/MyConv.h"

IMPLEMENT_DYNCREATE_SHARED(CMyConv, CDDEConv, CDDECountedObject::New<CMyConv>)

CMyConv::CMyConv(CDDEServer* pServer, std::uint32_t context)
    : CDDEConv(pServer), m_context(context) {}

BOOL CMyConv::OnAdviseData(UINT /*wFmt*/, const char* /*szTopic*/, const char* /*szItem*/,
                           const void* /*pData*/, DWORD /*dwSize*/) {
    return TRUE;
}
