#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "dde/NamedList.h"
#include "tests/dde/DdeTestServer.h"

namespace {

class CCommandTopic : public CDDETopic {
public:
    BOOL Execute(const void* pData, DWORD dwSize) override {
        command.assign(static_cast<const char*>(pData), dwSize);
        return TRUE;
    }
    std::string command;
};

}  // namespace

TEST_F(DdeServerTest, SystemTopicAnswersItsFourItems) {
    EXPECT_FALSE(partner.Connect("Vantrel", "Nope"));
    const HCONV conv = partner.Connect("Vantrel", "System");
    ASSERT_TRUE(conv);
    EXPECT_EQ(server->TakeLines(),
              (Lines{"Callback 1062H", "Callback 1062H", "Callback 8072H", "Connect to System"}));

    EXPECT_EQ(partner.Request(conv, "Topics"), WithZero("System"));
    EXPECT_EQ(server->TakeLines(),
              (Lines{"Callback 20B0H", "Request System|Topics", "System topic request: Topics"}));
    const std::string items = WithZero("TopicItemList\tFormats\tTopics\tSysItems");
    EXPECT_EQ(partner.Request(conv, "SysItems"), items);
    EXPECT_EQ(partner.Request(conv, "TopicItemList"), items);
    EXPECT_EQ(partner.Request(conv, "Formats"), WithZero("TEXT"));
    EXPECT_EQ(DdeCountDataHandles(server->m_instance), 0u);  // the library took the answers

    CDDETopic weather;
    CDDEStringItem pass;
    Serve(weather, "Weather", pass, "Pass");
    EXPECT_EQ(partner.Request(conv, "Topics"), WithZero("System\tWeather"));
    // The shared item now reports on the topic added last.
    EXPECT_EQ(partner.Request(conv, "TopicItemList"), WithZero("Pass\tTopicItemList\tFormats"));
    server->TakeLines();
    EXPECT_FALSE(partner.Request(conv, "Nope"));
    EXPECT_EQ(server->TakeLines(),
              (Lines{"Callback 20B0H", "Request System|Nope", "System topic request: Nope",
                     "Request System|Nope failed"}));
    EXPECT_EQ(server->others, (std::vector<UINT>{XTYP_CONNECT, XTYP_REQUEST}));
}

TEST_F(DdeServerTest, FormatsNamesEachOfferedFormatOnceAndAtMostAHundred) {
    CFormatsItem item({0x0200, static_cast<WORD>(RegisterClipboardFormatA("Vantrel Pass")), CF_TEXT,
                       2, CF_TEXT, 0});
    CDDETopic topic;
    Serve(topic, "Images", item, "Picture");
    // A format without a name keeps its place, empty; every item counts.
    CFormatsItem palette({9, 0});
    CDDEItem plain;
    palette.Create("Palette");
    plain.Create("Plain");
    topic.AddItem(&plain);
    topic.AddItem(&palette);
    EXPECT_EQ(partner.Request(ConnectPartner("Images"), "Formats"),
              WithZero("\tVantrel Pass\tTEXT\tBITMAP\tPALETTE"));

    std::vector<WORD> formats(150);
    std::iota(formats.begin(), formats.end(), WORD{0x0300});
    formats.push_back(0);
    CFormatsItem many(std::move(formats));
    CDDETopic manyTopic;
    Serve(manyTopic, "Many", many, "Many");
    EXPECT_EQ(partner.Request(ConnectPartner("Many"), "Formats"),
              WithZero(std::string(99, '\t')));  // a hundred unnamed formats

    const char* const standard[] = {"TEXT",    "BITMAP", "METAFILEPICT", "SYLK",    "DIF",  "TIFF",
                                    "OEMTEXT", "DIB",    "PALETTE",      "PENDATA", "RIFF", "WAVE"};
    for (UINT format = 1; format <= 12; ++format) {
        EXPECT_EQ(FormatName(0x10000 | format), standard[format - 1]) << format;
    }
    EXPECT_EQ(FormatName(13), "");
}

