#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the simulated PCR-1000 holds.
struct ReceiverState {
    bool poweredOn = false;
    std::uint32_t frequencyHz = 0;
    int mode = 0;
    int filter = 0;
    int volume = 0;
    int squelch = 0;
    bool dspUnit = false;
    bool noiseReduction = false;
    int noiseReductionLevel = 0;
};

// The receiver's answer to one command (with its CR LF), or none, and a
// readable line for each setting the command changed (led, the first time a
// command is written in an unusual way, by a note saying how it was taken).
struct ReceiverResponse {
    std::optional<std::string> answer;
    std::vector<std::string> changes;
};

// The PCR-1000's command set as Vantrel uses it. "H1?" asks for the power
// state ("H101" on, "H100" off); "H101" and "H100" switch it ("G000"). While
// on, tuning commands are answered "G000" when well formed and "G001" when
// not, and so is any command the receiver does not know; while off, only
// the power commands are answered.
class ReceiverModel {
public:
    explicit ReceiverModel(bool poweredOn) { m_state.poweredOn = poweredOn; }

    // `command` is one command without its line end.
    ReceiverResponse Handle(std::string_view command);
    const ReceiverState& State() const { return m_state; }

private:
    bool HandleTune(std::string_view command, std::vector<std::string>& changes);
    bool HandleSetting(std::string_view command, std::vector<std::string>& changes);

    ReceiverState m_state;
    bool m_spacingNoted = false;
};
