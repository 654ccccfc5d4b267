#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "app/MyConv.h"
#include "dde/NamedList.h"
#include "tests/dde/DdeTestServer.h"

namespace {

// Counted objects can only be destroyed by letting go of them.
static_assert(!std::is_destructible_v<CDDECountedObject>);
static_assert(!std::is_destructible_v<CDDEConv>);
static_assert(!std::is_destructible_v<CMyConv>);

std::string Answer(CDDETopic& topic, const char* item) {
    const void* data = nullptr;
    DWORD size = 0;
    if (!topic.Request(CF_TEXT, item, &data, &size)) {
        return "<refused>";
    }
    return std::string(static_cast<const char*>(data), size);
}

}  // namespace

TEST(DdeCountedObject, CountsHoldersAndDestroysItselfWhenTheLastLetsGo) {
    CapturedDiagnostics diagnostics;
    bool destroyed = false;
    auto* const object = CDDECountedObject::New<CTrackedConv>(nullptr, destroyed);
    EXPECT_EQ(object->AddRef(), 1);
    EXPECT_EQ(object->AddRef(), 2);
    EXPECT_EQ(object->Release(), 1);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(object->Release(), 0);
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(diagnostics.assertions.empty());

    destroyed = false;
    auto* const misused = CDDECountedObject::New<CTrackedConv>(nullptr, destroyed);
    EXPECT_EQ(misused->Release(), -1);  // one release too many is asserted, not a deletion
    EXPECT_EQ(diagnostics.assertions.size(), 1u);
    EXPECT_FALSE(destroyed);
    misused->m_refCount = 1;
    misused->Release();
}

TEST(DdeRuntimeClass, CountedClassesAreMadeUnheldTheOthersOwned) {
    struct Case {
        const CRuntimeClass* record;
        const char* name;
        const CRuntimeClass* base;
        bool counted;
    };
    const Case cases[] = {
        {RUNTIME_CLASS(CDDECountedObject), "CDDECountedObject", RUNTIME_CLASS(CObject), true},
        {RUNTIME_CLASS(CDDEConv), "CDDEConv", RUNTIME_CLASS(CDDECountedObject), true},
        {RUNTIME_CLASS(CMyConv), "CMyConv", RUNTIME_CLASS(CDDEConv), true},
        {RUNTIME_CLASS(CDDEStringItem), "CDDEStringItem", RUNTIME_CLASS(CDDEItem), false},
        {RUNTIME_CLASS(CDDEServerSystemTopic), "CDDEServerSystemTopic", RUNTIME_CLASS(CDDETopic),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(c.record->m_lpszClassName, c.name);
        EXPECT_EQ(c.record->m_pBaseClass, c.base);
        if (c.counted) {
            EXPECT_EQ(c.record->CreateObject(), nullptr);
            auto* const made = static_cast<CDDECountedObject*>(c.record->CreateSharedObject());
            ASSERT_NE(made, nullptr);
            EXPECT_EQ(made->GetRuntimeClass(), c.record);
            made->AddRef();
            EXPECT_EQ(made->Release(), 0);  // the only holder: AddressSanitizer sees any other
        } else {
            EXPECT_EQ(c.record->CreateSharedObject(), nullptr);
            EXPECT_EQ(c.record->CreateObject()->GetRuntimeClass(), c.record);
        }
    }
}

TEST(DdeItem, FormatsAreComparedOnTheirLow16BitsUpToTheEndOfTheList) {
    CDDEItem plain;
    CDDEStringItem text;
    CFormatsItem image({2, 0x0200, 0, CF_TEXT});  // what follows the 0 is not offered
    const void* data = nullptr;
    DWORD size = 0;
    EXPECT_FALSE(plain.Request(CF_TEXT, &data, &size));
    EXPECT_FALSE(plain.Poke(CF_TEXT, "1", 2));
    struct Case {
        CDDEItem* item;
        UINT format;
        BOOL supported;
    };
    const Case cases[] = {{&plain, CF_TEXT, FALSE}, {&text, CF_TEXT, TRUE},
                          {&text, 0x10001, TRUE},   {&text, 2, FALSE},
                          {&image, 0x0200, TRUE},   {&image, CF_TEXT, FALSE},
                          {&image, 0x0201, FALSE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.item->GetRuntimeClass()->m_lpszClassName << " " << std::hex << c.format);
        EXPECT_EQ(c.item->IsSupportedFormat(c.format), c.supported);
        EXPECT_EQ(c.item->CanAdvise(c.format), c.supported);
    }
}

TEST(DdeStringItem, AnswersItsTextAndTakesPokesUpToTheirFirstZero) {
    CapturedDiagnostics diagnostics;
    CCountingItem item;
    item.SetData("abc");
    EXPECT_FALSE(item.Request(CF_TEXT, nullptr, nullptr));
    struct Case {
        UINT format;
        std::string bytes;
        BOOL accepted;
        const char* value;
    };
    const Case cases[] = {{CF_TEXT, std::string("xy\0z", 4), TRUE, "xy"},
                          {CF_TEXT, "abc", TRUE, "abc"},  // no zero: the size ends it
                          {2, WithZero("bitmap"), FALSE, "abc"}};
    int pokes = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(item.Poke(c.format, c.bytes.data(), static_cast<DWORD>(c.bytes.size())),
                  c.accepted);
        pokes += c.accepted ? 1 : 0;
        EXPECT_EQ(item.m_value, c.value);
        EXPECT_EQ(item.pokes, pokes);
    }
    EXPECT_FALSE(item.Poke(CF_TEXT, nullptr, 0));
    item.SetData(nullptr);
    EXPECT_STREQ(item.GetData(), "abc");
    EXPECT_EQ(item.pokes, pokes);  // only pokes call OnPoke
    EXPECT_EQ(diagnostics.traces, (Lines{"CDDEStringItem::Request: null argument\n",
                                         "CDDEStringItem::Poke: null argument\n",
                                         "CDDEStringItem::SetData: null argument\n"}));
    EXPECT_TRUE(diagnostics.assertions.empty());
}

