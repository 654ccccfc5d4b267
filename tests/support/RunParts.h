#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "planning/PassScheduler.h"
#include "planning/PlainMessagePump.h"
#include "platform/kernel/FileTime.h"

// Front-end stand-ins that keep what they are given.
class RecordingCancelButton final : public CancelButton {
public:
    void SetCaption(std::string_view caption) override { captions.emplace_back(caption); }
    std::vector<std::string> captions;
};

class RecordingMessageBoxes final : public MessageBoxPresenter {
public:
    void ShowMessageBox(std::string_view text) override { shown.emplace_back(text); }
    std::vector<std::string> shown;
};

// The parts of a run on the plain message pump, put together as the tuner
// puts them; Vantrel.ini is read from the working directory.
struct RunParts {
    explicit RunParts(SatelliteSelector::Clock clock = CurrentCalendarTime)
        : selector(table, catalogue, exchange, log, std::move(clock)) {}

    LogLines view;
    ActivityLog log{view};
    RecordingMessageBoxes messages;
    PlainMessagePump pump;
    RecordingCancelButton cancelButton;
    PassRows table;
    CSerialPort port;
    SatelliteCatalogue catalogue{log, messages};
    TuningExchange exchange{catalogue, log};
    PassListReader reader{table, log, messages, pump};
    SatelliteSelector selector;
    PassScheduler scheduler{port, log, reader, selector, exchange, pump, cancelButton};
};
