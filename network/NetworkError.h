#pragma once

#include <stdexcept>
#include <string>

// Why an exchange with a server failed, told apart as a caller acts on it:
// a refused command leaves the connection usable; after anything else the
// conversation can no longer be trusted and the connection is dropped.
enum class NetworkFault {
    Unreachable,  // no connection: refused, no route, or not within the limit
    TimedOut,     // no whole reply within the command's limit
    Closed,       // the server closed the connection, or it broke
    Garbled,      // a reply that does not fit the command, or came unasked
    Rejected,     // the server answered "RPRT n" with n other than 0
};

// The one error of the network layer. Its text is the reason alone, to be
// put after whatever the caller names (the address, the command).
class NetworkError : public std::runtime_error {
public:
    NetworkError(NetworkFault fault, const std::string& reason, int replyCode = 0)
        : std::runtime_error(reason), m_fault(fault), m_replyCode(replyCode) {}

    NetworkFault Fault() const { return m_fault; }
    // The n of "RPRT n" for a rejection, else 0.
    int ReplyCode() const { return m_replyCode; }
    bool LosesConnection() const { return m_fault != NetworkFault::Rejected; }

private:
    NetworkFault m_fault;
    int m_replyCode;
};
