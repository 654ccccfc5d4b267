#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/ddeml/ClipboardFormats.h"
#include "platform/ddeml/Ddeml.h"

// A DDE instance playing the other program in a test. It records every
// callback it gets and answers through `answer` (null when unset).
class DdePartner {
public:
    struct Call {
        UINT type;
        HCONV conv;
        std::string text1;  // the string handles' texts, read during the callback
        std::string text2;
        std::optional<std::string> data;
        UINT fmt;
        ULONG_PTR data1;
        ULONG_PTR data2;
    };

    // A callback gets no context, so each live partner takes a slot of its own.
    DdePartner() : m_slot(FreeSlot()) {
        if (DdeInitializeA(&m_id, kTrampolines[m_slot], 0, 0) != 0) {
            throw std::runtime_error("no DDE instance for the partner");
        }
        s_slots[m_slot] = this;
    }
    ~DdePartner() {
        Uninitialize();
        s_slots[m_slot] = nullptr;
    }
    DdePartner(const DdePartner&) = delete;
    DdePartner& operator=(const DdePartner&) = delete;

    DWORD Id() const { return m_id; }
    // Ends the instance now, as the other program quitting would.
    void Uninitialize() {
        if (m_id != 0) {
            DdeUninitialize(std::exchange(m_id, 0));
        }
    }

    HSZ Hsz(const char* text) const { return DdeCreateStringHandleA(m_id, text, CP_WINANSI); }
    std::string Text(HSZ hsz) const {
        char buffer[256] = "";
        DdeQueryStringA(m_id, hsz, buffer, sizeof buffer, CP_WINANSI);
        return buffer;
    }
    bool Register(const char* service) const {
        return static_cast<bool>(DdeNameService(m_id, Hsz(service), nullptr, DNS_REGISTER));
    }
    HCONV Connect(const char* service, const char* topic) const {
        return DdeConnect(m_id, Hsz(service), Hsz(topic), nullptr);
    }

    // The bytes a request is answered with (the reply is freed), or nothing.
    std::optional<std::string> Request(HCONV conv, const char* item, UINT fmt = CF_TEXT) const {
        const HDDEDATA reply =
            DdeClientTransaction(nullptr, 0, conv, Hsz(item), fmt, XTYP_REQUEST, 5000, nullptr);
        if (!reply) {
            return std::nullopt;
        }
        const std::string bytes = Bytes(reply);
        DdeFreeDataHandle(reply);
        return bytes;
    }
    // Any other transaction; no bytes send no data at all.
    bool Send(HCONV conv, UINT type, const char* item, const std::string& bytes = {},
              UINT fmt = CF_TEXT) const {
        const auto* const data =
            reinterpret_cast<const BYTE*>(bytes.empty() ? nullptr : bytes.data());
        return static_cast<bool>(DdeClientTransaction(data, static_cast<DWORD>(bytes.size()), conv,
                                                      item ? Hsz(item) : nullptr, fmt, type, 5000,
                                                      nullptr));
    }

    std::vector<Call> CallsOf(UINT type) const {
        std::vector<Call> found;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                     [type](const Call& call) { return call.type == type; });
        return found;
    }
    // An answer carrying `bytes`, for the library to take over.
    HDDEDATA Data(const std::string& bytes, UINT fmt = CF_TEXT) const {
        return DdeCreateDataHandle(m_id, reinterpret_cast<const BYTE*>(bytes.data()),
                                   static_cast<DWORD>(bytes.size()), 0, nullptr, fmt, 0);
    }

    static std::string Bytes(HDDEDATA hData) {
        DWORD size = 0;
        const BYTE* const data = DdeAccessData(hData, &size);
        std::string bytes(reinterpret_cast<const char*>(data), size);
        DdeUnaccessData(hData);
        return bytes;
    }

    std::vector<Call> calls;
    std::function<HDDEDATA(const Call&)> answer;

private:
    static constexpr std::size_t kSlots = 3;

    template <std::size_t Slot>
    static HDDEDATA Trampoline(UINT type, UINT fmt, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA hData,
                               ULONG_PTR data1, ULONG_PTR data2) {
        DdePartner& self = *s_slots[Slot];
        const auto data = hData ? std::optional(Bytes(hData)) : std::nullopt;
        self.calls.push_back(
            {type, conv, self.Text(hsz1), self.Text(hsz2), data, fmt, data1, data2});
        const Call call = self.calls.back();
        return self.answer ? self.answer(call) : nullptr;
    }
    static constexpr std::array<PFNCALLBACK, kSlots> kTrampolines = {&Trampoline<0>, &Trampoline<1>,
                                                                     &Trampoline<2>};
    static inline std::array<DdePartner*, kSlots> s_slots = {};

    static std::size_t FreeSlot() {
        const auto free = std::find(s_slots.begin(), s_slots.end(), nullptr);
        if (free == s_slots.end()) {
            throw std::runtime_error("too many DDE partners at once");
        }
        return static_cast<std::size_t>(free - s_slots.begin());
    }

    std::size_t m_slot;
    DWORD m_id = 0;
};
