#include <gtest/gtest.h>

#include <string>

#include "platform/Ddeml.h"
#include "platform/DdemlDiagnostics.h"
#include "tests/platform/DdePartner.h"

namespace {

HDDEDATA Accept(const DdePartner::Call&) {
    return HDDEDATA(TRUE);
}

// A server "Svc" that accepts every connection, and a client.
class DdeConversation : public ::testing::Test {
protected:
    DdeConversation() {
        server.Register("Svc");
        server.answer = Accept;
    }

    CONVINFO Info(HCONV conv) const {
        CONVINFO info{};
        info.cb = sizeof info;
        EXPECT_EQ(DdeQueryConvInfo(conv, QID_SYNC, &info), sizeof info);
        return info;
    }

    // Answers requests with `text` and its zero.
    void AnswerText(const std::string& text) {
        server.answer = [this, text](const DdePartner::Call& call) {
            if (call.type != XTYP_REQUEST && call.type != XTYP_ADVREQ) {
                return HDDEDATA(TRUE);
            }
            return DdeCreateDataHandle(server.Id(), reinterpret_cast<const BYTE*>(text.c_str()),
                                       static_cast<DWORD>(text.size() + 1), 0, call.hsz2, call.fmt,
                                       0);
        };
    }

    DdePartner server;
    DdePartner client;
};

}  // namespace

TEST_F(DdeConversation, ConnectAsksTheServerThenConfirmsItsOwnHandle) {
    const HCONV conv = client.Connect("SVC", "Topic");
    ASSERT_TRUE(conv);
    ASSERT_EQ(server.calls.size(), 2u);
    const DdePartner::Call ask = server.calls[0];
    EXPECT_EQ(ask.type, XTYP_CONNECT);
    EXPECT_EQ(ask.text1, "Topic");
    EXPECT_EQ(ask.text2, "Svc");
    EXPECT_FALSE(ask.conv);
    EXPECT_EQ(ask.data2, 0u);
    const DdePartner::Call confirm = server.calls[1];
    EXPECT_EQ(confirm.type, XTYP_CONNECT_CONFIRM);
    EXPECT_NE(confirm.conv, conv);
    EXPECT_TRUE(client.calls.empty());

    client.Request(conv, "Item");
    EXPECT_EQ(server.calls.back().conv, confirm.conv);  // the same handle every time

    const CONVINFO clientEnd = Info(conv);
    EXPECT_EQ(clientEnd.wStatus, ST_CONNECTED | ST_ISLOCAL | ST_CLIENT);
    EXPECT_EQ(clientEnd.hConvPartner, confirm.conv);
    EXPECT_EQ(Info(confirm.conv).wStatus, ST_CONNECTED | ST_ISLOCAL);

    // A shorter record gets fewer bytes, and nothing past them.
    CONVINFO partial{};
    partial.cb = 8;
    partial.wStatus = 0xBEEF;
    EXPECT_EQ(DdeQueryConvInfo(conv, QID_SYNC, &partial), 8u);
    EXPECT_EQ(partial.wStatus, 0xBEEFu);
    EXPECT_EQ(DdeQueryConvInfo(nullptr, QID_SYNC, &partial), 0u);
}

TEST_F(DdeConversation, ConnectFailsWhenNobodyTakesIt) {
    server.answer = nullptr;
    EXPECT_FALSE(client.Connect("Svc", "Topic"));
    EXPECT_EQ(server.calls.size(), 1u);
    EXPECT_EQ(GetLastError(), DMLERR_NO_CONV_ESTABLISHED);
    EXPECT_EQ(DdeGetLastError(client.Id()), DMLERR_NO_CONV_ESTABLISHED);

    server.calls.clear();
    EXPECT_FALSE(client.Connect("Other", "Topic"));
    EXPECT_TRUE(server.calls.empty());  // only registered services are asked

    EXPECT_FALSE(DdeNameService(server.Id(), server.Hsz("svc"), nullptr, DNS_REGISTER));
    EXPECT_EQ(DdeGetLastError(server.Id()), DMLERR_DLL_USAGE);
    EXPECT_TRUE(DdeNameService(server.Id(), nullptr, nullptr, DNS_UNREGISTER));
    server.answer = Accept;
    EXPECT_FALSE(client.Connect("Svc", "Topic"));
    EXPECT_TRUE(server.calls.empty());
}

