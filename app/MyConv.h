#pragma once

#include <cstdint>

#include "dde/stddde.h"

// The application's conversation: it takes whatever advise data arrives.
class CMyConv : public CDDEConv {
    DECLARE_DYNCREATE_SHARED(CMyConv)

public:
    CMyConv() = default;
    CMyConv(CDDEServer* pServer, std::uint32_t context);

    BOOL OnAdviseData(UINT wFmt, const char* szTopic, const char* szItem, const void* pData,
                      DWORD dwSize) override;

    // The creator's value; kept, never read here.
    std::uint32_t m_context = 0;

protected:
    ~CMyConv() override = default;
};
