#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A server's address as a user writes it: "host:port", with an IPv6
// address in brackets ("[::1]:4532").
struct HostPort {
    std::string host;
    std::uint16_t port = 0;
};

// Nullopt when `text` is no such address: no host, no port, or a port that
// is not a number from 1 to 65535.
std::optional<HostPort> ParseHostPort(std::string_view text);

// One address a connection may be made to.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

// The addresses `text` ("host:port") stands for, in the resolver's order
// ("localhost" may give ::1 before 127.0.0.1). A host name blocks while it
// is looked up. Throws NetworkError (Unreachable) when `text` is no such
// address, or with the resolver's reason.
std::vector<SocketAddress> ResolveHostPort(std::string_view text);