TEST_F(DdeConversation, AnInstanceTalkingToItselfIsSelfOnBothEnds) {
    const HCONV conv = server.Connect("Svc", "Topic");
    ASSERT_TRUE(conv);
    EXPECT_EQ(server.calls[0].data2, 1u);
    const HCONV serverEnd = server.CallsOf(XTYP_CONNECT_CONFIRM).at(0).conv;
    EXPECT_EQ(Info(conv).wStatus, ST_CONNECTED | ST_ISLOCAL | ST_CLIENT | ST_ISSELF);
    EXPECT_EQ(Info(serverEnd).wStatus, ST_CONNECTED | ST_ISLOCAL | ST_ISSELF);
}

TEST_F(DdeConversation, RequestGivesTheClientItsOwnCopy) {
    AnswerText("42");
    const HCONV conv = client.Connect("Svc", "Topic");
    const HSZ item = client.Hsz("Item");
    const HDDEDATA answer =
        DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_REQUEST, 5000, nullptr);
    ASSERT_TRUE(answer);
    EXPECT_EQ(DdePartner::Bytes(answer), std::string("42\0", 3));
    EXPECT_EQ(DdeGetLastError(client.Id()), DMLERR_NO_ERROR);
    EXPECT_EQ(server.calls.back().text2, "Item");
    EXPECT_EQ(DdeCountDataHandles(server.Id()), 0u);  // the server's answer was freed
    EXPECT_EQ(DdeCountDataHandles(client.Id()), 1u);  // the copy is the caller's
    DdeFreeDataHandle(answer);

    server.answer = nullptr;
    EXPECT_FALSE(client.Request(conv, "Item"));
    EXPECT_EQ(DdeGetLastError(client.Id()), DMLERR_NOTPROCESSED);
}

TEST_F(DdeConversation, TransactionsCheckTheirArguments) {
    const HCONV conv = client.Connect("Svc", "Topic");
    const HSZ item = client.Hsz("Item");
    const BYTE data[] = {'x'};
    const auto lastError = [this] { return DdeGetLastError(client.Id()); };
    EXPECT_FALSE(
        DdeClientTransaction(nullptr, 0, conv, nullptr, CF_TEXT, XTYP_REQUEST, 0, nullptr));
    EXPECT_EQ(lastError(), DMLERR_INVALIDPARAMETER);
    EXPECT_FALSE(DdeClientTransaction(data, 1, conv, item, CF_TEXT, XTYP_REQUEST, 0, nullptr));
    EXPECT_EQ(lastError(), DMLERR_INVALIDPARAMETER);
    EXPECT_FALSE(DdeClientTransaction(data, 1, conv, item, CF_TEXT, XTYP_CONNECT, 0, nullptr));
    EXPECT_EQ(lastError(), DMLERR_INVALIDPARAMETER);
    EXPECT_FALSE(DdeClientTransaction(nullptr, 0, conv, nullptr, 0, XTYP_EXECUTE, 0, nullptr));
    EXPECT_EQ(lastError(), DMLERR_MEMORY_ERROR);
    EXPECT_FALSE(DdeClientTransaction(nullptr, 0, nullptr, item, CF_TEXT, XTYP_POKE, 0, nullptr));
    EXPECT_EQ(GetLastError(), DMLERR_INVALIDPARAMETER);

    EXPECT_TRUE(DdeDisconnect(conv));
    EXPECT_FALSE(client.Request(conv, "Item"));
    EXPECT_EQ(lastError(), DMLERR_NO_CONV_ESTABLISHED);
    EXPECT_FALSE(DdeDisconnect(conv));
    EXPECT_FALSE(DdeDisconnect(nullptr));
    CONVINFO info{};
    info.cb = sizeof info;
    EXPECT_EQ(DdeQueryConvInfo(conv, QID_SYNC, &info), 0u);
}

