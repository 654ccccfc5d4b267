#pragma once

#include <array>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ClipboardFormats.h"
#include "platform/Ddeml.h"

// A DDE instance playing the other program in a test. It records every
// callback it gets and answers through `answer` (null when unset).
class DdePartner {
public:
    struct Call {
        UINT type;
        UINT fmt;
        HCONV conv;
        HSZ hsz1;
        HSZ hsz2;
        std::string text1;  // the strings' texts, read during the callback
        std::string text2;
        std::optional<std::string> data;  // the data handle's bytes
        ULONG_PTR data1;
        ULONG_PTR data2;
    };

    DdePartner() {
        for (std::size_t slot = 0; slot < kSlots; ++slot) {
            if (Partners()[slot] == nullptr) {
                m_slot = slot;
                Partners()[slot] = this;
                if (DdeInitializeA(&m_id, Callbacks()[slot], 0, 0) != DMLERR_NO_ERROR) {
                    throw std::runtime_error("DdeInitializeA failed");
                }
                return;
            }
        }
        throw std::runtime_error("too many partners");
    }
    ~DdePartner() {
        if (m_id != 0) {
            DdeUninitialize(m_id);
        }
        Partners()[m_slot] = nullptr;
    }
    DdePartner(const DdePartner&) = delete;
    DdePartner& operator=(const DdePartner&) = delete;

    DWORD Id() const { return m_id; }
    // Ends the instance now (as the other program quitting would).
    void Uninitialize() {
        DdeUninitialize(m_id);
        m_id = 0;
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

    // The bytes a request answers with (the handle is freed), or nothing.
    std::optional<std::string> Request(HCONV conv, const char* item, UINT fmt = CF_TEXT) const {
        const HDDEDATA reply =
            DdeClientTransaction(nullptr, 0, conv, Hsz(item), fmt, XTYP_REQUEST, 5000, nullptr);
        if (!reply) {
            return std::nullopt;
        }
        std::string bytes = Bytes(reply);
        DdeFreeDataHandle(reply);
        return bytes;
    }
    bool Poke(HCONV conv, const char* item, const std::string& bytes, UINT fmt = CF_TEXT) const {
        return Transact(conv, item, bytes, fmt, XTYP_POKE);
    }
    bool Execute(HCONV conv, const std::string& bytes) const {
        return static_cast<bool>(DdeClientTransaction(Data(bytes), Size(bytes), conv, nullptr,
                                                      CF_TEXT, XTYP_EXECUTE, 5000, nullptr));
    }
    bool StartAdvise(HCONV conv, const char* item, UINT fmt = CF_TEXT) const {
        return static_cast<bool>(
            DdeClientTransaction(nullptr, 0, conv, Hsz(item), fmt, XTYP_ADVSTART, 5000, nullptr));
    }

    // The calls of one transaction type, in order.
    std::vector<Call> CallsOf(UINT type) const {
        std::vector<Call> found;
        for (const Call& call : calls) {
            if (call.type == type) {
                found.push_back(call);
            }
        }
        return found;
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
    static constexpr std::size_t kSlots = 4;

    static const BYTE* Data(const std::string& bytes) {
        return reinterpret_cast<const BYTE*>(bytes.data());
    }
    static DWORD Size(const std::string& bytes) { return static_cast<DWORD>(bytes.size()); }

    bool Transact(HCONV conv, const char* item, const std::string& bytes, UINT fmt,
                  UINT type) const {
        return static_cast<bool>(DdeClientTransaction(Data(bytes), Size(bytes), conv, Hsz(item),
                                                      fmt, type, 5000, nullptr));
    }

    HDDEDATA OnCallback(UINT type, UINT fmt, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA hData,
                        ULONG_PTR data1, ULONG_PTR data2) {
        Call call{type, fmt, conv, hsz1, hsz2, Text(hsz1), Text(hsz2), std::nullopt, data1, data2};
        if (hData) {
            call.data = Bytes(hData);
        }
        calls.push_back(call);
        return answer ? answer(call) : nullptr;
    }

    template <std::size_t Slot>
    static HDDEDATA Trampoline(UINT type, UINT fmt, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA hData,
                               ULONG_PTR data1, ULONG_PTR data2) {
        return Partners()[Slot]->OnCallback(type, fmt, conv, hsz1, hsz2, hData, data1, data2);
    }
    static std::array<DdePartner*, kSlots>& Partners() {
        static std::array<DdePartner*, kSlots> partners{};
        return partners;
    }
    static const std::array<PFNCALLBACK, kSlots>& Callbacks() {
        static const std::array<PFNCALLBACK, kSlots> callbacks{&Trampoline<0>, &Trampoline<1>,
                                                               &Trampoline<2>, &Trampoline<3>};
        return callbacks;
    }

    std::size_t m_slot = 0;
    DWORD m_id = 0;
};
