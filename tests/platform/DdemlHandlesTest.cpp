#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/ddeml/Ddeml.h"
#include "platform/ddeml/DdemlDiagnostics.h"
#include "tests/platform/DdePartner.h"
#include "tests/support/Diagnostics.h"

namespace {

HDDEDATA Ignore(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

}  // namespace

TEST(DdeInstances, GetFreshIdsAndKeepTheirOwnLastErrorUntilItIsRead) {
    DWORD first = 0;
    DWORD second = 0;
    ASSERT_EQ(DdeInitializeA(&first, Ignore, 0, 0), DMLERR_NO_ERROR);
    ASSERT_EQ(DdeInitializeA(&second, Ignore, 0, 0), DMLERR_NO_ERROR);
    EXPECT_NE(first, second);
    DWORD used = first;
    EXPECT_EQ(DdeInitializeA(&used, Ignore, 0, 0), DMLERR_INVALIDPARAMETER);
    EXPECT_EQ(used, first);

    EXPECT_FALSE(DdeCreateStringHandleA(first, "x", 437));
    EXPECT_EQ(DdeGetLastError(second), DMLERR_NO_ERROR);
    EXPECT_EQ(DdeGetLastError(first), DMLERR_INVALIDPARAMETER);
    EXPECT_EQ(DdeGetLastError(first), DMLERR_NO_ERROR);  // reading cleared it

    EXPECT_TRUE(DdeUninitialize(first));
    EXPECT_FALSE(DdeUninitialize(first));
    SetLastError(0);
    EXPECT_FALSE(DdeCreateStringHandleA(first, "x", CP_WINANSI));
    EXPECT_EQ(GetLastError(), DMLERR_INVALIDPARAMETER);
    EXPECT_TRUE(DdeUninitialize(second));
}

TEST(DdeStrings, AreSharedCaseInsensitiveAndCountedPerInstance) {
    DdePartner first;
    const DdePartner second;
    const HSZ foo = first.Hsz("Foo");
    EXPECT_EQ(second.Hsz("FOO"), foo);
    EXPECT_EQ(second.Text(foo), "Foo");

    EXPECT_TRUE(DdeFreeStringHandle(first.Id(), foo));
    EXPECT_FALSE(DdeFreeStringHandle(first.Id(), foo));  // holds none any more
    EXPECT_EQ(first.Text(foo), "Foo");                   // the second still does
    EXPECT_TRUE(DdeFreeStringHandle(second.Id(), foo));
    EXPECT_EQ(first.Text(first.Hsz("FOO")), "FOO");  // gone, so this spelling comes first

    const HSZ twice = first.Hsz("Twice");
    first.Hsz("TWICE");
    EXPECT_TRUE(DdeFreeStringHandle(first.Id(), twice));
    EXPECT_EQ(first.Text(twice), "Twice");

    first.Hsz("Held");
    first.Uninitialize();  // an instance's handles go with it
    EXPECT_EQ(second.Text(second.Hsz("HELD")), "HELD");
}

TEST(DdeStrings, BadNamesAreRefusedWithAnErrorAndATraceLine) {
    const CapturedDiagnostics diagnostics;
    const DdePartner partner;
    const std::string tooLong(256, 'n');
    struct Case {
        DWORD instance;
        const char* name;
        int codePage;
    };
    for (const Case& bad : std::vector<Case>{{partner.Id(), nullptr, CP_WINANSI},
                                             {partner.Id(), "", CP_WINANSI},
                                             {partner.Id(), tooLong.c_str(), CP_WINANSI},
                                             {partner.Id(), "Name", 437},
                                             {partner.Id() + 100, "Name", CP_WINANSI}}) {
        const std::size_t tracesBefore = diagnostics.traces.size();
        EXPECT_FALSE(DdeCreateStringHandleA(bad.instance, bad.name, bad.codePage));
        EXPECT_EQ(DdeGetLastError(bad.instance), DMLERR_INVALIDPARAMETER);
        EXPECT_EQ(diagnostics.traces.size(), tracesBefore + 1);
    }
    const std::string longest(255, 'n');
    EXPECT_EQ(partner.Text(partner.Hsz(longest.c_str())), longest);
    EXPECT_TRUE(DdeCreateStringHandleA(partner.Id(), "Name", 0));
    EXPECT_TRUE(diagnostics.assertions.empty());
}

TEST(DdeStrings, CompareWithoutCaseAndTakeUnknownHandlesForEmpty) {
    const DdePartner partner;
    const auto compare = [&](const char* left, const char* right) {
        return DdeCmpStringHandles(left ? partner.Hsz(left) : HSZ(0x7FFFFFF0),
                                   right ? partner.Hsz(right) : nullptr);
    };
    EXPECT_EQ(compare("abc", "ABC"), 0);
    EXPECT_EQ(compare("abc", "ABD"), -1);  // 'c' before 'D' only when case is ignored
    EXPECT_EQ(compare("z", "a"), 1);       // 1 however far apart the letters are
    EXPECT_EQ(compare("ab", "abc"), -1);   // a prefix comes first
    EXPECT_EQ(compare("abc", "ab"), 1);
    EXPECT_EQ(compare(nullptr, nullptr), 0);  // unknown and null both read as empty
    EXPECT_EQ(compare("ab", nullptr), 1);
}

TEST(DdeStrings, QueryCopiesNoMoreThanTheBufferHolds) {
    const DdePartner partner;
    const HSZ hello = partner.Hsz("Hello");
    struct Case {
        HSZ hsz;
        DWORD capacity;
        DWORD result;
        std::string text;
    };
    for (const Case& c : std::vector<Case>{{hello, 6, 5, "Hello"},
                                           {hello, 5, 4, "Hell"},
                                           {hello, 1, 0, ""},
                                           {nullptr, 8, 1, ""}}) {  // null reads empty, counted 1
        SCOPED_TRACE(c.capacity);
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(DdeQueryStringA(partner.Id(), c.hsz, buffer, c.capacity, CP_WINANSI), c.result);
        EXPECT_EQ(buffer, c.text);
        EXPECT_EQ(buffer[c.capacity], '#');  // nothing written past the capacity
    }
    EXPECT_EQ(DdeQueryStringA(partner.Id(), hello, nullptr, 0, 0), 5u);
    char buffer[16] = "";
    EXPECT_EQ(DdeQueryStringA(partner.Id(), hello, buffer, sizeof buffer, 437), 0u);
    EXPECT_EQ(DdeGetLastError(partner.Id()), DMLERR_INVALIDPARAMETER);
}

TEST(DdeData, HandlesHoldOffsetCopiesAndGoWithTheirInstance) {
    DdePartner partner;
    const BYTE source[] = {'a', 'b', 'c'};
    const HDDEDATA copy = DdeCreateDataHandle(partner.Id(), source, 3, 2, nullptr, CF_TEXT, 0);
    EXPECT_EQ(DdePartner::Bytes(copy), std::string("\0\0abc", 5));
    const HDDEDATA room =
        DdeCreateDataHandle(partner.Id(), nullptr, 4, 0, nullptr, 0, HDATA_APPOWNED);
    EXPECT_EQ(DdePartner::Bytes(room), std::string(4, '\0'));
    EXPECT_TRUE(DdeFreeDataHandle(copy));
    EXPECT_FALSE(DdeFreeDataHandle(copy));
    EXPECT_FALSE(DdeUnaccessData(copy));
    EXPECT_EQ(DdeAccessData(copy, nullptr), nullptr);

    EXPECT_FALSE(DdeCreateDataHandle(partner.Id(), source, 3, 0, nullptr, CF_TEXT, 2));
    EXPECT_EQ(DdeGetLastError(partner.Id()), DMLERR_INVALIDPARAMETER);
    EXPECT_FALSE(DdeCreateDataHandle(partner.Id(), source, 0xFFFFFFFF, 1, nullptr, 0, 0));
    EXPECT_EQ(DdeGetLastError(partner.Id()), DMLERR_MEMORY_ERROR);

    const DWORD id = partner.Id();
    EXPECT_EQ(DdeCountDataHandles(id), 1u);
    partner.Uninitialize();
    EXPECT_EQ(DdeCountDataHandles(id), 0u);
    EXPECT_FALSE(DdeFreeDataHandle(room));
}

TEST(DdeClipboardFormats, RegisteredNamesGetOneNumberEachAndReadBack) {
    EXPECT_NE(RegisterClipboardFormatA(std::string(255, 'f').c_str()), 0u);
    const UINT first = RegisterClipboardFormatA("Vantrel Pass");
    EXPECT_GE(first, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatA("VANTREL PASS"), first);
    const UINT second = RegisterClipboardFormatA("Vantrel Level");
    EXPECT_NE(second, first);
    EXPECT_EQ(RegisterClipboardFormatA(""), 0u);
    EXPECT_EQ(RegisterClipboardFormatA(std::string(256, 'f').c_str()), 0u);

    char buffer[32];
    EXPECT_EQ(GetClipboardFormatNameA(first, buffer, sizeof buffer), 12);
    EXPECT_STREQ(buffer, "Vantrel Pass");
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetClipboardFormatNameA(second, buffer, 4), 3);
    EXPECT_STREQ(buffer, "Van");
    EXPECT_EQ(buffer[4], '#');
    static int runs = 0;  // a name of its own each run, so nothing comes after it
    const UINT newest = RegisterClipboardFormatA(("Vantrel Run " + std::to_string(++runs)).c_str());
    EXPECT_EQ(GetClipboardFormatNameA(newest + 1, buffer, sizeof buffer), 0);
    EXPECT_EQ(GetClipboardFormatNameA(CF_TEXT, buffer, sizeof buffer), 0);
}
