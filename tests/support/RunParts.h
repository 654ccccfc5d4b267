#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "planning/PassScheduler.h"
#include "planning/PlainMessagePump.h"
#include "platform/kernel/FileTime.h"
#include "radio/Pcr1000Link.h"

// Log lines that a run on another thread writes while the test waits for them.
class SharedLogLines final : public LogView {
public:
    void InsertLineAtTop(std::string_view text) override {
        const std::lock_guard lock(m_mutex);
        m_lines.emplace_back(text);
        m_added.notify_all();
    }
    void RemoveAllLines() override {
        const std::lock_guard lock(m_mutex);
        m_lines.clear();
    }

    // Oldest first.
    std::vector<std::string> Lines() const {
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }
    // Waits until `count` lines hold `text`, or `limit` has passed.
    bool AwaitLines(std::string_view text, std::size_t count,
                    std::chrono::milliseconds limit) const {
        std::unique_lock lock(m_mutex);
        return m_added.wait_for(lock, limit, [&] { return CountLocked(text) >= count; });
    }
    std::size_t Count(std::string_view text) const {
        const std::lock_guard lock(m_mutex);
        return CountLocked(text);
    }

private:
    std::size_t CountLocked(std::string_view text) const {
        return static_cast<std::size_t>(std::count_if(
            m_lines.begin(), m_lines.end(),
            [text](const std::string& line) { return line.find(text) != std::string::npos; }));
    }

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_added;
    std::vector<std::string> m_lines;
};

// Front-end stand-ins that keep what they are given.
class RecordingCancelButton final : public CancelButton {
public:
    void SetCaption(std::string_view caption) override { captions.emplace_back(caption); }
    std::vector<std::string> captions;
};

class RecordingTuningListener final : public TuningListener {
public:
    void OnTuningSent(const SentTuning& tuning) override {
        sent.push_back(tuning);
        if (next != nullptr) {
            next->OnTuningSent(tuning);
        }
    }
    std::vector<SentTuning> sent;
    // Told as well when set (a hook under test).
    TuningListener* next = nullptr;
};

class RecordingMessageBoxes final : public MessageBoxPresenter {
public:
    void ShowMessageBox(std::string_view text) override { shown.emplace_back(text); }
    std::vector<std::string> shown;
};

// The parts of a run on the plain message pump, put together as the tuner
// puts them; Vantrel.ini is read from the working directory.
struct RunParts {
    explicit RunParts(SatelliteSelector::Clock clock = CurrentCalendarTime)
        : selector(table, catalogue, exchange, log, std::move(clock)) {}
    ~RunParts() { EndRun(); }
    RunParts(const RunParts&) = delete;
    RunParts& operator=(const RunParts&) = delete;

    // Starts a run on another thread, as "Next Pass" would, with the
    // PCR-1000 on its port or with `link`.
    void StartRun(const RunSettings& settings) { StartRun(settings, receiver); }
    void StartRun(const RunSettings& settings, ReceiverLink& link) {
        run = std::async(std::launch::async,
                         [this, settings, &link] { scheduler.OnNextPass(link, settings); });
    }
    // Waits up to `limit` for the run to end; true when it did (an
    // exception that ended it is thrown here).
    bool AwaitRunEnd(std::chrono::milliseconds limit) {
        if (run.wait_for(limit) != std::future_status::ready) {
            return false;
        }
        run.get();
        return true;
    }
    // Asks the run to quit and waits up to `limit` for it to end.
    bool QuitRun(std::chrono::milliseconds limit) {
        pump.RequestQuit();
        return AwaitRunEnd(limit);
    }
    // A run that a failed test left going must end before what it uses:
    // the parts, and the station of a fixture built on them.
    void EndRun() {
        if (run.valid()) {
            pump.RequestQuit();
            run.wait();
        }
    }

    SharedLogLines view;
    ActivityLog log{view};
    RecordingMessageBoxes messages;
    PlainMessagePump pump;
    RecordingCancelButton cancelButton;
    RecordingTuningListener tunings;
    PassRows table;
    CSerialPort port;
    SatelliteCatalogue catalogue{log, messages};
    TuningExchange exchange{catalogue, log};
    PassListReader reader{table, log, messages, pump};
    SatelliteSelector selector;
    Pcr1000Link receiver{port, log, pump};
    PassScheduler scheduler{log, reader, selector, exchange, pump, cancelButton, tunings};
    std::future<void> run;
};
