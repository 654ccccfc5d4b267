#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/dde/DdeTestServer.h"

namespace {

using Lines = std::vector<std::string>;

class CCountingItem : public CDDEStringItem {
public:
    void OnPoke() override { ++pokes; }
    int pokes = 0;
};

// An item offering the formats it is given.
class CFormatsItem : public CDDEItem {
public:
    explicit CFormatsItem(std::vector<WORD> formats) : m_formats(std::move(formats)) {
        m_formats.push_back(0);
    }
    const WORD* GetFormatList() override { return m_formats.data(); }

private:
    std::vector<WORD> m_formats;
};

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
    const HCONV conv = partner.Connect("Vantrel", "System");
    ASSERT_TRUE(conv);
    EXPECT_EQ(server->TakeLines(),
              (Lines{"Callback 1062H", "Callback 8072H", "Connect to System"}));
    EXPECT_EQ(server->m_conversations.GetCount(), 1);

    EXPECT_EQ(partner.Request(conv, "Topics"), WithZero("System"));
    EXPECT_EQ(server->TakeLines(),
              (Lines{"Callback 20B0H", "Request System|Topics", "System topic request: Topics"}));
    EXPECT_EQ(partner.Request(conv, "SysItems"),
              WithZero("TopicItemList\tFormats\tTopics\tSysItems"));
    EXPECT_EQ(partner.Request(conv, "TopicItemList"),
              WithZero("TopicItemList\tFormats\tTopics\tSysItems"));
    EXPECT_EQ(partner.Request(conv, "Formats"), WithZero("TEXT"));

    CDDETopic weather;
    CDDEStringItem pass;
    Serve(weather, "Weather", pass, "Pass");
    EXPECT_TRUE(server->AddTopic(&weather));
    EXPECT_EQ(partner.Request(conv, "Topics"), WithZero("System\tWeather"));
    // The shared item now reports on the topic added last.
    EXPECT_EQ(partner.Request(conv, "TopicItemList"), WithZero("Pass\tTopicItemList\tFormats"));
    server->TakeLines();
    EXPECT_FALSE(partner.Request(conv, "Nope"));
    EXPECT_EQ(server->TakeLines(),
              (Lines{"Callback 20B0H", "Request System|Nope", "System topic request: Nope",
                     "Request System|Nope failed"}));
    EXPECT_EQ(server->others, (std::vector<UINT>{XTYP_REQUEST}));
}

TEST_F(DdeServerTest, FormatsNamesEachFormatOnce) {
    const UINT registered = RegisterClipboardFormatA("Vantrel Pass");
    CFormatsItem item({0x0200, static_cast<WORD>(registered), CF_TEXT, 2, CF_TEXT});
    CDDETopic topic;
    Serve(topic, "Images", item, "Picture");
    const HCONV conv = ConnectPartner("Images");
    EXPECT_EQ(partner.Request(conv, "Formats"), WithZero("\tVantrel Pass\tTEXT\tBITMAP"));

    std::vector<WORD> many;
    for (WORD format = 0x300; format < 0x300 + 150; ++format) {
        many.push_back(format);
    }
    CFormatsItem crowded(many);
    crowded.Create("Crowded");
    topic.AddItem(&crowded);
    const std::string names = partner.Request(conv, "Formats").value_or("");
    EXPECT_EQ(std::count(names.begin(), names.end(), '\t'),
              CDDESystemItem_FormatList::kMaxFormats - 1);

    EXPECT_EQ(FormatName(12), "WAVE");
    EXPECT_EQ(FormatName(0x10003), "METAFILEPICT");
    EXPECT_EQ(FormatName(registered), "Vantrel Pass");
    EXPECT_EQ(FormatName(0x0200), "");
}

TEST_F(DdeServerTest, ConnectionsOnlyToServedTopics) {
    EXPECT_FALSE(partner.Connect("Vantrel", "Nope"));
    EXPECT_EQ(server->TakeLines(), (Lines{"Callback 1062H"}));
    EXPECT_EQ(server->others, (std::vector<UINT>{XTYP_CONNECT}));
    EXPECT_TRUE(server->m_conversations.IsEmpty());
}

