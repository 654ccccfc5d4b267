#include "app/headless/HeadlessStation.h"

#include <unistd.h>

#include <optional>
#include <string>

#include "app/Tuner.h"
#include "framework/Diagnostics.h"
#include "planning/PlainMessagePump.h"
#include "platform/kernel/StopSignals.h"
#include "services/LineFrontEnd.h"
#include "services/LineOutput.h"

namespace {

constexpr std::string_view kErrorPrefix = "vantrel: ";

// There is no button to show the run's state on.
class NoCancelButton final : public CancelButton {
public:
    void SetCaption(std::string_view /*caption*/) override {}
};

// Developer traces go to `errors` for as long as it lives.
class TracesTo {
public:
    explicit TracesTo(LineOutput& errors)
        : m_previous(SetTraceSink([&errors](std::string_view text) {
              // Each trace brings its own line end.
              errors.Add(text.substr(0, text.find_last_not_of('\n') + 1));
          })) {}
    ~TracesTo() { SetTraceSink(std::move(m_previous)); }
    TracesTo(const TracesTo&) = delete;
    TracesTo& operator=(const TracesTo&) = delete;

private:
    TraceSink m_previous;
};

}  // namespace

int RunHeadlessStation(const RigctlOverride& receiver) {
    LineOutput errors(STDERR_FILENO);
    const auto complain = [&errors](std::string_view text) {
        errors.Add(std::string(kErrorPrefix) + std::string(text));
    };
    LineOutput log(STDOUT_FILENO, complain);
    const TracesTo traces(errors);
    PlainMessagePump pump;
    const StopSignals stopSignals(pump.QuitDescriptor());
    LineLogView logView([&log](std::string_view line) { log.Add(line); });
    PassRows passes;
    LineMessageBoxes messages(complain, "");
    NoCancelButton cancelButton;

    Tuner tuner({logView, passes, messages, pump, cancelButton});
    tuner.InitDialog();
    tuner.OverrideReceiver(receiver);
    if (const std::optional<std::string> failure = tuner.OnNextPass()) {
        complain(*failure);
        return 1;
    }
    if (!stopSignals.Received()) {
        complain("the run ended by itself; the log above says why");
        return 1;
    }
    return 0;
}
