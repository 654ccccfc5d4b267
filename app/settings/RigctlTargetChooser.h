#pragma once

#include <optional>

#include "network/RigctlServers.h"

// Lets the user choose a network receiver (the "Network (rigctl)" dialog).
class RigctlTargetChooser {
public:
    virtual ~RigctlTargetChooser() = default;
    // Starts at `current`. Returns the address and kind chosen, or nullopt
    // when the user cancelled.
    virtual std::optional<RigctlTarget> ChooseRigctlTarget(const RigctlTarget& current) = 0;
};
