#include "tools/pcr1000-sim/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "framework/UniqueFile.h"
#include "platform/kernel/UniqueFd.h"
#include "tools/pcr1000-sim/CommandFramer.h"
#include "tools/pcr1000-sim/ReceiverModel.h"
#include "tools/pcr1000-sim/Transcript.h"

namespace {

using Clock = std::chrono::steady_clock;

// A failure while setting up, with the system's reason.
struct SetupError {
    std::string what;
};

SetupError SystemFailure(const std::string& what) {
    return {what + ": " + std::strerror(errno)};
}

// Shells keep their terminal on a low descriptor (bash on 255); should our
// process number be reused after a kill, the path through our descriptor
// must not find a terminal of theirs there.
constexpr int kLowestTerminalDescriptor = 256;

struct PseudoTerminal {
    UniqueFd master;
    // Held open all along, so the line does not hang up between clients.
    UniqueFd terminal;
    // The terminal through our own descriptor: it goes with this process,
    // even a killed one, where /dev/pts/N would soon be someone's shell.
    std::string path;
};

// Moves `fd` up to kLowestTerminalDescriptor or beyond, when the limit allows.
void MoveHigh(UniqueFd& fd) {
    const int moved = ::fcntl(fd.Get(), F_DUPFD_CLOEXEC, kLowestTerminalDescriptor);
    if (moved >= 0) {
        fd.Reset(moved);
    }
}

PseudoTerminal OpenPseudoTerminal() {
    PseudoTerminal pty;
    pty.master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.master.IsValid() || ::grantpt(pty.master.Get()) != 0 ||
        ::unlockpt(pty.master.Get()) != 0) {
        throw SystemFailure("cannot open a pseudo-terminal");
    }
    std::array<char, 256> name{};
    if (::ptsname_r(pty.master.Get(), name.data(), name.size()) != 0) {
        throw SystemFailure("cannot name the pseudo-terminal");
    }
    const std::string device = name.data();
    pty.terminal.Reset(::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios line{};
    if (!pty.terminal.IsValid() || ::tcgetattr(pty.terminal.Get(), &line) != 0) {
        throw SystemFailure("cannot open " + device);
    }
    ::cfmakeraw(&line);
    const int flags = ::fcntl(pty.master.Get(), F_GETFL);
    if (::tcsetattr(pty.terminal.Get(), TCSANOW, &line) != 0 ||
        ::fcntl(pty.master.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        throw SystemFailure("cannot set up " + device);
    }
    MoveHigh(pty.terminal);
    pty.path = "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(pty.terminal.Get());
    return pty;
}

// A symbolic link to the terminal, removed at the end while it still points
// there; after a kill it is left, but leads nowhere.
class TerminalLink {
public:
    TerminalLink(std::filesystem::path link, const std::string& target)
        : m_link(std::move(link)), m_target(target) {
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::symlink_status(m_link, error);
        if (std::filesystem::exists(status) && !std::filesystem::is_symlink(status)) {
            throw SetupError{"will not replace " + m_link.string() + ": not a symbolic link"};
        }
        std::filesystem::create_directories(m_link.parent_path(), error);
        std::filesystem::remove(m_link, error);
        std::filesystem::create_symlink(m_target, m_link, error);
        if (error) {
            throw SetupError{"cannot link " + m_link.string() + ": " + error.message()};
        }
    }
    ~TerminalLink() {
        std::error_code error;
        if (std::filesystem::read_symlink(m_link, error) == m_target) {
            std::filesystem::remove(m_link, error);
        }
    }
    TerminalLink(const TerminalLink&) = delete;
    TerminalLink& operator=(const TerminalLink&) = delete;

private:
    std::filesystem::path m_link;
    std::filesystem::path m_target;
};

// SIGINT and SIGTERM as a readable descriptor, so the loop ends cleanly.
UniqueFd StopSignals() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    UniqueFd fd;
    if (::sigprocmask(SIG_BLOCK, &stops, nullptr) == 0) {
        fd.Reset(::signalfd(-1, &stops, SFD_CLOEXEC));
    }
    if (!fd.IsValid()) {
        throw SystemFailure("cannot watch for signals");
    }
    // A reader of our output that goes away must not end us before the link is removed.
    ::signal(SIGPIPE, SIG_IGN);
    return fd;
}

class Session {
public:
    Session(const SimulatorOptions& options, int master, std::FILE* out, std::FILE* err)
        : m_options(options), m_master(master), m_out(out), m_err(err), m_model(options.poweredOn) {
        if (options.transcriptPath) {
            m_transcript.reset(std::fopen(options.transcriptPath->c_str(), "a"));
            if (m_transcript == nullptr) {
                throw SystemFailure("cannot open " + *options.transcriptPath);
            }
        }
    }