TEST_F(DdeServerTest, PokesFromTheOtherProgramAreStoredAndAdvised) {
    CDDETopic topic;
    CCountingItem value;
    Serve(topic, "Data", value, "Value");
    const HCONV conv = ConnectPartner("Data");
    ASSERT_TRUE(partner.StartAdvise(conv, "Value"));

    EXPECT_TRUE(partner.Poke(conv, "Value", WithZero("abc")));
    EXPECT_STREQ(value.GetData(), "abc");
    EXPECT_EQ(value.pokes, 1);
    const auto advised = partner.CallsOf(XTYP_ADVDATA);
    ASSERT_EQ(advised.size(), 1u);
    EXPECT_EQ(advised[0].data, WithZero("abc"));

    // The server's own conversation pokes without announcing it.
    CDDEConv* const own = new CDDEConv(server.get());
    ASSERT_TRUE(own->Connect("Vantrel", "Data"));
    EXPECT_TRUE(own->Poke(CF_TEXT, "Value", "xyz", 4));
    EXPECT_STREQ(value.GetData(), "xyz");
    EXPECT_EQ(partner.CallsOf(XTYP_ADVDATA).size(), 1u);
    own->Disconnect();

    server->TakeLines();
    EXPECT_FALSE(partner.Poke(conv, "Nope", WithZero("1")));
    EXPECT_EQ(server->TakeLines(), (Lines{"Callback 4090H", "Poke Data|Nope failed"}));
    // Another format for a text item is the partner's choice, not our fault.
    EXPECT_FALSE(partner.Poke(conv, "Value", WithZero("1"), 2));
    EXPECT_FALSE(partner.Request(conv, "Value", 2));
    EXPECT_EQ(server->TakeLines(),
              (Lines{"Callback 4090H", "Poke Data|Value failed", "Callback 20B0H",
                     "Request Data|Value", "Request Data|Value failed"}));
    EXPECT_STREQ(value.GetData(), "xyz");
    EXPECT_TRUE(diagnostics.assertions.empty());
}

TEST_F(DdeServerTest, SetDataAdvisesTheTopicTheItemWasAddedToLast) {
    CDDETopic first, second;
    first.Create("First");
    second.Create("Second");
    server->AddTopic(&first);
    server->AddTopic(&second);
    CDDEStringItem shared;
    shared.Create("Shared");
    CDDEItem plain;
    plain.Create("Plain");
    first.AddItem(&shared);
    first.AddItem(&plain);
    second.AddItem(&shared);
    const HCONV toFirst = ConnectPartner("First");
    const HCONV toSecond = ConnectPartner("Second");
    ASSERT_TRUE(partner.StartAdvise(toFirst, "Shared"));
    ASSERT_TRUE(partner.StartAdvise(toSecond, "Shared"));
    EXPECT_FALSE(partner.StartAdvise(toFirst, "Plain"));
    EXPECT_EQ(server->TakeLines().back(), "Can't advise on First|Plain");

    shared.SetData("new");
    const auto advised = partner.CallsOf(XTYP_ADVDATA);
    ASSERT_EQ(advised.size(), 1u);
    EXPECT_EQ(advised[0].conv, toSecond);
    EXPECT_EQ(advised[0].data, WithZero("new"));
    EXPECT_EQ(server->TakeLines(), (Lines{"Callback 2022H", "Request Second|Shared"}));
    // Announcing a change leaves no string handles behind.
    EXPECT_FALSE(DdeFreeStringHandle(server->m_instance, partner.Hsz("Shared")));

    // After Stop a change is only stored.
    server->Stop();
    shared.SetData("later");
    EXPECT_STREQ(shared.GetData(), "later");
    EXPECT_TRUE(diagnostics.assertions.empty());
}

