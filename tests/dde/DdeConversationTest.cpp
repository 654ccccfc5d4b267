#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/dde/DdeTestServer.h"

namespace {

// The partner offers the service "Partner": it accepts every connection
// and transaction, answers requests for "Time" with "12:00" and for "Empty"
// with no bytes.
class DdeClientTest : public DdeServerTest {
protected:
    DdeClientTest() {
        DdeNameService(partner.Id(), partner.Hsz("Partner"), nullptr, DNS_REGISTER);
        partner.answer = [this](const DdePartner::Call& call) {
            if (call.type != XTYP_REQUEST && call.type != XTYP_ADVREQ) {
                return HDDEDATA(DDE_FACK);
            }
            if (call.text2 == "Empty") {
                return partner.Data("");
            }
            return call.text2 == "Time" ? partner.Data(WithZero("12:00")) : HDDEDATA();
        };
    }
};

}  // namespace

TEST_F(DdeClientTest, ConnectToNobodyLogsBothNamesAndTheError) {
    const Held<CMyConv> conv(CDDECountedObject::New<CMyConv>(server.get(), 7));
    EXPECT_FALSE(conv->Connect("Nobody", "Nothing"));
    EXPECT_EQ(server->TakeLines(), Lines{"Failed to connect to Nobody|Nothing. Error 16394"});
    EXPECT_TRUE(server->m_conversations.IsEmpty());
    EXPECT_FALSE(conv->Disconnect());
    EXPECT_EQ(server->GetLastDdeError(), DMLERR_NO_CONV_ESTABLISHED);

    // Not connected: every transaction fails.
    void* data = &data;
    DWORD size = 9;
    EXPECT_FALSE(conv->Request("Time", &data, &size));
    EXPECT_EQ(data, nullptr);
    EXPECT_FALSE(conv->Execute("STOP"));
    EXPECT_TRUE(partner.calls.empty());

    const Held<CDDEConv> orphan(CDDECountedObject::New<CDDEConv>());  // no server to send through
    EXPECT_FALSE(orphan->Poke(CF_TEXT, "Item", "1", 2));
    EXPECT_FALSE(orphan->Execute(nullptr));
    EXPECT_TRUE(diagnostics.assertions.empty());
}

TEST_F(DdeClientTest, ConnectedConversationsRequestExecuteAndPoke) {
    auto* const conv = CDDECountedObject::New<CMyConv>(server.get(), 1);
    ASSERT_TRUE(conv->Connect("Partner", "Clock"));
    EXPECT_EQ(conv->m_refCount, 1);
    EXPECT_EQ(server->FindConversation(conv->m_hConv), conv);
    EXPECT_EQ(partner.calls.back().text1, "Clock");

    void* data = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(conv->Request("Time", &data, &size));
    EXPECT_EQ(std::string(static_cast<const char*>(data), size), WithZero("12:00"));
    std::free(data);
    EXPECT_EQ(DdeCountDataHandles(server->m_instance), 0u);  // the answer was given back
    EXPECT_FALSE(conv->Request("Date", &data, &size));
    // What the partner sends back is checked, not trusted.
    EXPECT_FALSE(conv->Request("Empty", &data, &size));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(server->TakeLines().back(), "Request Empty: answer without data refused");
    EXPECT_EQ(DdeCountDataHandles(server->m_instance), 0u);
    EXPECT_FALSE(conv->Request("Time", nullptr, &size));
    EXPECT_EQ(diagnostics.traces, Lines{"CDDEConv::Request: null argument\n"});

    EXPECT_TRUE(conv->Execute("STOP"));
    EXPECT_EQ(partner.calls.back().data, WithZero("STOP"));
    EXPECT_TRUE(conv->Poke(CF_TEXT, "Alarm", "7:30", 5));
    EXPECT_EQ(partner.calls.back().data, WithZero("7:30"));
    EXPECT_TRUE(conv->StartAdvise("Time"));
    EXPECT_EQ(partner.calls.back().text2, "Time");

    // Connecting twice is a programming error.
    EXPECT_FALSE(conv->Connect("Partner", "Clock"));
    EXPECT_EQ(diagnostics.assertions.size(), 1u);
    EXPECT_EQ(server->m_conversations.GetCount(), 1);

    EXPECT_TRUE(conv->Disconnect());  // the list's reference was the only one
    EXPECT_TRUE(server->m_conversations.IsEmpty());
    EXPECT_EQ(partner.CallsOf(XTYP_DISCONNECT).size(), 1u);
}

