#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <vector>

#include "dde/stddde.h"
#include "platform/ddeml/DdemlDiagnostics.h"

namespace {

DWORD g_partner = 0;

// The other program: answers every request with a short text and accepts
// every connection and advise delivery.
HDDEDATA PartnerCallback(UINT type, UINT fmt, HCONV, HSZ, HSZ hsz2, HDDEDATA, ULONG_PTR,
                         ULONG_PTR) {
    if (type == XTYP_REQUEST) {
        static const BYTE kAnswer[] = "12:00";
        return DdeCreateDataHandle(g_partner, kAnswer, sizeof kAnswer, 0, hsz2, fmt, 0);
    }
    return type == XTYP_ADVDATA ? HDDEDATA(DDE_FACK) : HDDEDATA(TRUE);
}

class Partner {
public:
    Partner() { DdeInitializeA(&g_partner, PartnerCallback, 0, 0); }
    ~Partner() {
        DdeUninitialize(g_partner);
        g_partner = 0;
    }
    Partner(const Partner&) = delete;
    Partner& operator=(const Partner&) = delete;
    HSZ Hsz(const char* text) const { return DdeCreateStringHandleA(g_partner, text, CP_WINANSI); }
};

// The server "Vantrel" with the topic "Data" and its text item "Value"; the
// process's one server is let go of afterwards, so the next run makes its own.
class ServerWithValue {
public:
    ServerWithValue() {
        m_server.Create("Vantrel");
        m_topic.Create("Data");
        m_value.Create("Value");
        m_value.m_value = "42";
        m_topic.AddItem(&m_value);
        m_server.AddTopic(&m_topic);
    }
    ~ServerWithValue() {
        m_server.Stop();
        g_ddeServer = nullptr;
    }
    ServerWithValue(const ServerWithValue&) = delete;
    ServerWithValue& operator=(const ServerWithValue&) = delete;

    DWORD Instance() const { return m_server.m_instance; }

private:
    CDDEServer m_server;
    CDDETopic m_topic;
    CDDEStringItem m_value;
};

HDDEDATA Request(HCONV conv, HSZ item) {
    return DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_REQUEST, 5000, nullptr);
}

// One request and its answer between two bare instances.
void BM_RoundTripBetweenInstances(benchmark::State& state) {
    const Partner partner;
    DWORD client = 0;
    DdeInitializeA(&client, PartnerCallback, 0, 0);
    const HSZ service = partner.Hsz("Clock");
    DdeNameService(g_partner, service, nullptr, DNS_REGISTER);
    const HCONV conv = DdeConnect(client, service, partner.Hsz("Time"), nullptr);
    const HSZ item = partner.Hsz("Now");
    for (auto _ : state) {
        const HDDEDATA answer = Request(conv, item);
        if (!answer) {
            state.SkipWithError("request refused");
            break;
        }
        benchmark::DoNotOptimize(DdeAccessData(answer, nullptr));
        DdeFreeDataHandle(answer);
    }
    state.SetItemsProcessed(state.iterations());
    DdeUninitialize(client);
}
BENCHMARK(BM_RoundTripBetweenInstances);

// One request answered by the framework's server through its callback.
void BM_RoundTripToServer(benchmark::State& state) {
    const ServerWithValue server;
    const Partner partner;
    const HCONV conv = DdeConnect(g_partner, partner.Hsz("Vantrel"), partner.Hsz("Data"), nullptr);
    const HSZ item = partner.Hsz("Value");
    for (auto _ : state) {
        const HDDEDATA answer = Request(conv, item);
        if (!answer) {
            state.SkipWithError("request refused");
            break;
        }
        DdeFreeDataHandle(answer);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RoundTripToServer);

// DdePostAdvise to as many links as the argument, each on its own
// conversation: every link is asked for data and the data delivered.
void BM_PostAdvise(benchmark::State& state) {
    const ServerWithValue server;
    const Partner partner;
    const HSZ topic = partner.Hsz("Data");
    const HSZ item = partner.Hsz("Value");
    for (int64_t i = 0; i < state.range(0); ++i) {
        const HCONV conv = DdeConnect(g_partner, partner.Hsz("Vantrel"), topic, nullptr);
        if (!DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_ADVSTART, 5000, nullptr)) {
            state.SkipWithError("advise refused");
            return;
        }
    }
    for (auto _ : state) {
        DdePostAdvise(server.Instance(), topic, item);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetLabel("items = links advised");
}
BENCHMARK(BM_PostAdvise)->Arg(10)->Arg(100)->Arg(1000);

// Connect and disconnect cycles against one long-lived server. The
// counters give what is left after all cycles: conversation records the
// library still keeps and heap bytes still in use; neither may grow with
// the number of cycles.
void BM_ConnectDisconnectCycles(benchmark::State& state) {
    const Partner server;
    DWORD client = 0;
    DdeInitializeA(&client, PartnerCallback, 0, 0);
    const HSZ service = server.Hsz("Clock");
    const HSZ topic = server.Hsz("Time");
    DdeNameService(g_partner, service, nullptr, DNS_REGISTER);
    const std::size_t recordsBefore = DdeCountConversations();
    const std::size_t heapBefore = mallinfo2().uordblks;
    for (auto _ : state) {
        const HCONV conv = DdeConnect(client, service, topic, nullptr);
        if (!conv) {
            state.SkipWithError("connect refused");
            break;
        }
        DdeDisconnect(conv);
    }
    state.counters["records"] = static_cast<double>(DdeCountConversations() - recordsBefore);
    state.counters["heap_bytes"] =
        static_cast<double>(mallinfo2().uordblks) - static_cast<double>(heapBefore);
    state.SetItemsProcessed(state.iterations());
    DdeUninitialize(client);
}
BENCHMARK(BM_ConnectDisconnectCycles)->Iterations(1000);
BENCHMARK(BM_ConnectDisconnectCycles)->Iterations(100000);

}  // namespace
