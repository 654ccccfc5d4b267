#include "network/RigctlSession.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "framework/AsciiText.h"
#include "framework/NumberText.h"
#include "network/NetworkError.h"

namespace {

constexpr std::string_view kReplyCodePrefix = "RPRT ";
constexpr std::string_view kTaggedVfoPrefix = "CHKVFO ";
// The most of a reply that does not fit which a reason quotes.
constexpr std::size_t kQuotedReply = 40;

std::string Trimmed(std::string_view line) {
    return std::string(AsciiTrimmed(line, " \t"));
}

// A reply as a reason may quote it into the log: short, and printable.
std::string Quoted(std::string_view reply) {
    std::string shown(reply.substr(0, kQuotedReply));
    // ASCII's printable range: a locale's own (Latin-1's 0xFF) is not the log's.
    std::replace_if(
        shown.begin(), shown.end(),
        [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 || byte >= 0x7F;
        },
        '?');
    return "<" + shown + (reply.size() > kQuotedReply ? "...>" : ">");
}

[[noreturn]] void DoesNotFit(std::string_view reply) {
    throw NetworkError(NetworkFault::Garbled, "the reply " + Quoted(reply) + " does not fit");
}

// The n of "RPRT n", nullopt for a line of values.
std::optional<std::int64_t> ReplyCode(std::string_view line) {
    if (!line.starts_with(kReplyCodePrefix)) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> code = ParseInteger(line.substr(kReplyCodePrefix.size()));
    if (!code) {
        DoesNotFit(line);
    }
    return code;
}

std::int64_t WholeNumber(const std::string& line) {
    const std::optional<double> number = ParseDecimal(line);
    if (!number || std::fabs(*number) > 1e15) {
        DoesNotFit(line);
    }
    return std::llround(*number);
}

std::string Command(std::string_view word, std::string_view argument) {
    return std::string(word) + " " + std::string(argument);
}

}  // namespace

std::string RigctlModeText(const RigctlMode& mode) {
    return mode.name + " " + DecimalText(mode.passbandHz);
}

VfoCheck RigctlSession::CheckVfo() {
    try {
        return AskVfoCheck();
    } catch (const NetworkError& error) {
        if (error.LosesConnection()) {
            throw;
        }
        return {};
    }
}

VfoCheck RigctlSession::AskVfoCheck() {
    return Ask("\\chk_vfo", 1, [](std::vector<std::string> lines) {
        std::string& reply = lines.front();
        VfoCheck check;
        if (reply.starts_with(kTaggedVfoPrefix)) {
            check.tagged = true;
            reply.erase(0, kTaggedVfoPrefix.size());
        }
        if (reply != "0" && reply != "1") {
            DoesNotFit(reply);
        }
        check.vfoMode = reply == "1";
        return check;
    });
}

bool RigctlSession::PowerIsOn() {
    return Ask("\\get_powerstat", 1, [](const std::vector<std::string>& lines) {
        // Hamlib's power states: 0 off, 1 on, 2 standby, 4 operate.
        const std::int64_t state = WholeNumber(lines.front());
        return state == 1 || state == 4;
    });
}

bool RigctlSession::PowerIsOnSilenceOff(std::chrono::milliseconds connectLimit) {
    try {
        return PowerIsOn();
    } catch (const NetworkError& error) {
        if (error.Fault() != NetworkFault::TimedOut) {
            throw;
        }
    }
    // rigctld 4.5.4 leaves \get_powerstat unanswered while its radio is off
    // (seen with its dummy radio). A reply that came late would be taken
    // for the next command's, so the conversation starts afresh.
    m_client.Restart();
    m_client.AwaitConnect(connectLimit);
    return false;
}

void RigctlSession::SetPower(bool on) {
    Set(on ? "\\set_powerstat 1" : "\\set_powerstat 0");
}

std::int64_t RigctlSession::Frequency() {
    return Ask("f", 1,
               [](const std::vector<std::string>& lines) { return WholeNumber(lines.front()); });
}

void RigctlSession::SetFrequency(std::int64_t hertz) {
    Set(Command("F", DecimalText(hertz)));
}

RigctlMode RigctlSession::Mode() {
    return Ask("m", 2, [](const std::vector<std::string>& lines) {
        return RigctlMode{lines[0], WholeNumber(lines[1])};
    });
}

void RigctlSession::SetMode(const RigctlMode& mode) {
    Set(Command("M", RigctlModeText(mode)));
}

double RigctlSession::Level(std::string_view level) {
    return Ask(Command("l", level), 1, [](const std::vector<std::string>& lines) {
        const std::optional<double> value = ParseDecimal(lines.front());
        if (!value) {
            DoesNotFit(lines.front());
        }
        return *value;
    });
}

void RigctlSession::SetLevel(std::string_view level, double value) {
    Set(Command("L", std::string(level) + " " + DecimalText(value)));
}

void RigctlSession::StartRecorder() {
    Set("AOS");
}

void RigctlSession::StopRecorder() {
    Set("LOS");
}

void RigctlSession::Quit() {
    m_client.SendLine("q", LineClient::Clock::now() + m_replyLimit);
}

void RigctlSession::Set(const std::string& command) {
    Ask(command, 0, [](const std::vector<std::string>&) { return true; });
}

NetworkError RigctlSession::InContext(const NetworkError& error, const std::string& command) const {
    const std::string reason = error.Fault() == NetworkFault::TimedOut
                                   ? "no reply within " + SecondsText(m_replyLimit)
                                   : error.what();
    return NetworkError(error.Fault(), "<" + command + ">: " + reason, error.ReplyCode());
}

std::vector<std::string> RigctlSession::Exchange(const std::string& command,
                                                 std::size_t valueLines) {
    const LineClient::Clock::time_point deadline = LineClient::Clock::now() + m_replyLimit;
    m_client.SendLine(command, deadline);
    std::vector<std::string> lines{Trimmed(m_client.ReadLine(deadline))};
    if (const std::optional<std::int64_t> code = ReplyCode(lines.front())) {
        if (*code != 0) {
            throw NetworkError(NetworkFault::Rejected, lines.front(), static_cast<int>(*code));
        }
        // "RPRT 0" ends a set's reply; in place of values it does not fit.
        if (valueLines > 0) {
            DoesNotFit(lines.front());
        }
        return {};
    }
    if (valueLines == 0) {
        DoesNotFit(lines.front());
    }
    while (lines.size() < valueLines) {
        lines.push_back(Trimmed(m_client.ReadLine(deadline)));
    }
    return lines;
}
