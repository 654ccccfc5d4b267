#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/ClipboardFormats.h"
#include "platform/Ddeml.h"
#include "platform/DdemlDiagnostics.h"
#include "tests/platform/DdePartner.h"

TEST(DdeStrings, AreSharedCaseInsensitiveAndCountedPerInstance) {
    const DdePartner first, second;
    const HSZ foo = first.Hsz("Foo");
    ASSERT_TRUE(foo);
    EXPECT_EQ(second.Hsz("FOO"), foo);
    EXPECT_EQ(second.Text(foo), "Foo");
    EXPECT_NE(first.Hsz("Bar"), foo);

    EXPECT_TRUE(DdeFreeStringHandle(first.Id(), foo));
    EXPECT_FALSE(DdeFreeStringHandle(first.Id(), foo));  // holds none any more
    EXPECT_EQ(first.Text(foo), "Foo");                   // the second still does
    EXPECT_TRUE(DdeFreeStringHandle(second.Id(), foo));
    EXPECT_EQ(DdeQueryStringA(first.Id(), foo, nullptr, 0, CP_WINANSI), 0u);
    EXPECT_EQ(first.Text(first.Hsz("FOO")), "FOO");  // a new first spelling
}

TEST(DdeStrings, RefuseWhatWindowsRefuses) {
    const DdePartner partner;
    EXPECT_TRUE(DdeCreateStringHandleA(partner.Id(), std::string(255, 'x').c_str(), CP_WINANSI));
    EXPECT_FALSE(DdeCreateStringHandleA(partner.Id(), std::string(256, 'x').c_str(), CP_WINANSI));
    EXPECT_EQ(DdeGetLastError(partner.Id()), DMLERR_INVALIDPARAMETER);
    EXPECT_EQ(DdeGetLastError(partner.Id()), DMLERR_NO_ERROR);  // reading clears it
    EXPECT_FALSE(DdeCreateStringHandleA(partner.Id(), "Foo", 1200));
    EXPECT_TRUE(DdeCreateStringHandleA(partner.Id(), "Foo", 0));
    EXPECT_FALSE(DdeCreateStringHandleA(partner.Id(), "", CP_WINANSI));
    EXPECT_FALSE(DdeCreateStringHandleA(partner.Id() + 1000, "Foo", CP_WINANSI));
    EXPECT_EQ(DdeGetLastError(partner.Id() + 1000), DMLERR_INVALIDPARAMETER);
    EXPECT_FALSE(DdeUninitialize(partner.Id() + 1000));
    DWORD taken = 7;
    EXPECT_EQ(DdeInitializeA(&taken, nullptr, 0, 0), DMLERR_INVALIDPARAMETER);
}

TEST(DdeStrings, QueryAndCompareAsWindowsDoes) {
    const DdePartner partner;
    const HSZ hello = partner.Hsz("Hello");
    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(DdeQueryStringA(partner.Id(), hello, nullptr, 0, CP_WINANSI), 5u);
    EXPECT_EQ(DdeQueryStringA(partner.Id(), hello, buffer, 3, CP_WINANSI), 2u);
    EXPECT_STREQ(buffer, "He");
    EXPECT_EQ(DdeQueryStringA(partner.Id(), nullptr, buffer, sizeof buffer, CP_WINANSI), 1u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(DdeQueryStringA(partner.Id() + 1000, hello, buffer, sizeof buffer, CP_WINANSI), 0u);

    EXPECT_EQ(DdeCmpStringHandles(partner.Hsz("abc"), partner.Hsz("ABC")), 0);
    EXPECT_EQ(DdeCmpStringHandles(partner.Hsz("a"), partner.Hsz("B")), -1);
    EXPECT_EQ(DdeCmpStringHandles(partner.Hsz("b"), partner.Hsz("A")), 1);
    EXPECT_EQ(DdeCmpStringHandles(HSZ(1), HSZ(2)), 0);  // unknown reads as empty
    EXPECT_EQ(DdeCmpStringHandles(HSZ(1), hello), -1);
}

TEST(DdeData, HandlesHoldOffsetCopiesAndBelongToTheirInstance) {
    const DdePartner partner;
    const BYTE source[] = {'a', 'b', 'c'};
    const HDDEDATA hData = DdeCreateDataHandle(partner.Id(), source, 3, 2, nullptr, CF_TEXT, 0);
    ASSERT_TRUE(hData);
    EXPECT_EQ(DdePartner::Bytes(hData), std::string("\0\0abc", 5));

    const HDDEDATA room = DdeCreateDataHandle(partner.Id(), nullptr, 4, 0, nullptr, 0, 0);
    EXPECT_EQ(DdePartner::Bytes(room), std::string(4, '\0'));
    const HDDEDATA empty = DdeCreateDataHandle(partner.Id(), source, 0, 0, nullptr, 0, 0);
    DWORD size = 99;
    EXPECT_NE(DdeAccessData(empty, &size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(DdeUnaccessData(empty));

    EXPECT_FALSE(DdeCreateDataHandle(partner.Id(), source, 3, 0, nullptr, 0, 2));
    EXPECT_TRUE(DdeCreateDataHandle(partner.Id(), source, 3, 0, nullptr, 0, HDATA_APPOWNED));
    EXPECT_FALSE(DdeCreateDataHandle(partner.Id(), source, 0xFFFFFFFF, 1, nullptr, 0, 0));
    EXPECT_EQ(DdeGetLastError(partner.Id()), DMLERR_MEMORY_ERROR);
    EXPECT_EQ(DdeCountDataHandles(partner.Id()), 4u);

    EXPECT_TRUE(DdeFreeDataHandle(hData));
    EXPECT_FALSE(DdeFreeDataHandle(hData));
    EXPECT_EQ(DdeAccessData(hData, &size), nullptr);
    EXPECT_EQ(DdeCountDataHandles(partner.Id()), 3u);
}

TEST(DdeData, AreFreedWithTheirInstance) {
    DdePartner partner;
    const HDDEDATA hData = DdeCreateDataHandle(partner.Id(), nullptr, 4, 0, nullptr, 0, 0);
    const DWORD id = partner.Id();
    partner.Uninitialize();
    EXPECT_EQ(DdeCountDataHandles(id), 0u);
    EXPECT_FALSE(DdeFreeDataHandle(hData));
}

TEST(ClipboardFormats, RegisteredNamesReadBackWithoutRegardToCase) {
    const UINT format = RegisterClipboardFormatA("Vantrel Pass");
    EXPECT_GE(format, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatA("VANTREL PASS"), format);
    EXPECT_NE(RegisterClipboardFormatA("Another"), format);
    EXPECT_EQ(RegisterClipboardFormatA(""), 0u);

    char name[256];
    EXPECT_EQ(GetClipboardFormatNameA(format, name, sizeof name), 12);
    EXPECT_STREQ(name, "Vantrel Pass");
    EXPECT_EQ(GetClipboardFormatNameA(format, name, 5), 4);
    EXPECT_STREQ(name, "Vant");
    EXPECT_EQ(GetClipboardFormatNameA(CF_TEXT, name, sizeof name), 0);
    EXPECT_EQ(GetClipboardFormatNameA(0xFFFF, name, sizeof name), 0);
}
