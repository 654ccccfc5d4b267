#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/kernel/Event.h"
#include "platform/kernel/Wait.h"
#include "platform/kernel/WaitableTimer.h"
#include "serial/serialport.h"
#include "tests/serial/FakeReceiverLine.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/SimulatorProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuMilliseconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto toMs = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
    };
    return toMs(usage.ru_utime) + toMs(usage.ru_stime);
}

void OpenRadioPort(CSerialPort& port) {
    port.Open(1, 9600, ParityNone, 8, StopBitsOne, FlowXonXoff, true);
}

// Plays the receiver's side: on each request it sends one reply and notes
// when the write of its last byte returned.
class ReplySender {
public:
    explicit ReplySender(const FakeReceiverLine& line) : m_line(line) {
        m_thread = std::thread([this] { Run(); });
    }
    ~ReplySender() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    ReplySender(const ReplySender&) = delete;
    ReplySender& operator=(const ReplySender&) = delete;

    void Request(std::string reply) {
        const std::lock_guard lock(m_mutex);
        m_reply = std::move(reply);
        m_sent.reset();
        m_changed.notify_all();
    }

    Clock::time_point LastByteSent() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_sent.has_value(); });
        return *m_sent;
    }

private:
    void Run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stop || !m_reply.empty(); });
            if (m_stop) {
                return;
            }
            const std::string reply = std::exchange(m_reply, {});
            lock.unlock();
            // Let the port's read start first, as when a receiver answers a command.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            m_line.Send(reply);
            const Clock::time_point sent = Clock::now();
            lock.lock();
            m_sent = sent;
            m_changed.notify_all();
        }
    }

    const FakeReceiverLine& m_line;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_reply;
    std::optional<Clock::time_point> m_sent;
    bool m_stop = false;
    std::thread m_thread;
};

// From the last byte of a reply arriving to ReceiveReply returning. A reply
// of 6 bytes for 8 asked ends by the 50 ms quiet rule; one of 8 bytes ends
// when its last byte is there.
void BM_ReplyLatency(benchmark::State& state) {
    const ConfigHome home;
    const FakeReceiverLine line(home.Path());
    CSerialPort port;
    OpenRadioPort(port);
    ReplySender sender(line);
    const std::string reply = state.range(0) == 8 ? "H101\r\nxy" : "H101\r\n";
    for (auto _ : state) {
        sender.Request(reply);
        if (!port.ReceiveReply(8)) {
            state.SkipWithError("no reply");
            break;
        }
        const Clock::time_point returned = Clock::now();
        state.SetIterationTime(
            std::chrono::duration<double>(returned - sender.LastByteSent()).count());
    }
}
BENCHMARK(BM_ReplyLatency)
    ->Arg(6)
    ->Arg(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

// The simulator's own answer time: a query written to its terminal and the
// answer read back through a plain descriptor, without CSerialPort.
void BM_SimulatorAnswerTime(benchmark::State& state) {
    const ConfigHome home;
    SimulatorProcess simulator({});
    const UniqueFd fd(::open(simulator.TerminalPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios line{};
    ::tcgetattr(fd.Get(), &line);
    ::cfmakeraw(&line);
    ::tcsetattr(fd.Get(), TCSANOW, &line);
    for (auto _ : state) {
        if (::write(fd.Get(), "H1?\r\n", 5) != 5) {
            state.SkipWithError("write failed");
            break;
        }
        std::string answer;
        char chunk[16];
        pollfd readable{fd.Get(), POLLIN, 0};
        while (answer.find('\n') == std::string::npos && ::poll(&readable, 1, 3000) == 1) {
            const ssize_t got = ::read(fd.Get(), chunk, sizeof chunk);
            if (got <= 0) {
                break;
            }
            answer.append(chunk, static_cast<std::size_t>(got));
        }
        if (answer != "H100\r\n") {
            state.SkipWithError("wrong answer");
            break;
        }
    }
}
BENCHMARK(BM_SimulatorAnswerTime)->Unit(benchmark::kMillisecond)->UseRealTime();

// A command written through the shared record and its reply taken with
// ReceiveReply, as the run loop does, against the simulator.
void BM_RoundTripThroughSimulator(benchmark::State& state) {
    const ConfigHome home;
    SimulatorProcess simulator(
        {"--link", (home.Path() / "vantrel" / "dosdevices" / "com1").string()});
    simulator.TerminalPath();
    CSerialPort port;
    OpenRadioPort(port);
    for (auto _ : state) {
        port.Write("H1?\r\n", 5, g_radioOverlapped);
        if (!port.ReceiveReply(8)) {
            state.SkipWithError("no reply");
            break;
        }
    }
}
BENCHMARK(BM_RoundTripThroughSimulator)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(40);

// CPU time of the whole process while ReceiveReply waits its 3000 ms for a
// receiver that never answers.
void BM_SilentReceiverWaitCpu(benchmark::State& state) {
    const ConfigHome home;
    SimulatorProcess simulator(
        {"--silent", "--link", (home.Path() / "vantrel" / "dosdevices" / "com1").string()});
    simulator.TerminalPath();
    CSerialPort port;
    OpenRadioPort(port);
    port.Write("H1?\r\n", 5, g_radioOverlapped);
    double cpu = 0;
    for (auto _ : state) {
        const double before = CpuMilliseconds();
        if (port.ReceiveReply(8)) {
            state.SkipWithError("a silent receiver answered");
        }
        cpu = CpuMilliseconds() - before;
    }
    state.counters["cpu_ms"] = cpu;
}
BENCHMARK(BM_SilentReceiverWaitCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// CPU time while a wait on the run loop's three sources sleeps for a second.
void BM_IdleRunLoopSourcesWaitCpu(benchmark::State& state) {
    Event radio(EventReset::Manual, false);
    Event write(EventReset::Manual, false);
    WaitableTimer timer;
    Waitable* const sources[] = {&radio, &write, &timer};
    double cpu = 0;
    for (auto _ : state) {
        const double before = CpuMilliseconds();
        if (WaitForMultipleObjects(sources, 1000) != WAIT_TIMEOUT) {
            state.SkipWithError("an idle source woke the wait");
        }
        cpu = CpuMilliseconds() - before;
    }
    state.counters["cpu_ms"] = cpu;
}
BENCHMARK(BM_IdleRunLoopSourcesWaitCpu)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
