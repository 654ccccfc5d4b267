#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets an environment variable (or removes it, given nullopt) until the end
// of the scope, then restores what was there.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(std::string name, const std::optional<std::string>& value)
        : m_name(std::move(name)) {
        if (const char* previous = std::getenv(m_name.c_str())) {
            m_previous = previous;
        }
        Set(value);
    }
    ~ScopedEnvironmentVariable() { Set(m_previous); }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    void Set(const std::optional<std::string>& value) const {
        if (value) {
            setenv(m_name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }

    std::string m_name;
    std::optional<std::string> m_previous;
};

// The process's local time zone for one scope, as a TZ value
// ("<+04>-4", "CET-1CEST,M3.5.0,M10.5.0/3", "UTC0").
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& tz) {
        m_variable.emplace("TZ", tz);
        tzset();
    }
    ~ScopedTimeZone() {
        m_variable.reset();
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<ScopedEnvironmentVariable> m_variable;
};