TEST_F(DdeConversation, PokeAndExecuteHandTheBytesOverAndNeedAnAcknowledgement) {
    const HCONV conv = client.Connect("Svc", "Topic");
    server.answer = [](const DdePartner::Call&) { return HDDEDATA(DDE_FACK); };
    EXPECT_TRUE(client.Poke(conv, "Item", std::string("new\0", 4)));
    const DdePartner::Call poke = server.calls.back();
    EXPECT_EQ(poke.type, XTYP_POKE);
    EXPECT_EQ(poke.fmt, CF_TEXT);
    EXPECT_EQ(poke.text1, "Topic");
    EXPECT_EQ(poke.text2, "Item");
    EXPECT_EQ(poke.data, std::string("new\0", 4));

    EXPECT_TRUE(client.Execute(conv, "[run]"));
    const DdePartner::Call execute = server.calls.back();
    EXPECT_EQ(execute.type, XTYP_EXECUTE);
    EXPECT_EQ(execute.fmt, 0u);
    EXPECT_FALSE(execute.hsz2);
    EXPECT_EQ(execute.data, "[run]");
    EXPECT_EQ(DdeCountDataHandles(0), 0u);  // the library's handles are gone again

    server.answer = Accept;  // TRUE is not an acknowledgement
    EXPECT_FALSE(client.Poke(conv, "Item", "x"));
    EXPECT_EQ(DdeGetLastError(client.Id()), DMLERR_NOTPROCESSED);
    EXPECT_FALSE(client.Execute(conv, "x"));
}

TEST_F(DdeConversation, AdviseLinksAskTheServerAndDeliverToTheClient) {
    const HCONV first = client.Connect("Svc", "Topic");
    const HCONV second = client.Connect("Svc", "Topic");
    ASSERT_TRUE(client.StartAdvise(first, "Item"));
    ASSERT_TRUE(client.StartAdvise(second, "ITEM"));
    EXPECT_TRUE(client.StartAdvise(first, "Other"));
    EXPECT_EQ(Info(first).wStatus & ST_ADVISE, ST_ADVISE);
    AnswerText("v1");
    server.calls.clear();

    EXPECT_TRUE(DdePostAdvise(server.Id(), server.Hsz("topic"), server.Hsz("Item")));
    const auto requests = server.CallsOf(XTYP_ADVREQ);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].data1 & 0xFFFF, 1u);
    EXPECT_EQ(requests[1].data1 & 0xFFFF, 0u);
    const auto deliveries = client.CallsOf(XTYP_ADVDATA);
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].conv, first);
    EXPECT_EQ(deliveries[1].conv, second);
    EXPECT_EQ(deliveries[0].text2, "Item");
    EXPECT_EQ(deliveries[0].data, std::string("v1\0", 3));
    EXPECT_EQ(DdeCountDataHandles(server.Id()) + DdeCountDataHandles(0), 0u);

    // A null answer sends nothing; a stopped link is not asked again.
    server.answer = nullptr;
    EXPECT_TRUE(DdePostAdvise(server.Id(), server.Hsz("Topic"), server.Hsz("Item")));
    EXPECT_EQ(client.CallsOf(XTYP_ADVDATA).size(), 2u);
    EXPECT_TRUE(DdeClientTransaction(nullptr, 0, first, client.Hsz("Item"), CF_TEXT, XTYP_ADVSTOP,
                                     5000, nullptr));
    EXPECT_FALSE(DdeClientTransaction(nullptr, 0, first, client.Hsz("Item"), CF_TEXT, XTYP_ADVSTOP,
                                      5000, nullptr));
    server.calls.clear();
    AnswerText("v2");
    DdePostAdvise(server.Id(), server.Hsz("Topic"), server.Hsz("Item"));
    EXPECT_EQ(server.CallsOf(XTYP_ADVREQ).size(), 1u);
    EXPECT_FALSE(DdePostAdvise(server.Id() + 1000, server.Hsz("Topic"), server.Hsz("Item")));
}

