#include <gtest/gtest.h>

#include <string>

#include "platform/ddeml/Ddeml.h"
#include "platform/ddeml/DdemlDiagnostics.h"
#include "tests/platform/DdePartner.h"

TEST(DdeStrings, AreSharedCaseInsensitiveAndCountedPerInstance) {
    const DdePartner first, second;
    const HSZ foo = first.Hsz("Foo");
    ASSERT_TRUE(foo);
    EXPECT_EQ(second.Hsz("FOO"), foo);
    EXPECT_EQ(second.Text(foo), "Foo");

    EXPECT_TRUE(DdeFreeStringHandle(first.Id(), foo));
    EXPECT_FALSE(DdeFreeStringHandle(first.Id(), foo));  // holds none any more
    EXPECT_EQ(first.Text(foo), "Foo");                   // the second still does
    EXPECT_TRUE(DdeFreeStringHandle(second.Id(), foo));
    EXPECT_EQ(first.Text(first.Hsz("FOO")), "FOO");  // gone, so this spelling comes first
}

TEST(DdeData, HandlesHoldOffsetCopiesAndGoWithTheirInstance) {
    DdePartner partner;
    const BYTE source[] = {'a', 'b', 'c'};
    const HDDEDATA copy = DdeCreateDataHandle(partner.Id(), source, 3, 2, nullptr, CF_TEXT, 0);
    EXPECT_EQ(DdePartner::Bytes(copy), std::string("\0\0abc", 5));
    const HDDEDATA room = DdeCreateDataHandle(partner.Id(), nullptr, 4, 0, nullptr, 0, 0);
    EXPECT_EQ(DdePartner::Bytes(room), std::string(4, '\0'));
    EXPECT_FALSE(DdeCreateDataHandle(partner.Id(), source, 0xFFFFFFFF, 1, nullptr, 0, 0));
    EXPECT_EQ(DdeGetLastError(partner.Id()), DMLERR_MEMORY_ERROR);

    EXPECT_TRUE(DdeFreeDataHandle(copy));
    EXPECT_FALSE(DdeFreeDataHandle(copy));
    const DWORD id = partner.Id();
    EXPECT_EQ(DdeCountDataHandles(id), 1u);
    partner.Uninitialize();
    EXPECT_EQ(DdeCountDataHandles(id), 0u);
    EXPECT_FALSE(DdeFreeDataHandle(room));
}

namespace {

// A server "Svc" that accepts every connection, and a client.
class DdeConversation : public ::testing::Test {
protected:
    DdeConversation() {
        DdeNameService(server.Id(), server.Hsz("Svc"), nullptr, DNS_REGISTER);
        server.answer = [](const DdePartner::Call&) { return HDDEDATA(TRUE); };
    }

    static UINT Status(HCONV conv) {
        CONVINFO info{};
        info.cb = sizeof info;
        EXPECT_EQ(DdeQueryConvInfo(conv, QID_SYNC, &info), sizeof info);
        return info.wStatus;
    }

    DdePartner server;
    DdePartner client;
};

}  // namespace

TEST_F(DdeConversation, InfoTellsTheEndsApartAndFillsOnlyWhatIsAskedFor) {
    const HCONV conv = client.Connect("SVC", "Topic");
    const HCONV self = server.Connect("Svc", "Topic");
    EXPECT_EQ(Status(self), ST_CONNECTED | ST_ISLOCAL | ST_CLIENT | ST_ISSELF);
    EXPECT_EQ(Status(server.CallsOf(XTYP_CONNECT_CONFIRM).at(1).conv),
              ST_CONNECTED | ST_ISLOCAL | ST_ISSELF);

    CONVINFO partial{};
    partial.cb = 8;
    partial.wStatus = 0xBEEF;
    EXPECT_EQ(DdeQueryConvInfo(conv, QID_SYNC, &partial), 8u);
    EXPECT_EQ(partial.wStatus, 0xBEEFu);
}

TEST_F(DdeConversation, AdviseLinksDeliverWhatTheServerAnswers) {
    const HCONV conv = client.Connect("Svc", "Topic");
    ASSERT_TRUE(client.Send(conv, XTYP_ADVSTART, "Item"));
    std::string value;
    server.answer = [&](const DdePartner::Call& call) {
        return call.type == XTYP_ADVREQ && !value.empty() ? server.Data(value) : HDDEDATA();
    };
    EXPECT_TRUE(DdePostAdvise(server.Id(), server.Hsz("TOPIC"), server.Hsz("item")));
    EXPECT_EQ(server.CallsOf(XTYP_ADVREQ).size(), 1u);
    EXPECT_TRUE(client.CallsOf(XTYP_ADVDATA).empty());  // no answer, nothing sent

    value = std::string("v1\0", 3);
    EXPECT_TRUE(DdePostAdvise(server.Id(), server.Hsz("Topic"), server.Hsz("Item")));
    ASSERT_EQ(client.CallsOf(XTYP_ADVDATA).size(), 1u);
    EXPECT_EQ(client.CallsOf(XTYP_ADVDATA)[0].data, value);
    EXPECT_EQ(DdeCountDataHandles(0) + DdeCountDataHandles(server.Id()), 0u);
}

TEST_F(DdeConversation, NoCallbackIsEnteredWhileItRuns) {
    const HCONV conv = client.Connect("Svc", "Topic");
    const HCONV self = server.Connect("Svc", "Topic");
    ASSERT_TRUE(client.Send(conv, XTYP_ADVSTART, "Item"));
    bool inPoke = false;
    bool askedDuringPoke = false;
    UINT selfError = 0;
    server.answer = [&](const DdePartner::Call& call) {
        if (call.type == XTYP_ADVREQ) {
            askedDuringPoke = inPoke;
        } else if (call.type == XTYP_POKE) {
            inPoke = true;
            DdePostAdvise(server.Id(), server.Hsz("Topic"), server.Hsz("Item"));
            EXPECT_FALSE(server.Request(self, "Item"));
            selfError = DdeGetLastError(server.Id());
            inPoke = false;
        }
        return HDDEDATA(DDE_FACK);
    };
    EXPECT_TRUE(client.Send(conv, XTYP_POKE, "Item", "x"));
    EXPECT_EQ(server.CallsOf(XTYP_ADVREQ).size(), 1u);
    EXPECT_FALSE(askedDuringPoke);
    EXPECT_EQ(selfError, DMLERR_REENTRANCY);
}