// The partner ends the conversation while it confirms it, before our
// DdeConnect returns: the library hands out no conversation that has ended.
TEST_F(DdeClientTest, AConversationEndedWhileConnectingIsNotListed) {
    partner.answer = [](const DdePartner::Call& call) {
        if (call.type == XTYP_CONNECT_CONFIRM) {
            DdeDisconnect(call.conv);
        }
        return HDDEDATA(DDE_FACK);
    };
    const Held<CMyConv> conv(CDDECountedObject::New<CMyConv>(server.get(), 1));
    EXPECT_FALSE(conv->Connect("Partner", "Clock"));
    EXPECT_TRUE(server->m_conversations.IsEmpty());
    EXPECT_EQ(server->TakeLines().back(), "Failed to connect to Partner|Clock. Error 16394");
    EXPECT_FALSE(conv->Disconnect());

    // Ending it is the partner's business; the next try succeeds.
    partner.answer = [](const DdePartner::Call&) { return HDDEDATA(DDE_FACK); };
    EXPECT_TRUE(conv->Connect("Partner", "Clock"));
    EXPECT_EQ(server->m_conversations.GetCount(), 1);
}

TEST_F(DdeClientTest, AdviseDataIsAcceptedOnlyByConversationsThatTakeIt) {
    auto* const mine = CDDECountedObject::New<CMyConv>(server.get(), 1);
    auto* const plain = CDDECountedObject::New<CDDEConv>(server.get());
    ASSERT_TRUE(mine->Connect("Partner", "Clock"));
    ASSERT_TRUE(plain->Connect("Partner", "Alarm"));
    ASSERT_TRUE(mine->StartAdvise("Time"));
    ASSERT_TRUE(plain->StartAdvise("Time"));
    server->TakeLines();

    DdePostAdvise(partner.Id(), partner.Hsz("Clock"), partner.Hsz("Time"));
    EXPECT_EQ(server->TakeLines(), Lines{"Callback 4010H"});
    DdePostAdvise(partner.Id(), partner.Hsz("Alarm"), partner.Hsz("Time"));
    EXPECT_EQ(server->TakeLines(), (Lines{"Callback 4010H", "AdviseData Alarm|Time failed"}));

    // The answers themselves, straight from the callback.
    const auto deliver = [&](HCONV conv) {
        return ServerCallback(XTYP_ADVDATA, CF_TEXT, conv, partner.Hsz("Clock"),
                              partner.Hsz("Time"), nullptr, 0, 0);
    };
    EXPECT_EQ(deliver(mine->m_hConv), HDDEDATA(DDE_FACK));
    EXPECT_EQ(deliver(plain->m_hConv), HDDEDATA());
    EXPECT_EQ(deliver(HCONV(12345)), HDDEDATA());
    EXPECT_TRUE(server->others.empty());
}

TEST_F(DdeClientTest, APartnerEndingTheConversationUnregistersIt) {
    bool destroyed = false;
    auto* const held = CDDECountedObject::New<CTrackedConv>(server.get(), destroyed);
    held->AddRef();
    ASSERT_TRUE(held->Connect("Partner", "Clock"));
    EXPECT_EQ(held->m_refCount, 2);
    server->TakeLines();

    ASSERT_TRUE(DdeDisconnect(partner.CallsOf(XTYP_CONNECT_CONFIRM).back().conv));
    EXPECT_EQ(server->TakeLines(), (Lines{"Callback 80C2H", "Disconnect"}));
    EXPECT_TRUE(server->m_conversations.IsEmpty());
    EXPECT_FALSE(held->m_hConv);
    EXPECT_FALSE(destroyed);

    // Kept by its creator, it can connect again, until the partner quits.
    ASSERT_TRUE(held->Connect("Partner", "Clock"));
    partner.Uninitialize();
    EXPECT_TRUE(server->m_conversations.IsEmpty());
    EXPECT_EQ(held->Release(), 0);
    EXPECT_TRUE(destroyed);
}

TEST_F(DdeClientTest, StopEndsEveryConversationIncludingOnesWithItself) {
    bool destroyed = false;
    auto* const own = CDDECountedObject::New<CTrackedConv>(server.get(), destroyed);
    ASSERT_TRUE(own->Connect("Vantrel", "System"));
    auto* const kept = CDDECountedObject::New<CMyConv>(server.get(), 2);
    kept->AddRef();
    ASSERT_TRUE(kept->Connect("Partner", "Clock"));
    EXPECT_EQ(server->m_conversations.GetCount(), 3);  // both ends of our own, and one more

    server->Stop();
    EXPECT_FALSE(server->m_running);
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(server->m_conversations.IsEmpty());
    EXPECT_FALSE(kept->m_hConv);
    EXPECT_EQ(partner.CallsOf(XTYP_DISCONNECT).size(), 1u);
    EXPECT_TRUE(diagnostics.assertions.empty());
    EXPECT_EQ(kept->Release(), 0);
}
