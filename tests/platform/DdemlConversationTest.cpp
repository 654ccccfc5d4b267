#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ddeml/Ddeml.h"
#include "platform/ddeml/DdemlDiagnostics.h"
#include "tests/platform/DdePartner.h"
#include "tests/support/Diagnostics.h"

namespace {

HDDEDATA Accept(const DdePartner::Call&) {
    return HDDEDATA(TRUE);
}

CONVINFO Info(HCONV conv) {
    CONVINFO info{};
    info.cb = sizeof info;
    EXPECT_EQ(DdeQueryConvInfo(conv, QID_SYNC, &info), sizeof info);
    return info;
}

// A server "Svc" that accepts every connection, and a client.
class DdeConversation : public ::testing::Test {
protected:
    DdeConversation() {
        server.Register("Svc");
        server.answer = Accept;
    }
    // The answers may refer to a test's locals; the partners' ending still calls them.
    ~DdeConversation() override {
        server.answer = nullptr;
        client.answer = nullptr;
    }

    // The handle of the server end of the conversation opened last.
    HCONV ServerEnd() const { return server.CallsOf(XTYP_CONNECT_CONFIRM).back().conv; }

    DdePartner server;
    DdePartner client;
};

}  // namespace

TEST_F(DdeConversation, ConnectConfirmsTheServerEndAndInfoTellsTheEndsApart) {
    const HCONV conv = client.Connect("SVC", "Topic");
    ASSERT_TRUE(conv);
    ASSERT_EQ(server.calls.size(), 2u);
    for (const auto& [call, type] : {std::pair(server.calls[0], XTYP_CONNECT),
                                     std::pair(server.calls[1], XTYP_CONNECT_CONFIRM)}) {
        EXPECT_EQ(call.type, type);
        EXPECT_EQ(call.text1, "Topic");
        EXPECT_EQ(call.text2, "Svc");
        EXPECT_EQ(call.data2, 0u);  // not the same instance
    }
    const HCONV serverEnd = ServerEnd();
    const CONVINFO info = Info(conv);
    EXPECT_EQ(info.wStatus, ST_CONNECTED | ST_ISLOCAL | ST_CLIENT);
    EXPECT_EQ(info.hConvPartner, serverEnd);
    EXPECT_EQ(client.Text(info.hszTopic), "Topic");
    EXPECT_EQ(client.Text(info.hszSvcPartner), "Svc");
    EXPECT_EQ(Info(serverEnd).hConvPartner, conv);
    ASSERT_TRUE(client.Send(conv, XTYP_ADVSTART, "Item"));
    EXPECT_EQ(Info(conv).wStatus, ST_CONNECTED | ST_ISLOCAL | ST_CLIENT | ST_ADVISE);
    EXPECT_EQ(Info(serverEnd).wStatus, ST_CONNECTED | ST_ISLOCAL | ST_ADVISE);

    // Talking to itself, an instance is told so.
    const HCONV self = server.Connect("Svc", "Topic");
    EXPECT_EQ(server.CallsOf(XTYP_CONNECT).back().data2, 1u);
    EXPECT_EQ(Info(self).wStatus, ST_CONNECTED | ST_ISLOCAL | ST_CLIENT | ST_ISSELF);
    EXPECT_EQ(Info(ServerEnd()).wStatus, ST_CONNECTED | ST_ISLOCAL | ST_ISSELF);

    CONVINFO partial{};
    partial.cb = 12;
    partial.wStatus = 0xBEEF;
    EXPECT_EQ(DdeQueryConvInfo(conv, QID_SYNC, &partial), 12u);
    EXPECT_EQ(partial.hConvPartner, serverEnd);
    EXPECT_EQ(partial.wStatus, 0xBEEFu);
    EXPECT_EQ(DdeQueryConvInfo(conv, 1, &partial), 0u);
    EXPECT_TRUE(DdeDisconnect(conv));
    EXPECT_EQ(DdeQueryConvInfo(serverEnd, QID_SYNC, &partial), 0u);
}

