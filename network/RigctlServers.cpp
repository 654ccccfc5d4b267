#include "network/RigctlServers.h"

#include <algorithm>
#include <array>

namespace {

// gqrx takes L SQL in dBFS (a fraction such as 0.3 closes the squelch) and
// L AF not before 2.16; SDR++ takes neither.
constexpr std::array<RigctlServer, 3> kServers{{
    {RigctlServerKind::Rigctld, "rigctld", "rigctld", true, true, false},
    {RigctlServerKind::Gqrx, "gqrx", "gqrx", false, false, true},
    {RigctlServerKind::Sdrpp, "sdrpp", "SDR++", false, false, true},
}};

}  // namespace

std::span<const RigctlServer> RigctlServers() {
    return kServers;
}

const RigctlServer& RigctlServerOf(RigctlServerKind kind) {
    return *std::find_if(kServers.begin(), kServers.end(),
                         [kind](const RigctlServer& server) { return server.kind == kind; });
}

const RigctlServer* FindRigctlServer(std::string_view name) {
    const auto found =
        std::find_if(kServers.begin(), kServers.end(),
                     [name](const RigctlServer& server) { return server.name == name; });
    return found == kServers.end() ? nullptr : &*found;
}

std::string RigctlServerNames() {
    std::string names;
    for (std::size_t index = 0; index < kServers.size(); ++index) {
        if (index > 0) {
            names += index + 1 == kServers.size() ? " or " : ", ";
        }
        names += kServers[index].name;
    }
    return names;
}
