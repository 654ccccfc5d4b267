#include "network/HostPort.h"

#include <netdb.h>

#include <charconv>
#include <cstring>
#include <memory>

#include "network/NetworkError.h"

std::optional<HostPort> ParseHostPort(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view host = text.substr(0, colon);
    const std::string_view port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string_view::npos) {
        // An IPv6 address without brackets: its last group would be taken
        // for the port.
        return std::nullopt;
    }
    unsigned number = 0;
    const char* const end = port.data() + port.size();
    if (host.empty() || port.empty() || std::from_chars(port.data(), end, number).ptr != end ||
        number < 1 || number > 65535) {
        return std::nullopt;
    }
    return HostPort{std::string(host), static_cast<std::uint16_t>(number)};
}

std::vector<SocketAddress> ResolveHostPort(std::string_view text) {
    const std::optional<HostPort> server = ParseHostPort(text);
    if (!server) {
        throw NetworkError(NetworkFault::Unreachable, "that is no address of the form HOST:PORT");
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(server->port);
    if (const int failed = ::getaddrinfo(server->host.c_str(), port.c_str(), &hints, &found)) {
        throw NetworkError(NetworkFault::Unreachable, ::gai_strerror(failed));
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, ::freeaddrinfo);
    std::vector<SocketAddress> addresses;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        SocketAddress address;
        std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
        address.length = entry->ai_addrlen;
        addresses.push_back(address);
    }
    return addresses;
}