TEST_F(DdeConversation, OnlyRegisteredServicesAreAskedAndNoTakerFails) {
    server.answer = nullptr;
    EXPECT_FALSE(client.Connect("Svc", "Topic"));
    EXPECT_EQ(server.calls.size(), 1u);
    EXPECT_EQ(DdeGetLastError(client.Id()), DMLERR_NO_CONV_ESTABLISHED);

    EXPECT_FALSE(server.Register("svc"));
    EXPECT_EQ(DdeGetLastError(server.Id()), DMLERR_DLL_USAGE);
    EXPECT_TRUE(server.Register("Second"));
    EXPECT_TRUE(DdeNameService(server.Id(), nullptr, nullptr, DNS_UNREGISTER));
    server.answer = Accept;
    server.calls.clear();
    EXPECT_FALSE(client.Connect("Svc", "Topic"));
    EXPECT_FALSE(client.Connect("Second", "Topic"));
    EXPECT_TRUE(server.calls.empty());
    EXPECT_FALSE(DdeNameService(server.Id(), server.Hsz("Svc"), nullptr, DNS_UNREGISTER));
    server.Register("Svc");
    EXPECT_TRUE(client.Connect("Svc", "Topic"));
    EXPECT_EQ(DdeGetLastError(client.Id()), DMLERR_NO_ERROR);  // success clears the failure
}

TEST_F(DdeConversation, EveryInstanceOfferingTheServiceIsAskedAndTheFirstTakerKept) {
    DdePartner other;
    other.Register("Svc");
    other.answer = Accept;

    const HCONV conv = client.Connect("Svc", "Topic");
    EXPECT_EQ(Info(conv).hConvPartner, ServerEnd());
    // The second taker's conversation ends at once.
    ASSERT_EQ(other.CallsOf(XTYP_DISCONNECT).size(), 1u);
    EXPECT_EQ(other.CallsOf(XTYP_DISCONNECT)[0].conv, other.CallsOf(XTYP_CONNECT_CONFIRM)[0].conv);
    EXPECT_TRUE(server.CallsOf(XTYP_DISCONNECT).empty());
    EXPECT_TRUE(client.calls.empty());

    // A refusal by the first passes the connection to the next.
    server.answer = nullptr;
    const HCONV next = client.Connect("Svc", "Topic");
    EXPECT_EQ(Info(next).hConvPartner, other.CallsOf(XTYP_CONNECT_CONFIRM).back().conv);
    EXPECT_EQ(other.CallsOf(XTYP_DISCONNECT).size(), 1u);
}

