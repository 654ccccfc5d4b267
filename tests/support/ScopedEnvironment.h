#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets an environment variable until the end of the scope, then restores it.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(std::string name, const std::string& value)
        : m_name(std::move(name)) {
        if (const char* previous = std::getenv(m_name.c_str())) {
            m_previous = previous;
        }
        setenv(m_name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironmentVariable() {
        if (m_previous) {
            setenv(m_name.c_str(), m_previous->c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

// The local time zone for one scope, as a TZ value such as "<+04>-4".
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& tz) : m_tz("TZ", tz) { tzset(); }

private:
    // Members end in reverse order: TZ is restored first, then read again.
    struct RereadOnExit {
        ~RereadOnExit() { tzset(); }
    } m_reread;
    ScopedEnvironmentVariable m_tz;
};
