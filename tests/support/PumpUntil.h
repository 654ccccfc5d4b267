#pragma once

#include <chrono>
#include <functional>

#include "planning/MessagePump.h"
#include "platform/kernel/FileTime.h"
#include "platform/kernel/WaitableTimer.h"

// Handles the pump's input until `done` holds; false when `limit` passed first.
inline bool PumpUntil(MessagePump& pump, const std::function<bool()>& done,
                      std::chrono::milliseconds limit) {
    WaitableTimer timeUp;
    timeUp.Set(FileTimeAfter(limit));
    Waitable* const sources[] = {&timeUp};
    while (!done()) {
        if (pump.WaitForSourcesOrInput(sources) == 0) {
            return false;
        }
        pump.PumpInput();
    }
    return true;
}
