#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/kernel/UniqueFd.h"

// The address `port` of 127.0.0.1.
inline sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

inline std::string LoopbackText(std::uint16_t port) {
    return "127.0.0.1:" + std::to_string(port);
}

// Binds `socket` to `port` of 127.0.0.1, 0 taking a free one, and gives
// the port bound.
inline std::uint16_t BindLoopback(int socket, std::uint16_t port) {
    sockaddr_in address = LoopbackAddress(port);
    socklen_t length = sizeof address;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot bind to port " + std::to_string(port) + " of 127.0.0.1");
    }
    return ntohs(address.sin_port);
}

// A blocking client connected to `port` of 127.0.0.1; invalid when nothing
// listens there.
inline UniqueFd ConnectToLoopback(std::uint16_t port) {
    UniqueFd client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = LoopbackAddress(port);
    if (::connect(client.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        client.Reset();
    }
    return client;
}

// What the server at `port` answers `commands`, sent at once on a
// connection of the caller's own: the text once it holds `lines` lines, or
// whatever came when `limit` has passed.
inline std::string AskLoopback(std::uint16_t port, std::string_view commands, std::size_t lines,
                               std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const UniqueFd client = ConnectToLoopback(port);
    ::send(client.Get(), commands.data(), commands.size(), MSG_NOSIGNAL);
    std::string reply;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (static_cast<std::size_t>(std::count(reply.begin(), reply.end(), '\n')) < lines) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd readable{client.Get(), POLLIN, 0};
        char chunk[256];
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) != 1) {
            break;
        }
        const ssize_t got = ::recv(client.Get(), chunk, sizeof chunk, 0);
        if (got <= 0) {
            break;
        }
        reply.append(chunk, static_cast<std::size_t>(got));
    }
    return reply;
}
