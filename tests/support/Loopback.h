#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

#include "platform/kernel/UniqueFd.h"

// The address `port` of 127.0.0.1.
inline sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
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