TEST_F(DdeServerTest, ExecuteIsAcknowledgedOnlyWhenTheTopicRunsIt) {
    const HCONV system = ConnectPartner("System");
    EXPECT_FALSE(partner.Execute(system, WithZero("[go]")));
    EXPECT_EQ(server->TakeLines(), (Lines{"Callback 4050H", "Exec", "Exec failed"}));

    CCommandTopic commands;
    commands.Create("Commands");
    server->AddTopic(&commands);
    const HCONV conv = ConnectPartner("Commands");
    EXPECT_TRUE(partner.Execute(conv, WithZero("[go]")));
    EXPECT_EQ(commands.command, WithZero("[go]"));
    EXPECT_EQ(server->TakeLines(), (Lines{"Callback 4050H", "Exec"}));
}

TEST_F(DdeServerTest, WildConnectOffersServiceAndTopicPairs) {
    CDDETopic topic;
    topic.Create("Weather");
    server->AddTopic(&topic);

    const auto pairs = [](HDDEDATA hData) {
        const std::string bytes = DdePartner::Bytes(hData);
        std::vector<HSZPAIR> table(bytes.size() / sizeof(HSZPAIR));
        std::memcpy(table.data(), bytes.data(), table.size() * sizeof(HSZPAIR));
        EXPECT_EQ(bytes.size() % sizeof(HSZPAIR), 0u);
        DdeFreeDataHandle(hData);
        return table;
    };
    const auto all = pairs(server->AnswerWildConnect(nullptr));
    ASSERT_EQ(all.size(), 3u);  // two topics and the null pair
    EXPECT_EQ(partner.Text(all[0].hszSvc), "Vantrel");
    EXPECT_EQ(partner.Text(all[0].hszTopic), "System");
    EXPECT_EQ(partner.Text(all[1].hszSvc), "Vantrel");
    EXPECT_EQ(partner.Text(all[1].hszTopic), "Weather");
    EXPECT_FALSE(all[2].hszSvc || all[2].hszTopic);

    const HSZ weather = partner.Hsz("Weather");
    const auto one = pairs(server->AnswerWildConnect(weather));
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[0].hszSvc, server->m_hszService.GetHandle());
    EXPECT_EQ(one[0].hszTopic, weather);
    EXPECT_FALSE(one[1].hszSvc || one[1].hszTopic);
    server->TakeLines();
    EXPECT_FALSE(server->AnswerWildConnect(partner.Hsz("Nope")));
    EXPECT_EQ(server->TakeLines(), (Lines{"Wild connect to Nope refused"}));

    // Through the library: any service, or ours, connects; another does not.
    const HCONV conv = DdeConnect(partner.Id(), nullptr, weather, nullptr);
    ASSERT_TRUE(conv);
    EXPECT_EQ(server->TakeLines(), (Lines{"Callback 20E2H", "Wild connect to Weather",
                                          "Callback 8072H", "Connect to Weather"}));
    EXPECT_TRUE(DdeConnect(partner.Id(), partner.Hsz("VANTREL"), nullptr, nullptr));
    EXPECT_FALSE(DdeConnect(partner.Id(), partner.Hsz("Other"), nullptr, nullptr));
    EXPECT_EQ(server->TakeLines().back(), "Callback 20E2H");
}

TEST_F(DdeServerTest, OnlyOneServerPerProcessRun) {
    CTestServer second;
    DWORD instance = 99;
    EXPECT_FALSE(second.Create("Other", 0, &instance));
    EXPECT_EQ(diagnostics.traces, (std::vector<std::string>{"Already got a server!\n"}));
    EXPECT_EQ(diagnostics.assertions.size(), 1u);
    EXPECT_EQ(instance, 99u);
    EXPECT_FALSE(second.m_running);
    EXPECT_EQ(g_ddeServer, server.get());
    EXPECT_TRUE(server->m_running);
    EXPECT_EQ(server->GetLastDdeError(), DMLERR_NO_ERROR);
}