    // Serves the line until a stop signal arrives on `signals`.
    int Serve(int signals) {
        for (;;) {
            std::array<pollfd, 2> watched{{{signals, POLLIN, 0}, {m_master, POLLIN, 0}}};
            if (::poll(watched.data(), watched.size(), NextAnswerTimeout()) < 0 && errno != EINTR) {
                return Fail("poll");
            }
            if (watched[0].revents != 0) {
                return EXIT_SUCCESS;
            }
            if ((watched[1].revents & POLLIN) != 0) {
                if (!ReadLine()) {
                    return Fail("reading the pseudo-terminal");
                }
            } else if (watched[1].revents != 0) {
                return Fail("the pseudo-terminal broke");
            }
            SendDueAnswers();
        }
    }

private:
    int Fail(const char* what) const {
        std::fprintf(m_err, "pcr1000-sim: %s: %s\n", what, std::strerror(errno));
        return EXIT_FAILURE;
    }

    int NextAnswerTimeout() const {
        if (m_answers.empty()) {
            return -1;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(m_answers.front().first - Clock::now());
        return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
    }

    bool ReadLine() {
        std::array<char, 4096> bytes;
        const ssize_t got = ::read(m_master, bytes.data(), bytes.size());
        if (got < 0) {
            return errno == EAGAIN || errno == EINTR;
        }
        const Clock::time_point now = Clock::now();
        for (const std::string& raw :
             m_framer.Feed({bytes.data(), static_cast<std::size_t>(got)})) {
            Serve(raw, now);
        }
        return true;
    }

    void Serve(const std::string& raw, Clock::time_point now) {
        if (m_transcript != nullptr) {
            const std::string line = TranscriptLine(
                std::chrono::duration_cast<std::chrono::milliseconds>(now - m_start), raw);
            std::fputs(line.c_str(), m_transcript.get());
            std::fflush(m_transcript.get());
        }
        ReceiverResponse response = m_model.Handle(CommandText(raw));
        for (const std::string& change : response.changes) {
            std::fprintf(m_out, "%s\n", change.c_str());
        }
        std::fflush(m_out);
        if (response.answer && !m_options.silent) {
            m_answers.emplace_back(now + m_options.replyDelay, std::move(*response.answer));
        }
    }

    void SendDueAnswers() {
        const Clock::time_point now = Clock::now();
        while (!m_answers.empty() && m_answers.front().first <= now) {
            const std::string& answer = m_answers.front().second;
            // Nobody reading a full line is the client's affair; the answer is dropped.
            if (::write(m_master, answer.data(), answer.size()) !=
                static_cast<ssize_t>(answer.size())) {
                std::fprintf(m_err, "pcr1000-sim: answer dropped: %s\n", std::strerror(errno));
            }
            m_answers.pop_front();
        }
    }

    const SimulatorOptions& m_options;
    const int m_master;
    std::FILE* const m_out;
    std::FILE* const m_err;
    const Clock::time_point m_start = Clock::now();
    UniqueFile m_transcript;
    CommandFramer m_framer;
    ReceiverModel m_model;
    std::deque<std::pair<Clock::time_point, std::string>> m_answers;
};

}  // namespace

int RunSimulator(const SimulatorOptions& options, std::FILE* out, std::FILE* err) {
    try {
        const UniqueFd signals = StopSignals();
        const PseudoTerminal pty = OpenPseudoTerminal();
        Session session(options, pty.master.Get(), out, err);
        std::optional<TerminalLink> link;
        if (options.linkPath) {
            link.emplace(*options.linkPath, pty.path);
        }
        // The path comes last, so whoever reads it finds the link in place.
        std::fprintf(out, "%s\n", pty.path.c_str());
        std::fflush(out);
        return session.Serve(signals.Get());
    } catch (const SetupError& error) {
        std::fprintf(err, "pcr1000-sim: %s\n", error.what.c_str());
        return EXIT_FAILURE;
    }
}
