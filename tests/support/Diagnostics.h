#pragma once

#include <string>
#include <vector>

#include "framework/Diagnostics.h"

// Collects trace lines and failed assertions for one test instead of
// printing them (or aborting).
class CapturedDiagnostics {
public:
    CapturedDiagnostics()
        : m_traceSink([this](std::string_view text) { traces.emplace_back(text); }),
          m_previousHandler(SetAssertionHandler(
              [this](const AssertionFailure& failure) { assertions.push_back(failure); })) {}
    ~CapturedDiagnostics() { SetAssertionHandler(std::move(m_previousHandler)); }
    CapturedDiagnostics(const CapturedDiagnostics&) = delete;
    CapturedDiagnostics& operator=(const CapturedDiagnostics&) = delete;

    std::vector<std::string> traces;
    std::vector<AssertionFailure> assertions;

private:
    ScopedTraceSink m_traceSink;
    AssertionHandler m_previousHandler;
};