TEST_F(DdeConversation, WildConnectsAskEveryServerAndOpenOneConversationPerPair) {
    DdePartner other;
    other.Register("Else");
    const auto offer = [](const DdePartner& partner, std::vector<HSZPAIR> pairs) {
        return [&partner, pairs](const DdePartner::Call& call) {
            if (call.type != XTYP_WILDCONNECT) {
                return HDDEDATA(TRUE);
            }
            return DdeCreateDataHandle(partner.Id(), reinterpret_cast<const BYTE*>(pairs.data()),
                                       static_cast<DWORD>(pairs.size() * sizeof(HSZPAIR)), 0,
                                       nullptr, 0, 0);
        };
    };
    server.answer = offer(server, {{server.Hsz("Svc"), server.Hsz("One")},
                                   {server.Hsz("Svc"), HSZ(0x7FFFFFF0)},  // no such string
                                   {server.Hsz("Svc"), server.Hsz("Two")},
                                   {nullptr, nullptr},
                                   {server.Hsz("Svc"), server.Hsz("After the end")}});
    other.answer = offer(other, {{other.Hsz("Else"), other.Hsz("Three")}});  // no end pair

    const HCONV conv = DdeConnect(client.Id(), nullptr, client.Hsz("Topic"), nullptr);
    ASSERT_TRUE(conv);
    for (const DdePartner* asked : {&server, &other}) {
        ASSERT_EQ(asked->CallsOf(XTYP_WILDCONNECT).size(), 1u);
        EXPECT_EQ(asked->CallsOf(XTYP_WILDCONNECT)[0].text1, "Topic");
        EXPECT_EQ(asked->CallsOf(XTYP_WILDCONNECT)[0].text2, "");  // any service
    }
    const auto confirms = server.CallsOf(XTYP_CONNECT_CONFIRM);
    ASSERT_EQ(confirms.size(), 2u);
    ASSERT_EQ(other.CallsOf(XTYP_CONNECT_CONFIRM).size(), 1u);
    EXPECT_EQ(other.CallsOf(XTYP_CONNECT_CONFIRM)[0].text1, "Three");
    // The client keeps the first; the others end.
    EXPECT_EQ(Info(conv).hConvPartner, confirms[0].conv);
    ASSERT_EQ(server.CallsOf(XTYP_DISCONNECT).size(), 1u);
    EXPECT_EQ(server.CallsOf(XTYP_DISCONNECT)[0].conv, confirms[1].conv);
    EXPECT_EQ(other.CallsOf(XTYP_DISCONNECT).size(), 1u);
    EXPECT_EQ(DdeCountDataHandles(server.Id()) + DdeCountDataHandles(other.Id()), 0u);

    server.answer = nullptr;
    other.answer = nullptr;
    EXPECT_FALSE(DdeConnect(client.Id(), client.Hsz("Svc"), nullptr, nullptr));
    EXPECT_EQ(server.CallsOf(XTYP_WILDCONNECT).back().text2, "Svc");
}

TEST_F(DdeConversation, TransactionsCheckTheirArgumentsAndTheConversation) {
    const CapturedDiagnostics diagnostics;
    const HCONV conv = client.Connect("Svc", "Topic");
    const HCONV serverEnd = ServerEnd();
    const HSZ item = client.Hsz("Item");
    const BYTE data[] = {'x'};
    struct Case {
        const BYTE* data;
        HCONV conv;
        HSZ item;
        UINT type;
        DWORD timeout;
        UINT error;
    };
    constexpr UINT kInvalid = DMLERR_INVALIDPARAMETER;
    for (const Case& c : std::vector<Case>{
             {nullptr, conv, nullptr, XTYP_REQUEST, 5000, kInvalid},
             {data, conv, item, XTYP_REQUEST, 5000, kInvalid},  // a request carries no data
             {data, conv, nullptr, XTYP_POKE, 5000, kInvalid},
             {nullptr, conv, nullptr, XTYP_ADVSTART, 5000, kInvalid},
             {nullptr, conv, nullptr, XTYP_ADVSTOP, 5000, kInvalid},
             {nullptr, conv, nullptr, XTYP_EXECUTE, 5000, DMLERR_MEMORY_ERROR},
             {data, conv, item, XTYP_ADVDATA, 5000, kInvalid},
             {nullptr, conv, item, XTYP_REQUEST, TIMEOUT_ASYNC, kInvalid},
             {nullptr, serverEnd, item, XTYP_REQUEST, 5000, kInvalid},
         }) {
        SCOPED_TRACE(testing::Message() << std::hex << c.type << " " << c.error);
        server.calls.clear();
        EXPECT_FALSE(
            DdeClientTransaction(c.data, 1, c.conv, c.item, CF_TEXT, c.type, c.timeout, nullptr));
        EXPECT_EQ(DdeGetLastError(c.conv == serverEnd ? server.Id() : client.Id()), c.error);
        EXPECT_TRUE(server.calls.empty());
    }
    EXPECT_EQ(diagnostics.traces.size(), 9u);

    // Success clears an earlier error.
    EXPECT_FALSE(client.Send(conv, XTYP_EXECUTE, nullptr));
    server.answer = [this](const DdePartner::Call&) { return server.Data("42"); };
    EXPECT_EQ(client.Request(conv, "Item"), "42");
    EXPECT_EQ(DdeGetLastError(client.Id()), DMLERR_NO_ERROR);

    EXPECT_TRUE(DdeDisconnect(conv));
    server.calls.clear();
    EXPECT_FALSE(client.Send(conv, XTYP_POKE, "Item", "x"));
    EXPECT_EQ(GetLastError(), DMLERR_NO_CONV_ESTABLISHED);
    EXPECT_TRUE(server.calls.empty());
    EXPECT_FALSE(DdeDisconnect(conv));
    EXPECT_TRUE(diagnostics.assertions.empty());
}