TEST(DdeTopic, FindsItsItemsByExactNameAndKeepsEachOnce) {
    CapturedDiagnostics diagnostics;
    CDDEStringItem value;  // in two topics: it must outlive both
    CDDETopic topic, other;
    ASSERT_TRUE(topic.Create("Data"));
    ASSERT_TRUE(value.Create("Value"));
    EXPECT_TRUE(topic.AddItem(&value));
    EXPECT_TRUE(topic.AddItem(&value));
    EXPECT_EQ(NamesOf(topic.m_items), "Value");
    EXPECT_FALSE(topic.AddItem(nullptr));
    EXPECT_EQ(topic.FindItem("Value"), &value);
    EXPECT_EQ(topic.FindItem("VALUE"), nullptr);  // names compare with their letter case
    EXPECT_EQ(topic.FindItem("Vx"), nullptr);
    EXPECT_FALSE(topic.Execute("go", 3));
    {
        CDDEItem brief;
        brief.Create("Brief");
        topic.AddItem(&brief);
    }
    EXPECT_EQ(NamesOf(topic.m_items), "Value");  // an item that went left the list

    // An item keeps the topic it was added to last, and stays in both.
    ASSERT_TRUE(other.Create("Other"));
    other.AddItem(&value);
    EXPECT_TRUE(topic.AddItem(&value));  // already listed there: nothing changes
    EXPECT_EQ(value.m_topic, &other);
    EXPECT_EQ(topic.FindItem("Value"), &value);
    EXPECT_EQ(diagnostics.traces, Lines{"CDDETopic::AddItem: null argument\n"});
}

