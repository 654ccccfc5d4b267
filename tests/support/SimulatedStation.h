#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempDir.h"

// A receiving station for one test: a folder standing in for ~/.config
// (XDG_CONFIG_HOME) with pcr1000-sim linked as COM1 and writing a
// transcript, and a working folder, made the current directory, for
// Vantrel.ini and PassList.txt. Needs PCR1000_SIM_PATH.
class SimulatedStation {
public:
    // A DEFAULT line and one satellite, as a station's Vantrel.ini has them.
    static constexpr std::string_view kCatalogue =
        "NOAA 19, 137.1, WFM, 230, 50, 30\n"
        "DEFAULT, 137.5, WFM, 230, 0, 100\n";
    static constexpr std::string_view kDefaultCommands[] = {"K00137500000 060400\\r\\n",
                                                            "J4000\\r\\n", "J41FF\\r\\n"};
    static constexpr std::string_view kNoaa19Commands[] = {"K00137100000 060400\\r\\n",
                                                           "J407F\\r\\n", "J414C\\r\\n"};

    explicit SimulatedStation(std::vector<std::string> simulatorOptions = {})
        : m_simulatorOptions(std::move(simulatorOptions)) {
        std::filesystem::create_directories(WorkFolder());
        m_workingDirectory = std::make_unique<ScopedWorkingDirectory>(WorkFolder());
        StartSimulator();
    }

    std::filesystem::path ConfigFolder() const { return m_dir.Path() / "config"; }
    std::filesystem::path WorkFolder() const { return m_dir.Path() / "work"; }
    std::filesystem::path Com1() const {
        return ConfigFolder() / "vantrel" / "dosdevices" / "com1";
    }
    std::filesystem::path TranscriptFile() const { return m_dir.Path() / "transcript.txt"; }

    void WriteCatalogue(std::string_view contents) const {
        m_dir.Write("work/Vantrel.ini", contents);
    }
    void WritePassList(std::string_view contents) const {
        m_dir.Write("work/PassList.txt", contents);
    }
    // A PassList.txt line for a pass of `seconds` starting at `start`.
    static std::string PassLine(std::time_t start, int seconds, std::string_view name) {
        std::tm utc{};
        gmtime_r(&start, &utc);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &utc);
        return std::string(stamp) + " S 348 " + std::to_string(seconds) + " " + std::string(name) +
               "\r\n";
    }

    // The commands the receiver got, oldest first, as the transcript shows
    // them (CR, LF and zero bytes written as \r, \n and \0).
    std::vector<std::string> Commands() const {
        std::vector<std::string> commands;
        std::ifstream transcript(TranscriptFile());
        for (std::string line; std::getline(transcript, line);) {
            commands.push_back(line.substr(line.find('\t') + 1));
        }
        return commands;
    }
    // Waits until the receiver has got `count` commands or `limit` has passed.
    bool AwaitCommands(std::size_t count, std::chrono::milliseconds limit) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (Commands().size() < count) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    SimulatorProcess& Simulator() { return *m_simulator; }
    // Kills the receiver's side. COM1 then leads nowhere: its link is left
    // dangling, so it can never fall back to a real /dev/ttyS0.
    void StopSimulator() {
        m_simulator.reset();
        std::error_code ignored;
        std::filesystem::remove(Com1(), ignored);
        std::filesystem::create_symlink(m_dir.Path() / "no-receiver", Com1(), ignored);
    }
    void StartSimulator() {
        std::vector<std::string> options{"--link", Com1().string(), "--transcript",
                                         TranscriptFile().string()};
        options.insert(options.end(), m_simulatorOptions.begin(), m_simulatorOptions.end());
        m_simulator = std::make_unique<SimulatorProcess>(options);
        m_simulator->TerminalPath();
    }

private:
    TempDir m_dir;
    ScopedEnvironmentVariable m_configHome{"XDG_CONFIG_HOME", (m_dir.Path() / "config").string()};
    std::vector<std::string> m_simulatorOptions;
    std::unique_ptr<ScopedWorkingDirectory> m_workingDirectory;
    std::unique_ptr<SimulatorProcess> m_simulator;
};
