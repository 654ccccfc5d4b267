#pragma once

// A Dynamic Data Exchange library: a server with topics, items and the
// standard "System" topic, and client conversations, all through one DDE
// instance of the process. Failures come back as FALSE; what happens is
// told through the server's overridable LogStatus.

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "framework/Object.h"
#include "framework/ObjectList.h"
#include "platform/ddeml/ClipboardFormats.h"
#include "platform/ddeml/Ddeml.h"

class CDDEServer;
class CDDETopic;
class CDDEItem;
class CDDEConv;

class CDDEItemList : public CTypedObList<CDDEItem> {
    DECLARE_DYNCREATE(CDDEItemList)
};

class CDDETopicList : public CTypedObList<CDDETopic> {
    DECLARE_DYNCREATE(CDDETopicList)
};

class CDDEConvList : public CTypedObList<CDDEConv> {
    DECLARE_DYNCREATE(CDDEConvList)
};

// An object shared by reference count; it deletes itself when the last
// holder lets go. So that it can only live on the heap, its destructor is
// protected, in every derived class too, and objects are made by New.
class CDDECountedObject : public CObject {
    DECLARE_DYNCREATE_SHARED(CDDECountedObject)

public:
    CDDECountedObject() = default;
    CDDECountedObject(const CDDECountedObject&) = delete;
    CDDECountedObject& operator=(const CDDECountedObject&) = delete;

    // A new object held by no one yet (count 0).
    template <class T, class... Args>
    static T* New(Args&&... args) {
        static_assert(std::is_base_of_v<CDDECountedObject, T>);
        static_assert(!std::is_destructible_v<T>, "a counted class keeps its destructor protected");
        return new T(std::forward<Args>(args)...);
    }

    std::int32_t AddRef();
    // At 0 the object is destroyed before this returns.
    std::int32_t Release();

    std::int32_t m_refCount = 0;

protected:
    ~CDDECountedObject() override;
};

// A DDE string handle made under the server's instance and freed with it.
class CHSZ : public CObject {
    DECLARE_DYNCREATE(CHSZ)

public:
    CHSZ() = default;
    CHSZ(CDDEServer* pServer, const char* szName);
    ~CHSZ() override;
    CHSZ(const CHSZ&) = delete;
    CHSZ& operator=(const CHSZ&) = delete;

    // FALSE, with no handle, for a name no handle can carry.
    BOOL Create(CDDEServer* pServer, const char* szName);
    HSZ GetHandle() const { return m_hsz; }

    HSZ m_hsz = nullptr;
    DWORD m_instance = 0;

private:
    void Free();
};

// A named item of a topic. The base item offers no formats and refuses
// everything.
class CDDEItem : public CObject {
    DECLARE_DYNCREATE(CDDEItem)

public:
    CDDEItem() = default;
    // Leaves the list of the topic it was last added to.
    ~CDDEItem() override;
    CDDEItem(const CDDEItem&) = delete;
    CDDEItem& operator=(const CDDEItem&) = delete;

    virtual BOOL Request(UINT wFmt, const void** ppData, DWORD* pdwSize);
    virtual BOOL Poke(UINT wFmt, const void* pData, DWORD dwSize);
    virtual BOOL IsSupportedFormat(UINT wFmt);
    // The formats offered, ended by 0; null for none.
    virtual const WORD* GetFormatList();
    virtual BOOL CanAdvise(UINT wFmt);

    // FALSE for a name no string handle can carry; the name stays as it was.
    BOOL Create(const char* szName);
    // Tells advise links that the value changed (through the item's topic).
    void NotifyChange();

    std::string m_name;
    // The topic the item was last added to; not owned. The topic clears it
    // when it goes.
    CDDETopic* m_topic = nullptr;
};

// An item whose value is a text, offered as CF_TEXT.
class CDDEStringItem : public CDDEItem {
    DECLARE_DYNCREATE(CDDEStringItem)

public:
    BOOL Request(UINT wFmt, const void** ppData, DWORD* pdwSize) override;
    BOOL Poke(UINT wFmt, const void* pData, DWORD dwSize) override;
    const WORD* GetFormatList() override;

    // Called after a poke has stored a new value.
    virtual void OnPoke();
    virtual void SetData(const char* szData);
    virtual const char* GetData();

    std::string m_value;
};

// Base of the items of the "System" topic: text only, refuses requests and
// pokes of its own.
class CDDESystemItem : public CDDEItem {
    DECLARE_DYNCREATE(CDDESystemItem)

public:
    BOOL Request(UINT wFmt, const void** ppData, DWORD* pdwSize) override;
    BOOL Poke(UINT wFmt, const void* pData, DWORD dwSize) override;
    const WORD* GetFormatList() override;
};