TEST_F(DdeConversation, EachTransactionTypeReachesTheServerAndMapsItsAnswer) {
    const HCONV conv = client.Connect("Svc", "Topic");
    const HCONV serverEnd = ServerEnd();
    const UINT format = RegisterClipboardFormatA("Vantrel Sample");
    struct Case {
        UINT type;
        const char* item;
        std::string bytes;
        HDDEDATA answer;
        bool done;
        UINT fmt;           // what the server's callback gets
        const char* text2;  // null: the server is not called
    };
    const std::string poked("new\0", 4);
    for (const Case& c : std::vector<Case>{
             {XTYP_POKE, "Item", poked, HDDEDATA(DDE_FACK), true, format, "Item"},
             {XTYP_POKE, "Item", "x", HDDEDATA(TRUE), false, format, "Item"},
             {XTYP_EXECUTE, "Item", "[run]", HDDEDATA(DDE_FACK), true, 0, ""},
             {XTYP_EXECUTE, nullptr, "[run]", HDDEDATA(DDE_FBUSY), false, 0, ""},
             {XTYP_ADVSTART, "Item", "", HDDEDATA(TRUE), true, format, "Item"},
             {XTYP_ADVSTOP, "Item", "", nullptr, true, format, "Item"},
             {XTYP_ADVSTART, "Item", "", nullptr, false, format, "Item"},
             {XTYP_ADVSTOP, "Item", "", HDDEDATA(TRUE), false, 0, nullptr},  // no link to stop
         }) {
        SCOPED_TRACE(testing::Message() << std::hex << c.type << " answered " << c.answer.value);
        server.calls.clear();
        server.answer = [&c](const DdePartner::Call&) { return c.answer; };
        EXPECT_EQ(client.Send(conv, c.type, c.item, c.bytes, format), c.done);
        EXPECT_EQ(DdeGetLastError(client.Id()), c.done ? DMLERR_NO_ERROR : DMLERR_NOTPROCESSED);
        if (c.text2 == nullptr) {
            EXPECT_TRUE(server.calls.empty());
            continue;
        }
        ASSERT_EQ(server.calls.size(), 1u);
        const DdePartner::Call& got = server.calls[0];
        EXPECT_EQ(got.type, c.type);
        EXPECT_EQ(got.conv, serverEnd);
        EXPECT_EQ(got.fmt, c.fmt);
        EXPECT_EQ(got.text1, "Topic");
        EXPECT_EQ(got.text2, c.text2);
        EXPECT_EQ(got.data, c.bytes.empty() ? std::nullopt : std::optional(c.bytes));
    }
    EXPECT_EQ(DdeCountDataHandles(0), 0u);  // the handles lent to the server are gone again
}

TEST_F(DdeConversation, RequestGivesTheClientItsOwnCopyOfTheAnswer) {
    const HCONV conv = client.Connect("Svc", "Topic");
    bool appOwned = false;
    HDDEDATA kept;
    server.answer = [&](const DdePartner::Call&) {
        kept = DdeCreateDataHandle(server.Id(), reinterpret_cast<const BYTE*>("42"), 3, 0, nullptr,
                                   CF_TEXT, appOwned ? HDATA_APPOWNED : 0);
        return kept;
    };
    const HDDEDATA answer = DdeClientTransaction(nullptr, 0, conv, client.Hsz("Item"), CF_TEXT,
                                                 XTYP_REQUEST, 5000, nullptr);
    EXPECT_EQ(DdePartner::Bytes(answer), std::string("42\0", 3));
    EXPECT_EQ(DdeCountDataHandles(server.Id()), 0u);  // the server's answer was freed
    EXPECT_EQ(DdeCountDataHandles(client.Id()), 1u);  // the copy is the caller's
    EXPECT_TRUE(DdeFreeDataHandle(answer));

    appOwned = true;  // an answer its owner keeps stays
    EXPECT_EQ(client.Request(conv, "Item"), std::string("42\0", 3));
    EXPECT_TRUE(DdeFreeDataHandle(kept));

    server.answer = Accept;  // not data
    EXPECT_FALSE(client.Request(conv, "Item"));
    EXPECT_EQ(DdeGetLastError(client.Id()), DMLERR_NOTPROCESSED);
}