TEST_F(DdeServerTest, PokesFromThePartnerAreAdvisedOurOwnAreOnlyStored) {
    CDDETopic topic;
    CCountingItem value;
    Serve(topic, "Data", value, "Value");
    const HCONV conv = ConnectPartner("Data");
    ASSERT_TRUE(partner.Send(conv, XTYP_ADVSTART, "Value"));

    EXPECT_TRUE(partner.Send(conv, XTYP_POKE, "Value", "abc"));
    EXPECT_EQ(value.pokes, 1);
    ASSERT_EQ(partner.CallsOf(XTYP_ADVDATA).size(), 1u);
    EXPECT_EQ(partner.CallsOf(XTYP_ADVDATA)[0].data, WithZero("abc"));
    EXPECT_EQ(DdeCountDataHandles(0) + DdeCountDataHandles(server->m_instance), 0u);

    CDDEConv* const own = CDDECountedObject::New<CDDEConv>(server.get());
    ASSERT_TRUE(own->Connect("Vantrel", "Data"));
    EXPECT_TRUE(own->Poke(CF_TEXT, "Value", "xy", 3));
    EXPECT_EQ(value.pokes, 2);
    EXPECT_EQ(partner.CallsOf(XTYP_ADVDATA).size(), 1u);
    // Our own end passes the format on.
    EXPECT_FALSE(own->Poke(2, "Value", "q", 2));
    own->Disconnect();

    server->TakeLines();
    EXPECT_FALSE(partner.Send(conv, XTYP_POKE, "Nope", "1"));
    // Another format for a text item is the partner's choice, not our fault.
    EXPECT_FALSE(partner.Send(conv, XTYP_POKE, "Value", "1", 2));
    EXPECT_FALSE(partner.Request(conv, "Value", 2));
    EXPECT_EQ(server->TakeLines(),
              (Lines{"Callback 4090H", "Poke Data|Nope failed", "Callback 4090H",
                     "Poke Data|Value failed", "Callback 20B0H", "Request Data|Value",
                     "Request Data|Value failed"}));
    EXPECT_EQ(partner.Request(conv, "Value"), WithZero("xy"));
    EXPECT_TRUE(diagnostics.assertions.empty());
}

TEST_F(DdeServerTest, SetDataAdvisesTheTopicTheItemWasAddedToLast) {
    CDDEStringItem shared;  // in two topics: it must outlive both
    CDDEItem plain;
    CDDETopic first, second;
    Serve(first, "First", shared, "Shared");
    Serve(second, "Second", shared, "Shared");
    plain.Create("Plain");
    first.AddItem(&plain);
    const HCONV toFirst = ConnectPartner("First");
    const HCONV toSecond = ConnectPartner("Second");
    ASSERT_TRUE(partner.Send(toFirst, XTYP_ADVSTART, "Shared"));
    ASSERT_TRUE(partner.Send(toSecond, XTYP_ADVSTART, "Shared"));
    EXPECT_FALSE(partner.Send(toFirst, XTYP_ADVSTART, "Plain"));
    EXPECT_EQ(server->TakeLines().back(), "Can't advise on First|Plain");

    shared.SetData("new");
    const auto advised = partner.CallsOf(XTYP_ADVDATA);
    ASSERT_EQ(advised.size(), 1u);
    EXPECT_EQ(advised[0].conv, toSecond);
    EXPECT_EQ(advised[0].data, WithZero("new"));
    // Announcing a change leaves no string handles behind.
    EXPECT_FALSE(DdeFreeStringHandle(server->m_instance, partner.Hsz("Shared")));

    server->Stop();  // afterwards a change is only stored
    shared.SetData("later");
    EXPECT_STREQ(shared.GetData(), "later");
    EXPECT_TRUE(diagnostics.assertions.empty());
}

TEST_F(DdeServerTest, ExecuteIsAcknowledgedOnlyWhenTheTopicRunsIt) {
    EXPECT_FALSE(partner.Send(ConnectPartner("System"), XTYP_EXECUTE, nullptr, "[go]"));
    EXPECT_EQ(server->TakeLines(), (Lines{"Callback 4050H", "Exec", "Exec failed"}));

    CCommandTopic commands;
    commands.Create("Commands");
    server->AddTopic(&commands);
    EXPECT_TRUE(partner.Send(ConnectPartner("Commands"), XTYP_EXECUTE, nullptr, WithZero("[go]")));
    EXPECT_EQ(commands.command, WithZero("[go]"));
}

