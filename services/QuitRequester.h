#pragma once

// Asks the current run to end, or the dialog when no run is active. It only
// queues the request and returns at once; whoever next takes the dialog's
// messages acts on it.
class QuitRequester {
public:
    virtual ~QuitRequester() = default;
    virtual void RequestQuit() = 0;
};
