#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "network/RigctlServers.h"

// How a user names a network receiver: in the "Network (rigctl)" dialog or
// on a command line. Both are checked here, so that what the one refuses
// the other refuses too, with the same reasons.

// What the dialog's two fields give: `address` as typed (blanks around it
// do not count) and the kind at `kindIndex` of RigctlServers(). Either a
// target, or the problem the dialog shows while it stays open.
struct RigctlFormAnswer {
    std::optional<RigctlTarget> target;
    std::string problem;
};
RigctlFormAnswer ReadRigctlForm(std::string_view address, std::size_t kindIndex);
// Where `kind` stands in RigctlServers(), as the dialog lists them.
std::size_t RigctlKindIndex(RigctlServerKind kind);

// A run's network receiver as a command line gives it; each part given
// takes the place of the saved one.
struct RigctlOverride {
    std::optional<std::string> address;
    std::optional<RigctlServerKind> kind;

    // Either given: the run is then a network receiver's, whatever is saved.
    bool Any() const { return address || kind; }
};

// Reads the values of --rigctl and --rigctl-kind (nullopt: not given) into
// `given`. Returns the usage problem when one of them is not understood.
std::optional<std::string> ReadRigctlOptions(const std::optional<std::string>& address,
                                             const std::optional<std::string>& kind,
                                             RigctlOverride& given);

// `saved` with what `given` holds in place of its parts.
RigctlTarget Overridden(RigctlTarget saved, const RigctlOverride& given);
