#pragma once

#include <string>
#include <string_view>

#include "framework/StringFormat.h"
#include "planning/PassListReader.h"
#include "services/MessageBoxPresenter.h"
#include "services/QuitRequester.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

// Stand-ins for a front end that nobody watches.
class IgnoredMessageBoxes final : public MessageBoxPresenter {
public:
    void ShowMessageBox(std::string_view) override {}
};

class NoRunToQuit final : public QuitRequester {
public:
    void RequestQuit() override {}
};

// A WxTrack pass list of `passes` lines with Windows line ends, passes
// spread over a year, so a zone with daylight saving meets both halves.
inline std::string SamplePassList(int passes) {
    std::string contents;
    for (int i = 0; i < passes; ++i) {
        contents += StringPrintf("2026%02d%02d%02d0723 S 48 %d NOAA %d\r\n", i / 672 % 12 + 1,
                                 i / 24 % 28 + 1, i % 24, 600 + i % 300, 15 + i % 5);
    }
    return contents;
}

// A folder with a 100,000-line pass list, to be read in a zone with daylight
// saving, and what a reader needs besides.
struct SamplePassListFolder {
    static constexpr int kPasses = 100'000;

    SamplePassListFolder() { dir.Write(PassListReader::kFileName, SamplePassList(kPasses)); }

    ScopedTimeZone tz{"CET-1CEST,M3.5.0,M10.5.0/3"};
    TempDir dir;
    IgnoredMessageBoxes messages;
    NoRunToQuit quit;
};
