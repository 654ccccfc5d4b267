#pragma once

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "network/LineClient.h"
#include "network/NetworkError.h"

// Radios keep levels in steps (the PCR-1000 in 255ths of the range): a
// level read back within this of the one set counts as kept.
inline constexpr double kLevelTolerance = 0.005;

inline bool LevelKept(double kept, double asked) {
    return std::fabs(kept - asked) <= kLevelTolerance;
}

// Why a server that wants a VFO with every command cannot be used.
inline constexpr std::string_view kVfoModeUnusable =
    "it wants a VFO with every command: start rigctld without --vfo";

// A mode as rigctl names it ("FM", "WFM", …) and its passband in Hz.
struct RigctlMode {
    std::string name;
    std::int64_t passbandHz = 0;

    bool operator==(const RigctlMode&) const = default;
};

// "FM 15000", as "M" takes it.
std::string RigctlModeText(const RigctlMode& mode);

// What "\chk_vfo" answered.
struct VfoCheck {
    // The server wants a VFO with every command (rigctld --vfo).
    bool vfoMode = false;
    // Answered as "CHKVFO n", as SDR++ does, not as a bare "n".
    bool tagged = false;
};

// The rigctl commands Vantrel uses, over a connected LineClient: each call
// sends one command and reads its whole reply within the reply limit.
// Whatever goes wrong is one NetworkError, whose text names the command:
// Rejected for "RPRT n" with n other than 0 (the connection stays usable),
// Garbled for a reply that does not fit the command, and the client's own
// TimedOut and Closed. Numbers are written and read without the locale.
class RigctlSession {
public:
    RigctlSession(LineClient& client, std::chrono::milliseconds replyLimit)
        : m_client(client), m_replyLimit(replyLimit) {}

    // A refusal (gqrx before 2.17.4) is an answer all the same: neither
    // flag is set.
    VfoCheck CheckVfo();
    // True for "on" and "operate".
    bool PowerIsOn();
    // PowerIsOn, with no reply taken for off: then the connection is made
    // anew, within `connectLimit`. Rejected tells of no power control.
    bool PowerIsOnSilenceOff(std::chrono::milliseconds connectLimit);
    void SetPower(bool on);
    std::int64_t Frequency();
    void SetFrequency(std::int64_t hertz);
    RigctlMode Mode();
    void SetMode(const RigctlMode& mode);
    // `level` is "AF" or "SQL"; rigctld takes both as fractions from 0 to 1.
    double Level(std::string_view level);
    void SetLevel(std::string_view level, double value);
    // AOS and LOS: an SDR program starts and stops its recorder.
    void StartRecorder();
    void StopRecorder();
    // "q": the server closes the connection; no reply is awaited.
    void Quit();

private:
    VfoCheck AskVfoCheck();
    // Sends `command` and reads `valueLines` lines of values, or none for a
    // command that answers "RPRT 0".
    std::vector<std::string> Exchange(const std::string& command, std::size_t valueLines);
    // Exchange, then `read` turns the lines into the value; a failure of
    // either names `command`.
    template <typename Read>
    auto Ask(const std::string& command, std::size_t valueLines, Read read) {
        try {
            return read(Exchange(command, valueLines));
        } catch (const NetworkError& error) {
            throw InContext(error, command);
        }
    }
    void Set(const std::string& command);
    NetworkError InContext(const NetworkError& error, const std::string& command) const;

    LineClient& m_client;
    std::chrono::milliseconds m_replyLimit;
};