TEST_F(DdeConversation, NoCallbackIsEnteredWhileItRuns) {
    const HCONV conv = client.Connect("Svc", "Topic");
    const HCONV self = server.Connect("Svc", "Topic");
    client.StartAdvise(conv, "Item");
    bool inPoke = false;
    bool askedDuringPoke = false;
    UINT selfTransaction = 0;
    server.answer = [&](const DdePartner::Call& call) {
        if (call.type == XTYP_ADVREQ) {
            askedDuringPoke = inPoke;
            return DdeCreateDataHandle(server.Id(), nullptr, 1, 0, nullptr, CF_TEXT, 0);
        }
        if (call.type == XTYP_POKE) {
            inPoke = true;
            DdePostAdvise(server.Id(), call.hsz1, call.hsz2);
            EXPECT_FALSE(DdeClientTransaction(nullptr, 0, self, call.hsz2, CF_TEXT, XTYP_REQUEST,
                                              5000, nullptr));
            selfTransaction = DdeGetLastError(server.Id());
            inPoke = false;
        }
        return HDDEDATA(DDE_FACK);
    };
    EXPECT_TRUE(client.Poke(conv, "Item", "x"));
    EXPECT_FALSE(askedDuringPoke);
    EXPECT_EQ(server.CallsOf(XTYP_ADVREQ).size(), 1u);
    EXPECT_EQ(client.CallsOf(XTYP_ADVDATA).size(), 1u);
    EXPECT_EQ(selfTransaction, DMLERR_REENTRANCY);
}

TEST_F(DdeConversation, EndingIsToldToThePartnerOnly) {
    const HCONV conv = client.Connect("Svc", "Topic");
    const HCONV serverEnd = server.calls.back().conv;
    EXPECT_TRUE(DdeDisconnect(conv));
    const auto notices = server.CallsOf(XTYP_DISCONNECT);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].conv, serverEnd);
    EXPECT_FALSE(notices[0].hsz1);
    EXPECT_TRUE(client.CallsOf(XTYP_DISCONNECT).empty());

    // The server's instance ending tells its clients.
    const HCONV again = client.Connect("Svc", "Topic");
    server.Uninitialize();
    ASSERT_EQ(client.CallsOf(XTYP_DISCONNECT).size(), 1u);
    EXPECT_EQ(client.CallsOf(XTYP_DISCONNECT)[0].conv, again);
    EXPECT_FALSE(client.Request(again, "Item"));
    EXPECT_EQ(DdeGetLastError(client.Id()), DMLERR_NO_CONV_ESTABLISHED);
}

TEST_F(DdeConversation, WildConnectOpensOneConversationPerPairAndKeepsTheFirst) {
    server.answer = [this](const DdePartner::Call& call) {
        if (call.type != XTYP_WILDCONNECT) {
            return HDDEDATA(TRUE);
        }
        const HSZPAIR pairs[] = {{server.Hsz("Svc"), server.Hsz("One")},
                                 {server.Hsz("Svc"), server.Hsz("Two")},
                                 {nullptr, nullptr}};
        return DdeCreateDataHandle(server.Id(), reinterpret_cast<const BYTE*>(pairs), sizeof pairs,
                                   0, nullptr, 0, 0);
    };
    const HCONV conv = DdeConnect(client.Id(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(conv);
    EXPECT_FALSE(server.calls[0].hsz1);
    EXPECT_FALSE(server.calls[0].hsz2);
    const auto confirms = server.CallsOf(XTYP_CONNECT_CONFIRM);
    ASSERT_EQ(confirms.size(), 2u);
    EXPECT_EQ(confirms[0].text1, "One");
    EXPECT_EQ(confirms[1].text1, "Two");
    const auto notices = server.CallsOf(XTYP_DISCONNECT);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].conv, confirms[1].conv);
    EXPECT_EQ(client.Text(Info(conv).hszTopic), "One");
    EXPECT_EQ(DdeCountDataHandles(server.Id()), 0u);
}
