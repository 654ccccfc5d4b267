#pragma once

#include <functional>
#include <string_view>
#include <utility>

// Developer diagnostics: trace lines and assertions. They go to stderr,
// never to the user's activity log; tests may catch them instead.

// Writes a printf-style trace line (the text brings its own line feed).
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

using TraceSink = std::function<void(std::string_view text)>;
// Sends trace lines to `sink` instead of stderr; returns the previous sink.
// An empty sink means stderr.
TraceSink SetTraceSink(TraceSink sink);

// Trace lines go to `sink` for as long as this lives; the sink before it
// comes back at its end.
class ScopedTraceSink {
public:
    explicit ScopedTraceSink(TraceSink sink) : m_previous(SetTraceSink(std::move(sink))) {}
    ~ScopedTraceSink() { SetTraceSink(std::move(m_previous)); }
    ScopedTraceSink(const ScopedTraceSink&) = delete;
    ScopedTraceSink& operator=(const ScopedTraceSink&) = delete;

private:
    TraceSink m_previous;
};

struct AssertionFailure {
    const char* file;
    int line;
    const char* expression;
};
using AssertionHandler = std::function<void(const AssertionFailure&)>;
// Replaces the reaction to a failed assertion; returns the previous handler.
// The default reports file and line on stderr and aborts; an empty handler
// restores it.
AssertionHandler SetAssertionHandler(AssertionHandler handler);

void ReportAssertionFailure(const char* file, int line, const char* expression);

// A precondition or invariant: a violation is a programming error.
#define VANTREL_ASSERT(condition)                                     \
    do {                                                              \
        if (!(condition)) {                                           \
            ::ReportAssertionFailure(__FILE__, __LINE__, #condition); \
        }                                                             \
    } while (false)
