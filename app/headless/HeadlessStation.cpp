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

}  // namespace

int RunHeadlessStation(const RigctlOverride& receiver) {
    LineOutput errors(STDERR_FILENO);
    LineMessageBoxes messages([&errors](std::string_view line) { errors.Add(line); },
                              std::string(kErrorPrefix));
    LineOutput log(STDOUT_FILENO,
                   [&messages](std::string_view text) { messages.ShowMessageBox(text); });
    const ScopedTraceSink traces([&errors](std::string_view text) {
        // Each trace brings its own line end.
        errors.Add(text.substr(0, text.find_last_not_of('\n') + 1));
    });
    PlainMessagePump pump;
    const StopSignals stopSignals(pump.QuitDescriptor());
    LineLogView logView([&log](std::string_view line) { log.Add(line); });
    PassRows passes;
    NoCancelButton cancelButton;

    Tuner tuner({logView, passes, messages, pump, cancelButton});
    tuner.InitDialog();
    tuner.OverrideReceiver(receiver);
    if (const std::optional<std::string> failure = tuner.OnNextPass()) {
        messages.ShowMessageBox(*failure);
        return 1;
    }
    if (!stopSignals.Received()) {
        messages.ShowMessageBox("the run ended by itself; the log above says why");
        return 1;
    }
    return 0;
}
