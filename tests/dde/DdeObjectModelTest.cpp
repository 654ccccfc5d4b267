#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/core/MyConv.h"
#include "dde/stddde.h"
#include "tests/platform/DdePartner.h"
#include "tests/support/Diagnostics.h"

namespace {

class CTrackedObject : public CDDECountedObject {
public:
    explicit CTrackedObject(bool& destroyed) : m_destroyed(destroyed) {}
    ~CTrackedObject() override { m_destroyed = true; }

private:
    bool& m_destroyed;
};

std::string RequestText(CDDEItem& item, UINT format = CF_TEXT) {
    const void* data = nullptr;
    DWORD size = 0;
    if (!item.Request(format, &data, &size)) {
        return "<refused>";
    }
    return std::string(static_cast<const char*>(data), size);
}

}  // namespace

TEST(DdeObjectModel, EveryClassCanBeMadeFromItsRecord) {
    const CRuntimeClass* const classes[] = {RUNTIME_CLASS(CDDECountedObject),
                                            RUNTIME_CLASS(CDDEConv),
                                            RUNTIME_CLASS(CMyConv),
                                            RUNTIME_CLASS(CHSZ),
                                            RUNTIME_CLASS(CDDEItem),
                                            RUNTIME_CLASS(CDDEStringItem),
                                            RUNTIME_CLASS(CDDESystemItem),
                                            RUNTIME_CLASS(CDDESystemItem_TopicList),
                                            RUNTIME_CLASS(CDDESystemItem_ItemList),
                                            RUNTIME_CLASS(CDDESystemItem_FormatList),
                                            RUNTIME_CLASS(CDDETopic),
                                            RUNTIME_CLASS(CDDEServerSystemTopic),
                                            RUNTIME_CLASS(CDDEServer),
                                            RUNTIME_CLASS(CDDEItemList),
                                            RUNTIME_CLASS(CDDETopicList),
                                            RUNTIME_CLASS(CDDEConvList)};
    for (const CRuntimeClass* cls : classes) {
        const std::unique_ptr<CObject> made = cls->CreateObject();
        ASSERT_NE(made, nullptr) << cls->m_lpszClassName;
        EXPECT_EQ(made->GetRuntimeClass(), cls);
    }
    const CMyConv conv(nullptr, 42);
    EXPECT_STREQ(conv.GetRuntimeClass()->m_lpszClassName, "CMyConv");
    EXPECT_TRUE(conv.IsKindOf(RUNTIME_CLASS(CDDECountedObject)));
    EXPECT_TRUE(CDDEConvList().IsKindOf(RUNTIME_CLASS(CObList)));
    EXPECT_EQ(conv.m_context, 42u);
}

TEST(DdeObjectModel, CountedObjectsDestroyThemselvesAtZero) {
    const CapturedDiagnostics diagnostics;
    bool destroyed = false;
    auto* const object = new CTrackedObject(destroyed);
    EXPECT_EQ(object->m_refCount, 0);
    EXPECT_EQ(object->AddRef(), 1);
    EXPECT_EQ(object->AddRef(), 2);
    EXPECT_EQ(object->Release(), 1);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(object->Release(), 0);
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(diagnostics.assertions.empty());

    bool kept = false;
    CTrackedObject overused(kept);
    overused.m_refCount = 1000;
    overused.AddRef();
    EXPECT_EQ(diagnostics.assertions.size(), 1u);
    overused.m_refCount = 0;
    EXPECT_EQ(overused.Release(), -1);
    EXPECT_EQ(diagnostics.assertions.size(), 2u);
    EXPECT_FALSE(kept);
    overused.m_refCount = 0;
}

TEST(DdeObjectModel, StringHandlesAreMadeUnderTheServersInstanceAndFreed) {
    const DdePartner partner;
    CDDEServer holder;
    holder.m_instance = partner.Id();
    HSZ first;
    {
        CHSZ hsz(&holder, "Alpha");
        first = hsz.GetHandle();
        EXPECT_EQ(hsz.m_instance, partner.Id());
        EXPECT_EQ(partner.Text(first), "Alpha");
        hsz.Create(&holder, "Beta");
        EXPECT_EQ(partner.Text(hsz.GetHandle()), "Beta");
        EXPECT_EQ(partner.Text(first), "");  // released by the second Create
    }
    const HSZ beta = partner.Hsz("Beta");
    EXPECT_TRUE(DdeFreeStringHandle(partner.Id(), beta));
    EXPECT_FALSE(DdeFreeStringHandle(partner.Id(), beta));  // the CHSZ let go of its own

    const CapturedDiagnostics diagnostics;
    const CHSZ empty(&holder, "");
    EXPECT_FALSE(empty.GetHandle());
    EXPECT_EQ(diagnostics.assertions.size(), 1u);
}

TEST(DdeObjectModel, StringItemsHoldTextAndOfferOnlyText) {
    CDDEStringItem item;
    item.SetData("abc");
    EXPECT_EQ(RequestText(item), std::string("abc\0", 4));
    EXPECT_TRUE(item.IsSupportedFormat(CF_TEXT));
    EXPECT_TRUE(item.IsSupportedFormat(0x10000 | CF_TEXT));
    EXPECT_FALSE(item.IsSupportedFormat(2));
    EXPECT_TRUE(item.CanAdvise(CF_TEXT));
    EXPECT_EQ(RequestText(item, 2), "<refused>");

    EXPECT_TRUE(item.Poke(CF_TEXT, "xy\0zz", 5));
    EXPECT_STREQ(item.GetData(), "xy");
    EXPECT_TRUE(item.Poke(CF_TEXT, "hello", 3));  // no zero within the size
    EXPECT_STREQ(item.GetData(), "hel");
    EXPECT_FALSE(item.Poke(2, "x", 2));
    EXPECT_STREQ(item.GetData(), "hel");

    CDDEItem plain;
    EXPECT_EQ(plain.GetFormatList(), nullptr);
    EXPECT_FALSE(plain.IsSupportedFormat(CF_TEXT));
    EXPECT_FALSE(plain.CanAdvise(CF_TEXT));
    EXPECT_EQ(RequestText(plain), "<refused>");
    EXPECT_FALSE(plain.Poke(CF_TEXT, "x", 2));
}

TEST(DdeObjectModel, TopicsFindTheirItemsByName) {
    CDDETopic topic;
    topic.Create("Topic");
    CDDEStringItem value;
    value.Create("Value");
    value.SetData("v");  // no topic yet: nothing to announce
    EXPECT_TRUE(topic.AddItem(&value));
    EXPECT_TRUE(topic.AddItem(&value));
    EXPECT_EQ(topic.m_items.GetCount(), 1);
    EXPECT_EQ(value.m_topic, &topic);

    EXPECT_EQ(topic.FindItem("Value"), &value);
    EXPECT_EQ(topic.FindItem("value"), nullptr);
    const void* data = nullptr;
    DWORD size = 0;
    EXPECT_FALSE(topic.Request(CF_TEXT, "Missing", &data, &size));
    EXPECT_FALSE(topic.Poke(CF_TEXT, "Missing", "w", 2));
    EXPECT_FALSE(topic.CanAdvise(CF_TEXT, "Missing"));
    EXPECT_FALSE(topic.Execute("x", 2));
}
