#include "network/LineClient.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "framework/NumberText.h"
#include "network/NetworkError.h"

namespace {

using Direction = DescriptorReadiness::Direction;

// What one read takes at most; with kLongestLine it bounds the buffer.
constexpr std::size_t kReadChunk = 4096;

std::string ErrorText(int error) {
    return std::strerror(error);
}

std::chrono::milliseconds TimeLeft(LineClient::Clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - LineClient::Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

}  // namespace

LineClient::LineClient() = default;

void LineClient::StartConnect(std::vector<SocketAddress> addresses) {
    Close();
    m_addresses = std::move(addresses);
    m_nextAddress = 0;
    m_lastConnectError = EDESTADDRREQ;
    ConnectToNext();
}

void LineClient::Restart() {
    StartConnect(m_addresses);
}

void LineClient::ConnectToNext() {
    while (m_nextAddress < m_addresses.size()) {
        const SocketAddress& address = m_addresses[m_nextAddress++];
        m_socket.Reset(
            ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!m_socket.IsValid()) {
            m_lastConnectError = errno;
            continue;
        }
        if (::connect(m_socket.Get(), reinterpret_cast<const sockaddr*>(&address.storage),
                      address.length) == 0) {
            m_connected = true;
            return;
        }
        if (errno == EINPROGRESS && m_ready.Watch(m_socket.Get(), Direction::Write)) {
            return;
        }
        m_lastConnectError = errno;
        m_ready.Forget();
        m_socket.Reset();
    }
    throw NetworkError(NetworkFault::Unreachable, ErrorText(m_lastConnectError));
}

bool LineClient::ContinueConnect() {
    if (m_connected) {
        return true;
    }
    if (!m_ready.TryAcquire()) {
        return false;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_socket.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        error = errno;
    }
    if (error == 0) {
        m_connected = true;
        return true;
    }
    m_lastConnectError = error;
    m_ready.Forget();
    m_socket.Reset();
    ConnectToNext();
    return m_connected;
}

void LineClient::AwaitConnect(std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!ContinueConnect()) {
        if (!AwaitReady(Direction::Write, deadline)) {
            Close();
            throw NetworkError(NetworkFault::Unreachable,
                               "no connection within " + SecondsText(limit));
        }
    }
}

void LineClient::Close() {
    m_ready.Forget();
    m_socket.Reset();
    m_connected = false;
    m_unread.clear();
}

void LineClient::CheckQuiet() {
    if (!m_unread.empty()) {
        throw NetworkError(NetworkFault::Garbled, "the server sent what nothing asked for");
    }
    char probe = 0;
    const ssize_t got = ::recv(m_socket.Get(), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got == 0) {
        throw NetworkError(NetworkFault::Closed, "the server closed the connection");
    }
    if (got > 0) {
        throw NetworkError(NetworkFault::Garbled, "the server sent what nothing asked for");
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        Broken(errno);
    }
}

void LineClient::SendLine(std::string_view line, Clock::time_point deadline) {
    CheckQuiet();
    std::string text(line);
    text += '\n';
    // One write for the whole line: a server that handles one line per read
    // (gqrx before 2.17.5) must never get two in one.
    std::string_view left = text;
    while (!left.empty()) {
        const ssize_t sent = ::send(m_socket.Get(), left.data(), left.size(), MSG_NOSIGNAL);
        if (sent >= 0) {
            left.remove_prefix(static_cast<std::size_t>(sent));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!AwaitReady(Direction::Write, deadline)) {
                throw NetworkError(NetworkFault::TimedOut, "the server takes nothing more");
            }
        } else if (errno != EINTR) {
            Broken(errno);
        }
    }
}

std::string LineClient::ReadLine(Clock::time_point deadline) {
    for (;;) {
        const std::size_t end = m_unread.find('\n');
        if (end != std::string::npos && end <= kLongestLine) {
            std::string line = m_unread.substr(0, end);
            m_unread.erase(0, end + 1);
            if (line.ends_with('\r')) {
                line.pop_back();
            }
            return line;
        }
        if (m_unread.size() > kLongestLine) {
            throw NetworkError(NetworkFault::Garbled,
                               "a line longer than " + std::to_string(kLongestLine) + " bytes");
        }
        if (!AwaitReady(Direction::Read, deadline)) {
            throw NetworkError(NetworkFault::TimedOut, "no reply in time");
        }
        ReadSome();
    }
}

void LineClient::ReadSome() {
    char chunk[kReadChunk];
    const ssize_t got = ::recv(m_socket.Get(), chunk, sizeof chunk, MSG_DONTWAIT);
    if (got == 0) {
        throw NetworkError(NetworkFault::Closed, "the server closed the connection");
    }
    if (got > 0) {
        m_unread.append(chunk, static_cast<std::size_t>(got));
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        Broken(errno);
    }
}

bool LineClient::AwaitReady(Direction direction, Clock::time_point deadline) {
    if (!m_ready.Watch(m_socket.Get(), direction)) {
        Broken(errno);
    }
    return AwaitReply(m_wait, m_ready, TimeLeft(deadline));
}

void LineClient::Broken(int error) {
    // A server that closes with a command unread resets the connection.
    if (error == ECONNRESET || error == EPIPE) {
        throw NetworkError(NetworkFault::Closed, "the server closed the connection");
    }
    throw NetworkError(NetworkFault::Closed, "the connection broke: " + ErrorText(error));
}