// Names come from callers and partners: a bad one is refused, never
// asserted. A handle carries at most 255 characters.
TEST(DdeNames, HandlesAreGivenBackAndBadNamesRefusedWithATraceLine) {
    CapturedDiagnostics diagnostics;
    const ServerSlotReset reset;
    CTestServer server;
    const std::string longest(255, 'n');
    const std::string tooLong(256, 'n');
    struct Case {
        const char* name;
        const char* why;
    };
    const Case cases[] = {{nullptr, "no name"},
                          {"", "empty name"},
                          {tooLong.c_str(), "name longer than 255 characters"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        diagnostics.traces.clear();
        EXPECT_FALSE(server.Create(c.name));
        EXPECT_EQ(g_ddeServer, nullptr);  // the one server of the process is still to come
        EXPECT_EQ(diagnostics.traces, Lines{std::string("CDDEServer::Create: ") + c.why + "\n"});
    }
    ASSERT_TRUE(server.Create(longest.c_str()));
    const DdePartner partner;
    {
        CHSZ name(&server, "First");
        ASSERT_TRUE(name.Create(&server, "Second"));
        EXPECT_EQ(partner.Text(name.GetHandle()), "Second");
        EXPECT_FALSE(DdeFreeStringHandle(server.m_instance, partner.Hsz("First")));  // given back
    }
    EXPECT_FALSE(DdeFreeStringHandle(server.m_instance, partner.Hsz("Second")));
    EXPECT_EQ(server.StringFromHandle(nullptr), "<null>");
    EXPECT_EQ(server.StringFromHandle(partner.Hsz("Mixed Case")), "Mixed Case");
    CDDETopic topic;
    CDDEStringItem item;
    ASSERT_TRUE(topic.Create("Topic"));
    ASSERT_TRUE(item.Create(longest.c_str()));
    topic.AddItem(&item);
    server.AddTopic(&topic);
    const Held<CDDEConv> conv(CDDECountedObject::New<CDDEConv>(&server));
    ASSERT_TRUE(conv->Connect(longest.c_str(), "Topic"));
    EXPECT_EQ(topic.FindItem(longest.c_str()), &item);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        diagnostics.traces.clear();
        EXPECT_FALSE(item.Create(c.name));
        EXPECT_EQ(item.m_name, longest);
        EXPECT_FALSE(topic.Create(c.name));
        EXPECT_EQ(topic.m_name, "Topic");
        EXPECT_EQ(topic.FindItem(c.name), nullptr);
        EXPECT_EQ(server.FindTopic(c.name), nullptr);
        CHSZ handle;
        EXPECT_FALSE(handle.Create(&server, c.name));
        EXPECT_FALSE(handle.GetHandle());
        const Held<CDDEConv> unconnected(CDDECountedObject::New<CDDEConv>(&server));
        EXPECT_FALSE(unconnected->Connect(c.name, "Topic"));
        EXPECT_FALSE(unconnected->Connect(longest.c_str(), c.name));
        void* data = nullptr;
        DWORD size = 0;
        EXPECT_FALSE(conv->Request(c.name, &data, &size));
        EXPECT_FALSE(conv->StartAdvise(c.name));
        EXPECT_FALSE(conv->Poke(CF_TEXT, c.name, "1", 2));
        const std::string why = std::string(": ") + c.why + "\n";
        EXPECT_EQ(diagnostics.traces,
                  (Lines{"CDDEItem::Create" + why, "CDDETopic::Create" + why,
                         "CDDETopic::FindItem" + why, "CDDEServer::FindTopic" + why,
                         "CHSZ::Create" + why, "CDDEConv::Connect" + why, "CDDEConv::Connect" + why,
                         "CHSZ::Create" + why, "CHSZ::Create" + why, "CHSZ::Create" + why}));
    }
    server.TakeLines();
    const void* answer = nullptr;
    DWORD size = 0;
    EXPECT_FALSE(server.Request(CF_TEXT, "System", nullptr, &answer, &size));
    EXPECT_TRUE(server.TakeLines().empty());
    EXPECT_TRUE(diagnostics.assertions.empty());
}

// Topics and items may live longer or shorter than the server: none keeps
// a way into an object that has gone.
TEST(DdeLifetime, TopicsAndItemsKeepNoWayIntoObjectsThatHaveGone) {
    CapturedDiagnostics diagnostics;
    const ServerSlotReset reset;
    CDDETopic early;
    CDDEStringItem value;
    CDDEStringItem inSystem;
    ASSERT_TRUE(early.Create("Early"));
    ASSERT_TRUE(value.Create("Value"));
    ASSERT_TRUE(inSystem.Create("Status"));
    early.AddItem(&value);
    auto server = std::make_unique<CTestServer>();
    EXPECT_TRUE(server->AddTopic(&early));  // before Create: still after "System"
    ASSERT_TRUE(server->Create("Vantrel"));
    server->m_systemTopic.AddItem(&inSystem);
    {
        CDDETopic brief;
        ASSERT_TRUE(brief.Create("Brief"));
        server->AddTopic(&brief);
        EXPECT_EQ(NamesOf(server->m_topics), "System\tEarly\tBrief");
    }
    EXPECT_EQ(NamesOf(server->m_topics), "System\tEarly");
    // The shared items reported on the topic that went; they now refuse.
    EXPECT_EQ(Answer(server->m_systemTopic, "TopicItemList"), "<refused>");
    EXPECT_EQ(Answer(server->m_systemTopic, "Topics"), WithZero("System\tEarly"));

    server.reset();
    EXPECT_EQ(early.m_server, nullptr);
    EXPECT_EQ(NamesOf(early.m_items), "Value");
    EXPECT_EQ(value.m_topic, &early);
    EXPECT_EQ(inSystem.m_topic, nullptr);
    value.SetData("after");
    inSystem.SetData("after");
    EXPECT_TRUE(diagnostics.assertions.empty());
}