TEST_F(DdeServerTest, WildConnectsOfferServiceAndTopicPairs) {
    CDDETopic weather;
    weather.Create("Weather");
    server->AddTopic(&weather);
    const HDDEDATA table = server->AnswerWildConnect(nullptr);
    const std::string bytes = DdePartner::Bytes(table);
    DdeFreeDataHandle(table);
    ASSERT_EQ(bytes.size(), 3 * sizeof(HSZPAIR));  // a pair per topic, then the null pair
    HSZPAIR pairs[3];
    std::memcpy(pairs, bytes.data(), sizeof pairs);
    EXPECT_EQ(partner.Text(pairs[0].hszSvc), "Vantrel");
    EXPECT_EQ(partner.Text(pairs[1].hszTopic), "Weather");
    EXPECT_FALSE(pairs[2].hszSvc || pairs[2].hszTopic);
    server->TakeLines();
    EXPECT_FALSE(server->AnswerWildConnect(partner.Hsz("Nope")));
    EXPECT_EQ(server->TakeLines(), Lines{"Wild connect to Nope refused"});

    // Through the library: with a topic there is one conversation; without
    // one, one per topic, of which the partner keeps the first.
    ASSERT_TRUE(DdeConnect(partner.Id(), nullptr, partner.Hsz("Weather"), nullptr));
    EXPECT_EQ(server->TakeLines(), (Lines{"Callback 20E2H", "Wild connect to Weather",
                                          "Callback 8072H", "Connect to Weather"}));
    const HCONV kept = DdeConnect(partner.Id(), partner.Hsz("VANTREL"), nullptr, nullptr);
    EXPECT_EQ(server->m_conversations.GetCount(), 2);
    EXPECT_EQ(partner.Request(kept, "Topics"), WithZero("System\tWeather"));
    EXPECT_FALSE(DdeConnect(partner.Id(), partner.Hsz("Other"), nullptr, nullptr));
    EXPECT_EQ(DdeCountDataHandles(server->m_instance), 0u);
}

TEST_F(DdeServerTest, CallbackAnswersByTheLow16BitsOfTypeAndFormat) {
    CDDETopic topic;
    CDDEStringItem value;
    Serve(topic, "Data", value, "Value");
    value.SetData("7");
    const HSZ data = partner.Hsz("Data");
    const HSZ item = partner.Hsz("Value");
    constexpr UINT kHigh = 0x10000;
    EXPECT_EQ(ServerCallback(kHigh | XTYP_CONNECT, 0, nullptr, data, nullptr, nullptr, 0, 0),
              HDDEDATA(TRUE));
    EXPECT_EQ(ServerCallback(XTYP_ADVSTART, kHigh | CF_TEXT, nullptr, data, item, nullptr, 0, 0),
              HDDEDATA(TRUE));
    for (const UINT type : {XTYP_REQUEST, XTYP_ADVREQ}) {
        const HDDEDATA answer =
            ServerCallback(type, kHigh | CF_TEXT, nullptr, data, item, nullptr, 0, 0);
        EXPECT_EQ(DdePartner::Bytes(answer), WithZero("7")) << type;
        DdeFreeDataHandle(answer);
    }
    server->TakeLines();
    EXPECT_FALSE(
        ServerCallback(kHigh | XTYP_REGISTER, kHigh | 5, nullptr, nullptr, nullptr, nullptr, 0, 0));
    EXPECT_EQ(server->TakeLines(), Lines{"Callback 80A2H"});
    // A wild connect for another service is not ours to answer, nor to pass on.
    EXPECT_FALSE(
        ServerCallback(XTYP_WILDCONNECT, 0, nullptr, nullptr, partner.Hsz("Other"), nullptr, 0, 0));
    EXPECT_EQ(server->others, (std::vector<UINT>{XTYP_REGISTER}));

    // Each overridable operation refuses a topic that is not served.
    const void* answer = nullptr;
    DWORD size = 0;
    EXPECT_FALSE(server->Request(CF_TEXT, "Nope", "Value", &answer, &size));
    EXPECT_FALSE(server->Poke(CF_TEXT, "Nope", "Value", "1", 2));
    EXPECT_FALSE(server->Execute("Nope", "go", 3));
    EXPECT_FALSE(server->CanAdvise(CF_TEXT, "Nope", "Value"));
}