// "Topics": the names of the server's topics.
class CDDESystemItem_TopicList : public CDDESystemItem {
    DECLARE_DYNCREATE(CDDESystemItem_TopicList)

public:
    BOOL Request(UINT wFmt, const void** ppData, DWORD* pdwSize) override;
};

// "SysItems" and "TopicItemList": the names of the items of the item's topic.
class CDDESystemItem_ItemList : public CDDESystemItem {
    DECLARE_DYNCREATE(CDDESystemItem_ItemList)

public:
    BOOL Request(UINT wFmt, const void** ppData, DWORD* pdwSize) override;
};

// "Formats": the names of the formats the items of the item's topic offer.
class CDDESystemItem_FormatList : public CDDESystemItem {
    DECLARE_DYNCREATE(CDDESystemItem_FormatList)

public:
    // How many distinct formats one answer can name.
    static constexpr int kMaxFormats = 100;

    BOOL Request(UINT wFmt, const void** ppData, DWORD* pdwSize) override;
};

// A named topic with its items (referred to, not owned).
class CDDETopic : public CObject {
    DECLARE_DYNCREATE(CDDETopic)

public:
    CDDETopic() = default;
    // Leaves its server's list and lets go of its items.
    ~CDDETopic() override;
    CDDETopic(const CDDETopic&) = delete;
    CDDETopic& operator=(const CDDETopic&) = delete;

    virtual BOOL Request(UINT wFmt, const char* szItem, const void** ppData, DWORD* pdwSize);
    virtual BOOL Poke(UINT wFmt, const char* szItem, const void* pData, DWORD dwSize);
    virtual BOOL Execute(const void* pData, DWORD dwSize);
    virtual CDDEItem* FindItem(const char* szItem);
    virtual BOOL CanAdvise(UINT wFmt, const char* szItem);

    // FALSE for a name no string handle can carry; the name stays as it was.
    BOOL Create(const char* szName);
    BOOL AddItem(CDDEItem* pItem);
    // Nothing to announce while the topic is served by no server.
    void PostAdvise(CDDEItem* pItem);

    std::string m_name;
    // The server the topic was added to; not owned. The server clears it
    // when it goes.
    CDDEServer* m_server = nullptr;
    CDDEItemList m_items;
};

// The "System" topic: logs each request before answering it.
class CDDEServerSystemTopic : public CDDETopic {
    DECLARE_DYNCREATE(CDDEServerSystemTopic)

public:
    BOOL Request(UINT wFmt, const char* szItem, const void** ppData, DWORD* pdwSize) override;
};

// One conversation, shared by reference count: the server's list holds one
// reference while it is connected. Destroying it ends it first.
class CDDEConv : public CDDECountedObject {
    DECLARE_DYNCREATE_SHARED(CDDEConv)

public:
    CDDEConv() = default;
    explicit CDDEConv(CDDEServer* pServer);
    CDDEConv(CDDEServer* pServer, HCONV hConv, HSZ hszTopic);

    virtual BOOL Connect(const char* szService, const char* szTopic);
    // TRUE when a connected conversation was ended. The server's list lets
    // go of it, which destroys it unless someone else holds a reference.
    virtual BOOL Disconnect();
    // Data arriving on an advise link; TRUE accepts it.
    virtual BOOL OnAdviseData(UINT wFmt, const char* szTopic, const char* szItem, const void* pData,
                              DWORD dwSize);
    // On success `*ppData` is a block of `*pdwSize` bytes from malloc that
    // the caller frees with free().
    virtual BOOL Request(const char* szItem, void** ppData, DWORD* pdwSize);
    virtual BOOL StartAdvise(const char* szItem);
    // Sends the command with its terminating zero.
    virtual BOOL Execute(const char* szCommand);
    virtual BOOL Poke(UINT wFmt, const char* szItem, const void* pData, DWORD dwSize);

    // The server (and DDE instance) the conversation runs through; not owned.
    CDDEServer* m_server = nullptr;
    HCONV m_hConv = nullptr;
    // The topic a partner connected to; the library's, never freed here.
    HSZ m_hszTopic = nullptr;

protected:
    ~CDDEConv() override;

private:
    HDDEDATA Transact(const BYTE* pData, DWORD dwSize, const char* szItem, UINT wFmt, UINT wType);
};

