#include "app/settings/RigctlChoice.h"

#include "framework/AsciiText.h"
#include "network/HostPort.h"

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

}  // namespace

RigctlFormAnswer ReadRigctlForm(std::string_view address, std::size_t kindIndex) {
    const std::string_view typed = AsciiTrimmed(address, kBlanks);
    if (!ParseHostPort(typed)) {
        const std::string how =
            "Give the address as HOST:PORT, such as " + std::string(kDefaultRigctlAddress) +
            ": a host name or address, a colon and a port from 1 to 65535 (an IPv6 address in "
            "brackets, as [::1]:4532).";
        return {std::nullopt,
                typed.empty() ? how : "<" + std::string(typed) + "> is no address. " + how};
    }
    if (kindIndex >= RigctlServers().size()) {
        return {std::nullopt, "Choose the kind of server: " + RigctlServerNames() + "."};
    }
    return {RigctlTarget{std::string(typed), RigctlServers()[kindIndex].kind}, {}};
}

std::size_t RigctlKindIndex(RigctlServerKind kind) {
    return static_cast<std::size_t>(&RigctlServerOf(kind) - RigctlServers().data());
}

std::optional<std::string> ReadRigctlOptions(const std::optional<std::string>& address,
                                             const std::optional<std::string>& kind,
                                             RigctlOverride& given) {
    if (address && !ParseHostPort(*address)) {
        return "--rigctl takes HOST:PORT, not '" + *address + "'";
    }
    const RigctlServer* const server = kind ? FindRigctlServer(*kind) : nullptr;
    if (kind && server == nullptr) {
        return "--rigctl-kind takes " + RigctlServerNames() + ", not '" + *kind + "'";
    }
    given.address = address;
    given.kind = server != nullptr ? std::optional(server->kind) : std::nullopt;
    return std::nullopt;
}

RigctlTarget Overridden(RigctlTarget saved, const RigctlOverride& given) {
    if (given.address) {
        saved.address = *given.address;
    }
    if (given.kind) {
        saved.kind = *given.kind;
    }
    return saved;
}