TEST_F(DdeServerTest, ConversationsAreListedOnceAndLetGoOf) {
    const HCONV conv = ConnectPartner("System");
    ASSERT_EQ(server->m_conversations.GetCount(), 1);
    CDDEConv* const listed =
        server->m_conversations.GetAt(server->m_conversations.GetHeadPosition());
    EXPECT_EQ(listed->m_refCount, 1);
    EXPECT_EQ(partner.Text(listed->m_hszTopic), "System");
    EXPECT_EQ(server->FindConversation(listed->m_hConv), listed);
    EXPECT_FALSE(server->RemoveConversation(HCONV(12345)));

    const Held<CDDEConv> extra(server->AddConversation(HCONV(777), partner.Hsz("Data")));
    EXPECT_EQ(extra->m_refCount, 2);
    EXPECT_TRUE(server->RemoveConversation(HCONV(777)));
    EXPECT_FALSE(extra->m_hConv);
    EXPECT_EQ(extra->m_refCount, 1);
    EXPECT_EQ(server->AddConversation(nullptr), nullptr);
    EXPECT_EQ(server->m_conversations.GetCount(), 1);
    // Not listed, it still ends.
    const Held<CDDEConv> unlisted(
        CDDECountedObject::New<CDDEConv>(server.get(), HCONV(778), nullptr));
    EXPECT_TRUE(unlisted->Disconnect());
    EXPECT_FALSE(unlisted->m_hConv);

    ASSERT_TRUE(DdeDisconnect(conv));
    EXPECT_TRUE(server->m_conversations.IsEmpty());
}

TEST_F(DdeServerTest, OneServerPerProcessWhichStopsOnce) {
    CTestServer second;
    DWORD instance = 99;
    EXPECT_FALSE(second.Create("Other", 0, &instance));
    EXPECT_EQ(diagnostics.traces, Lines{"Already got a server!\n"});
    EXPECT_EQ(instance, 99u);
    EXPECT_EQ(g_ddeServer, server.get());

    CDDETopic topic;
    topic.Create("Data");
    EXPECT_TRUE(server->AddTopic(&topic));
    EXPECT_TRUE(server->AddTopic(&topic));
    EXPECT_EQ(NamesOf(topic.m_items), "TopicItemList\tFormats");
    server->RemoveTopic(&server->m_systemTopic);  // "System" always stays
    server->RemoveTopic(&topic);
    EXPECT_EQ(NamesOf(server->m_topics), "System");
    EXPECT_EQ(topic.m_server, nullptr);
    EXPECT_EQ(NamesOf(topic.m_items), "");
    EXPECT_EQ(server->m_topicItemListItem.m_topic, nullptr);

    server->Stop();
    EXPECT_FALSE(server->m_running);
    EXPECT_FALSE(partner.Connect("Vantrel", "System"));
    EXPECT_FALSE(DdeUninitialize(server->m_instance));  // the instance went with it
    server->Stop();
    EXPECT_EQ(diagnostics.assertions.size(), 1u);  // the second server's
}

TEST(DdeServerCreate, TheResultIsWhatOnCreateSays) {
    const ServerSlotReset reset;
    class CRefusingServer : public CTestServer {
    public:
        BOOL OnCreate() override { return FALSE; }
    } server;
    DWORD instance = 0;
    EXPECT_FALSE(server.Create("Refusing", 0, &instance));
    EXPECT_EQ(instance, server.m_instance);
    EXPECT_TRUE(DdePartner().Connect("Refusing", "System"));
}
