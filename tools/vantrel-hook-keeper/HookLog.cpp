#include "tools/vantrel-hook-keeper/HookLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/kernel/UniqueFd.h"

namespace {

// Creates the folders of `folder` that are missing, private to the user as
// the XDG rules ask for state folders.
void CreateFolders(const std::filesystem::path& folder) {
    std::filesystem::path made;
    for (const std::filesystem::path& part : folder) {
        made /= part;
        ::mkdir(made.c_str(), 0700);
    }
}

UniqueFd OpenForAppending(const std::filesystem::path& file) {
    return UniqueFd(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
}

bool WriteAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

HookLog::HookLog(std::filesystem::path file, std::string satellite, Clock now)
    : m_file(std::move(file)), m_satellite(std::move(satellite)), m_now(std::move(now)) {}

void HookLog::Take(std::string_view output) {
    for (std::size_t end; (end = output.find('\n')) != std::string_view::npos;) {
        m_unfinished.append(output.substr(0, end));
        WriteLine(m_unfinished);
        m_unfinished.clear();
        output.remove_prefix(end + 1);
    }
    m_unfinished.append(output);
    while (m_unfinished.size() >= kLongestLine) {
        WriteLine(std::string_view(m_unfinished).substr(0, kLongestLine));
        m_unfinished.erase(0, kLongestLine);
    }
}

void HookLog::Finish() {
    if (!m_unfinished.empty()) {
        WriteLine(m_unfinished);
        m_unfinished.clear();
    }
}

void HookLog::WriteLine(std::string_view line) {
    const std::time_t now = m_now();
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    const std::string text =
        std::string(stamp) + " <" + m_satellite + "> " + std::string(line) + "\n";
    if (!Append(text)) {
        WriteAll(STDERR_FILENO, text);
    }
}

bool HookLog::Append(const std::string& line) const {
    if (m_file.empty()) {
        return false;
    }
    UniqueFd file = OpenForAppending(m_file);
    if (!file.IsValid() && errno == ENOENT) {
        CreateFolders(m_file.parent_path());
        file = OpenForAppending(m_file);
    }
    // One write, so that lines of keepers writing at once do not mix.
    return file.IsValid() &&
           ::write(file.Get(), line.data(), line.size()) == static_cast<ssize_t>(line.size());
}
