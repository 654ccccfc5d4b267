#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/MyConv.h"
#include "dde/stddde.h"
#include "framework/StringFormat.h"
#include "platform/ddeml/DdemlDiagnostics.h"
#include "tests/platform/DdePartner.h"
#include "tests/support/Diagnostics.h"

using Lines = std::vector<std::string>;

// A server that keeps its status lines and what it leaves to OnOtherTransaction.
class CTestServer : public CDDEServer {
public:
    __attribute__((format(printf, 2, 3))) void LogStatus(const char* szFormat, ...) override {
        va_list args;
        va_start(args, szFormat);
        lines.push_back(StringPrintfV(szFormat, args));
        va_end(args);
    }
    HDDEDATA OnOtherTransaction(UINT wType, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR,
                                ULONG_PTR) override {
        others.push_back(wType);
        return nullptr;
    }

    Lines TakeLines() { return std::exchange(lines, {}); }

    Lines lines;
    std::vector<UINT> others;
};

// Made before a test's server, this forgets it as the process's one afterwards.
struct ServerSlotReset {
    ServerSlotReset() = default;
    ~ServerSlotReset() { g_ddeServer = nullptr; }
    ServerSlotReset(const ServerSlotReset&) = delete;
    ServerSlotReset& operator=(const ServerSlotReset&) = delete;
};

// A conversation that says when it is destroyed.
class CTrackedConv : public CMyConv {
public:
    CTrackedConv(CDDEServer* pServer, bool& destroyed)
        : CMyConv(pServer, 1), m_destroyed(destroyed) {}

protected:
    ~CTrackedConv() override { m_destroyed = true; }

private:
    bool& m_destroyed;
};

// An item with a string value that counts the pokes it took.
class CCountingItem : public CDDEStringItem {
public:
    void OnPoke() override { ++pokes; }
    int pokes = 0;
};

// An item offering the formats given, the list's ending 0 included.
class CFormatsItem : public CDDEItem {
public:
    explicit CFormatsItem(std::vector<WORD> formats) : m_formats(std::move(formats)) {}
    const WORD* GetFormatList() override { return m_formats.data(); }
    std::vector<WORD> m_formats;
};

// A running server "Vantrel" and a partner instance playing the other program.
class DdeServerTest : public ::testing::Test {
protected:
    DdeServerTest() { EXPECT_TRUE(server->Create("Vantrel")); }

    // The partner's conversation with the server on `topic`.
    HCONV ConnectPartner(const char* topic) {
        const HCONV conv = partner.Connect("Vantrel", topic);
        EXPECT_TRUE(conv) << topic;
        server->TakeLines();
        return conv;
    }

    // Serves `topic` with `item` in it.
    void Serve(CDDETopic& topic, const char* name, CDDEItem& item, const char* itemName) {
        topic.Create(name);
        item.Create(itemName);
        topic.AddItem(&item);
        server->AddTopic(&topic);
    }

    CapturedDiagnostics diagnostics;
    ServerSlotReset reset;
    std::unique_ptr<CTestServer> server = std::make_unique<CTestServer>();
    DdePartner partner;
};

// One reference to a counted object for the length of a scope.
template <class T>
class Held {
public:
    explicit Held(T* object) : m_object(object) { m_object->AddRef(); }
    ~Held() { m_object->Release(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

    T* operator->() const { return m_object; }
    T* get() const { return m_object; }

private:
    T* m_object;
};

// A text with its terminating zero, as DDE answers carry it.
inline std::string WithZero(const std::string& text) {
    return text + '\0';
}
