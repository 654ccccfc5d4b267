#pragma once

#include <stdexcept>
#include <string_view>

#include "radio/TuningExchange.h"

// A receiver that cannot be reached when a run starts (a network address
// that refuses, or does not answer in time). Its text names the address and
// the reason, as the user is shown it.
class ReceiverUnreachable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a run asks of its receiver, whichever way the receiver is reached:
// the PCR-1000 on a serial port, or a server that speaks the rigctl
// protocol. The run decides when; the link decides how. Every call comes
// from the run's thread, and replies are awaited through the run's own
// wait, so a window keeps painting meanwhile.
class ReceiverLink {
public:
    virtual ~ReceiverLink() = default;

    // What the `tuned` hook is told: "pcr1000", or the kind of rigctl server.
    virtual std::string_view Name() const = 0;

    // Reaches the receiver, makes sure it answers and switches it on,
    // logging "Radio Talking" and what it found. False when the receiver
    // stopped answering: the run then goes to its shutdown. A receiver that
    // cannot be reached throws: the serial port its CSerialException*, a
    // network address ReceiverUnreachable.
    virtual bool StartUp() = 0;
    // At each check, before the selection. A link that lost its receiver
    // tries again here (at most every ten seconds) and, once back, sends
    // the last retune again.
    virtual void OnCheck() = 0;
    // Sends the retune `exchange` holds, already recorded as tuned: the
    // queued commands are taken with NextRadioCommand until it reports the
    // queue empty. False when the receiver did not take it whole (the
    // `tuned` hook is then not started).
    virtual bool SendRetune(TuningExchange& exchange) = 0;
    // A pass begins once its settings are sent, and ends before the next
    // retune or the end of the run: an SDR program starts and stops its
    // recorder. A receiver without a recorder ignores both.
    virtual void PassBegins() = 0;
    virtual void PassEnds() = 0;
    // The end of a run: the receiver is switched off.
    virtual void ShutDown() = 0;
    // Vantrel is ending: the last word to a receiver still reached. Never
    // throws.
    virtual void CloseDown() noexcept = 0;
};
