#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "network/DescriptorReadiness.h"
#include "network/HostPort.h"
#include "platform/kernel/ReplyWait.h"
#include "platform/kernel/UniqueFd.h"

// A TCP client for a line protocol on a non-blocking socket: one command
// in flight, its reply read line by line before a deadline. Waits go
// through the ReplyWait given (none: the thread blocks in poll), so a
// window keeps painting meanwhile. Memory stays bounded whatever the
// server sends: a line longer than kLongestLine ends the conversation.
//
// Failures throw NetworkError: Unreachable while connecting; TimedOut,
// Closed or Garbled (a line too long, or bytes that came unasked) after.
// It does not close the connection on a failure; its owner decides.
// Used from one thread.
class LineClient {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kLongestLine = 1024;

    // Throws std::system_error when the process has no descriptor left.
    LineClient();

    void SetReplyWait(ReplyWait* wait) { m_wait = wait; }

    // Begins a connection to the first of `addresses` that does not fail at
    // once; the next are tried in turn as each fails. Throws when all fail.
    void StartConnect(std::vector<SocketAddress> addresses);
    // StartConnect again, on the addresses it was given last.
    void Restart();
    // Carries a started connection on without blocking: true once it is
    // made, false while it is under way. Throws when every address failed.
    bool ContinueConnect();
    // Waits up to `limit` for a started connection; throws when it is not
    // made by then (the attempt is then dropped).
    void AwaitConnect(std::chrono::milliseconds limit);

    bool IsConnecting() const { return m_socket.IsValid() && !m_connected; }
    bool IsConnected() const { return m_connected; }
    // Drops the connection, made or under way, and whatever was unread.
    void Close();

    // Throws when the server closed the connection, the socket failed, or
    // bytes are waiting that nothing asked for: then a reply would be read
    // as another's. Never blocks.
    void CheckQuiet();
    // Makes sure of a quiet conversation (CheckQuiet), then sends `line` and
    // a line feed in one write.
    void SendLine(std::string_view line, Clock::time_point deadline);
    // The next line, without its line end (LF or CR LF).
    std::string ReadLine(Clock::time_point deadline);

private:
    // Starts on the addresses left; throws when none is left.
    void ConnectToNext();
    // Reads what is there, once; throws at the end of the stream.
    void ReadSome();
    // Waits for the socket to be ready in `direction`; false when the
    // deadline passed first.
    bool AwaitReady(DescriptorReadiness::Direction direction, Clock::time_point deadline);
    // Throws the failure of a connection that was made.
    [[noreturn]] static void Broken(int error);

    ReplyWait* m_wait = nullptr;
    UniqueFd m_socket;
    DescriptorReadiness m_ready;
    bool m_connected = false;
    std::vector<SocketAddress> m_addresses;
    std::size_t m_nextAddress = 0;
    int m_lastConnectError = 0;
    std::string m_unread;
};