// The server and the process's one DDE instance: it registers the service,
// owns the "System" topic and its items, lists the topics and open
// conversations, and answers every transaction through ServerCallback.
class CDDEServer : public CObject {
    DECLARE_DYNCREATE(CDDEServer)

public:
    // "System" with its items is the first topic from the start, so no topic
    // added before Create can come ahead of it.
    CDDEServer();
    // Its topics no longer refer to it, nor list its items, afterwards.
    ~CDDEServer() override;
    CDDEServer(const CDDEServer&) = delete;
    CDDEServer& operator=(const CDDEServer&) = delete;

    virtual BOOL OnCreate();
    virtual UINT GetLastDdeError();
    // Answers every transaction the callback does not answer itself.
    virtual HDDEDATA OnOtherTransaction(UINT wType, UINT wFmt, HCONV hConv, HSZ hsz1, HSZ hsz2,
                                        HDDEDATA hData, ULONG_PTR dwData1, ULONG_PTR dwData2);
    virtual BOOL Request(UINT wFmt, const char* szTopic, const char* szItem, const void** ppData,
                         DWORD* pdwSize);
    virtual BOOL Poke(UINT wFmt, const char* szTopic, const char* szItem, const void* pData,
                      DWORD dwSize);
    virtual BOOL OnAdviseData(UINT wFmt, HCONV hConv, const char* szTopic, const char* szItem,
                              const void* pData, DWORD dwSize);
    virtual BOOL Execute(const char* szTopic, const void* pData, DWORD dwSize);
    // A status line; the server itself discards it.
    virtual void LogStatus(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
    virtual BOOL AddTopic(CDDETopic* pTopic);
    virtual BOOL CanAdvise(UINT wFmt, const char* szTopic, const char* szItem);

    // Only one server per process run can be created (`dwFlags` is unused).
    BOOL Create(const char* szServiceName, DWORD dwFlags = 0, DWORD* pidInst = nullptr);
    void Stop();

    CDDETopic* FindTopic(const char* szTopic);
    // Takes a topic out of the list; "System" stays.
    void RemoveTopic(CDDETopic* pTopic);
    CDDEConv* FindConversation(HCONV hConv);
    CDDEConv* AddConversation(HCONV hConv, HSZ hszTopic);
    CDDEConv* AddConversation(CDDEConv* pConv);
    BOOL RemoveConversation(HCONV hConv);
    void PostAdvise(CDDETopic* pTopic, CDDEItem* pItem);
    std::string StringFromHandle(HSZ hsz);

    // TRUE when `*phResult` holds the answer to the transaction.
    BOOL DispatchTransaction(UINT wType, UINT wFmt, HCONV hConv, HSZ hszTopic, HSZ hszItem,
                             HDDEDATA hData, HDDEDATA* phResult);
    // The {service, topic} pairs offered to a wild connect, or null.
    HDDEDATA AnswerWildConnect(HSZ hszTopic);

    DWORD m_instance = 0;
    CDDETopicList m_topics;
    BOOL m_running = FALSE;
    std::string m_serviceName;
    CHSZ m_hszService;
    CDDEConvList m_conversations;
    CDDEServerSystemTopic m_systemTopic;
    CDDESystemItem_TopicList m_topicsItem;
    CDDESystemItem_ItemList m_sysItemsItem;
    CDDESystemItem_ItemList m_topicItemListItem;
    CDDESystemItem_FormatList m_formatsItem;

private:
    void Unbind(CDDETopic* pTopic);
    BOOL DispatchExecute(const std::string& topic, HDDEDATA hData, HDDEDATA* phResult);
    BOOL DispatchPoke(UINT wFmt, HCONV hConv, HSZ hszTopic, HSZ hszItem, const std::string& topic,
                      const std::string& item, HDDEDATA hData, HDDEDATA* phResult);
    BOOL DispatchAdviseData(UINT wFmt, HCONV hConv, const std::string& topic,
                            const std::string& item, HDDEDATA hData, HDDEDATA* phResult);
    BOOL DispatchRequest(UINT wFmt, HSZ hszItem, const std::string& topic, const std::string& item,
                         HDDEDATA* phResult);
};

// The server that owns the process's DDE instance; set by the first Create
// and never cleared.
extern CDDEServer* g_ddeServer;

// The DDE callback of the server's instance.
HDDEDATA ServerCallback(UINT wType, UINT wFmt, HCONV hConv, HSZ hsz1, HSZ hsz2, HDDEDATA hData,
                        ULONG_PTR dwData1, ULONG_PTR dwData2);

// The name of a clipboard format: a standard one, a registered one, or "".
std::string FormatName(UINT wFmt);
