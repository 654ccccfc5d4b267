#include "framework/Diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "framework/StringFormat.h"

namespace {

TraceSink& CurrentTraceSink() {
    static TraceSink sink;
    return sink;
}

AssertionHandler& CurrentAssertionHandler() {
    static AssertionHandler handler;
    return handler;
}

}  // namespace

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = StringPrintfV(format, args);
    va_end(args);
    if (const TraceSink& sink = CurrentTraceSink()) {
        sink(text);
    } else {
        std::fputs(text.c_str(), stderr);
    }
}

TraceSink SetTraceSink(TraceSink sink) {
    return std::exchange(CurrentTraceSink(), std::move(sink));
}

AssertionHandler SetAssertionHandler(AssertionHandler handler) {
    return std::exchange(CurrentAssertionHandler(), std::move(handler));
}

void ReportAssertionFailure(const char* file, int line, const char* expression) {
    if (const AssertionHandler& handler = CurrentAssertionHandler()) {
        handler(AssertionFailure{file, line, expression});
        return;
    }
    std::fprintf(stderr, "%s(%d): assertion failed: %s\n", file, line, expression);
    std::abort();
}
