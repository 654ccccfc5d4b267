#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets (or, with nullopt, removes) an environment variable until the end of
// the scope, then puts back what was there.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(std::string name, const std::optional<std::string>& value)
        : m_name(std::move(name)) {
        if (const char* previous = std::getenv(m_name.c_str())) {
            m_previous = previous;
        }
        Apply(value);
    }
    ~ScopedEnvironmentVariable() { Apply(m_previous); }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    void Apply(const std::optional<std::string>& value) const {
        if (value) {
            setenv(m_name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }

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
