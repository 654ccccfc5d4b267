#include "app/headless/HeadlessStation.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <ostream>

#include "app/Tuner.h"
#include "planning/PlainMessagePump.h"
#include "services/StreamFrontEnd.h"

namespace {

constexpr const char* kErrorPrefix = "vantrel: ";

// Where a stop signal posts its quit request, and whether one came.
std::atomic<int> g_quitDescriptor{-1};
std::atomic<bool> g_stopRequested{false};

extern "C" void OnStopSignal(int /*signal*/) {
    const int saved = errno;
    g_stopRequested = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_quitDescriptor, &one, sizeof one);
    errno = saved;
}

// SIGINT and SIGTERM post a quit request for as long as it lives. System
// calls are not restarted: the waits retry after EINTR themselves.
class StopSignals {
public:
    explicit StopSignals(int quitDescriptor) {
        g_quitDescriptor = quitDescriptor;
        g_stopRequested = false;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &m_previousInt);
        ::sigaction(SIGTERM, &action, &m_previousTerm);
    }
    ~StopSignals() {
        ::sigaction(SIGINT, &m_previousInt, nullptr);
        ::sigaction(SIGTERM, &m_previousTerm, nullptr);
        g_quitDescriptor = -1;
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool Received() const { return g_stopRequested; }

private:
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};

// There is no button to show the run's state on.
class NoCancelButton final : public CancelButton {
public:
    void SetCaption(std::string_view /*caption*/) override {}
};

}  // namespace

int RunHeadlessStation(std::ostream& out, std::ostream& err) {
    PlainMessagePump pump;
    const StopSignals stopSignals(pump.QuitDescriptor());
    StreamLogView logView(out);
    PassRows passes;
    StreamMessageBoxes messages(err, kErrorPrefix);
    NoCancelButton cancelButton;

    Tuner tuner({logView, passes, messages, pump, cancelButton});
    tuner.InitDialog();
    try {
        tuner.OnNextPass();
    } catch (CSerialException* error) {
        err << kErrorPrefix << tuner.DescribeSerialError(*error) << std::endl;
        error->Delete();
        return 1;
    }
    if (!stopSignals.Received()) {
        err << kErrorPrefix << "the run ended by itself; the log above says why" << std::endl;
        return 1;
    }
    return 0;
}
