#include "tools/pcr1000-sim/Transcript.h"

#include "framework/StringFormat.h"

std::string TranscriptLine(std::chrono::milliseconds sinceStart, std::string_view raw) {
    const long long milliseconds = sinceStart.count();
    std::string line = StringPrintf("%lld.%03lld\t", milliseconds / 1000, milliseconds % 1000);
    for (const char byte : raw) {
        switch (byte) {
            case '\r':
                line += "\\r";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\0':
                line += "\\0";
                break;
            default:
                line += byte;
        }
    }
    line += '\n';
    return line;
}