TEST_F(DdeConversation, PostAdviseAsksEveryMatchingLinkOfItsInstanceAndDelivers) {
    DdePartner other;
    other.Register("Svc2");
    other.answer = Accept;
    const UINT format = RegisterClipboardFormatA("Vantrel Sample");
    const HCONV first = client.Connect("Svc", "Topic");
    const HCONV second = client.Connect("Svc", "Topic");
    const HCONV elsewhere = client.Connect("Svc", "Elsewhere");
    const HCONV foreign = client.Connect("Svc2", "Topic");
    ASSERT_TRUE(client.Send(first, XTYP_ADVSTART, "Item", {}, format));
    ASSERT_TRUE(client.Send(second, XTYP_ADVSTART, "ITEM"));
    ASSERT_TRUE(client.Send(first, XTYP_ADVSTART, "Other"));
    ASSERT_TRUE(client.Send(elsewhere, XTYP_ADVSTART, "Item"));
    ASSERT_TRUE(client.Send(foreign, XTYP_ADVSTART, "Item"));
    const std::string value("v1\0", 3);
    server.answer = [&](const DdePartner::Call& call) {
        return call.type == XTYP_ADVREQ ? server.Data(value) : HDDEDATA();
    };
    server.calls.clear();

    EXPECT_TRUE(DdePostAdvise(server.Id(), server.Hsz("topic"), server.Hsz("Item")));
    const auto requests = server.CallsOf(XTYP_ADVREQ);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].data1 & 0xFFFF, 1u);  // how many are still to come
    EXPECT_EQ(requests[1].data1 & 0xFFFF, 0u);
    EXPECT_EQ(requests[0].fmt, format);
    EXPECT_EQ(requests[1].fmt, CF_TEXT);
    EXPECT_EQ(requests[0].text2, "Item");
    EXPECT_TRUE(other.CallsOf(XTYP_ADVREQ).empty());
    const auto deliveries = client.CallsOf(XTYP_ADVDATA);
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].conv, first);
    EXPECT_EQ(deliveries[1].conv, second);
    EXPECT_EQ(deliveries[0].fmt, format);
    EXPECT_EQ(deliveries[0].text1, "Topic");
    EXPECT_EQ(deliveries[0].data, value);
    EXPECT_EQ(DdeCountDataHandles(server.Id()) + DdeCountDataHandles(0), 0u);

    // A stopped link is not asked again.
    EXPECT_TRUE(client.Send(first, XTYP_ADVSTOP, "Item", {}, format));
    EXPECT_FALSE(client.Send(first, XTYP_ADVSTOP, "Item", {}, format));
    server.calls.clear();
    EXPECT_TRUE(DdePostAdvise(server.Id(), server.Hsz("Topic"), server.Hsz("Item")));
    EXPECT_EQ(server.CallsOf(XTYP_ADVREQ).size(), 1u);
    EXPECT_FALSE(DdePostAdvise(server.Id() + 1000, server.Hsz("Topic"), server.Hsz("Item")));
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
            return server.Data("x");
        }
        if (call.type == XTYP_POKE) {
            inPoke = true;
            DdePostAdvise(server.Id(), server.Hsz("Topic"), server.Hsz("Item"));
            EXPECT_FALSE(server.Request(self, "Item"));
            selfError = DdeGetLastError(server.Id());
            EXPECT_FALSE(server.Connect("Svc", "Topic"));
            inPoke = false;
        }
        return HDDEDATA(DDE_FACK);
    };
    EXPECT_TRUE(client.Send(conv, XTYP_POKE, "Item", "x"));
    EXPECT_EQ(client.CallsOf(XTYP_ADVDATA).size(), 1u);
    EXPECT_FALSE(askedDuringPoke);
    EXPECT_EQ(selfError, DMLERR_REENTRANCY);
}

TEST_F(DdeConversation, EndingIsToldToThePartnerOnlyAndEndsTheLinks) {
    // The conversation and its link hold their names while they last.
    const HSZ topic = client.Hsz("Passing");
    const HSZ linked = client.Hsz("Linked");
    const HCONV conv = DdeConnect(client.Id(), client.Hsz("Svc"), topic, nullptr);
    const HCONV serverEnd = ServerEnd();
    const HCONV again = DdeConnect(client.Id(), client.Hsz("Svc"), topic, nullptr);
    ASSERT_TRUE(
        DdeClientTransaction(nullptr, 0, conv, linked, CF_TEXT, XTYP_ADVSTART, 5000, nullptr));
    ASSERT_TRUE(DdeFreeStringHandle(client.Id(), topic));
    ASSERT_TRUE(DdeFreeStringHandle(client.Id(), linked));
    EXPECT_EQ(client.Text(topic), "Passing");
    EXPECT_EQ(client.Text(linked), "Linked");
    EXPECT_TRUE(DdeDisconnect(conv));
    EXPECT_EQ(client.Text(topic), "Passing");  // the other conversation still holds it
    EXPECT_EQ(client.Text(client.Hsz("LINKED")), "LINKED");
    const auto notices = server.CallsOf(XTYP_DISCONNECT);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].conv, serverEnd);
    EXPECT_TRUE(client.CallsOf(XTYP_DISCONNECT).empty());

    // The server's instance ending tells its clients, and no callback
    // reaches it afterwards.
    server.calls.clear();
    server.Uninitialize();
    EXPECT_TRUE(server.calls.empty());
    ASSERT_EQ(client.CallsOf(XTYP_DISCONNECT).size(), 1u);
    EXPECT_EQ(client.CallsOf(XTYP_DISCONNECT)[0].conv, again);
    EXPECT_FALSE(client.Request(again, "Item"));
    EXPECT_EQ(DdeGetLastError(client.Id()), DMLERR_NO_CONV_ESTABLISHED);
    EXPECT_FALSE(client.Connect("Svc", "Topic"));  // its service is gone too

    // The client's instance ending tells the servers of its conversations.
    DdePartner next;
    next.Register("Next");
    next.answer = Accept;
    ASSERT_TRUE(client.Connect("Next", "Topic"));
    client.Uninitialize();
    ASSERT_EQ(next.CallsOf(XTYP_DISCONNECT).size(), 1u);
    EXPECT_EQ(next.CallsOf(XTYP_DISCONNECT)[0].conv,
              next.CallsOf(XTYP_CONNECT_CONFIRM).back().conv);
}

TEST_F(DdeConversation, EndedConversationsAreForgottenSoTheRecordsStayFlat) {
    const std::size_t before = DdeCountConversations();
    for (int cycle = 0; cycle < 3; ++cycle) {
        ASSERT_TRUE(DdeDisconnect(client.Connect("Svc", "Topic")));
        // The server ending its end forgets both as well, once the client lets go.
        const HCONV byServer = client.Connect("Svc", "Topic");
        ASSERT_TRUE(DdeDisconnect(ServerEnd()));
        EXPECT_FALSE(DdeDisconnect(byServer));
    }
    EXPECT_EQ(DdeCountConversations(), before);
    EXPECT_EQ(client.CallsOf(XTYP_DISCONNECT).size(), 3u);

    ASSERT_TRUE(client.Connect("Svc", "Topic"));
    EXPECT_EQ(DdeCountConversations(), before + 2);
    client.Uninitialize();
    EXPECT_EQ(DdeCountConversations(), before);
}
