#pragma once

#include <cstdint>
#include <string_view>

#include "services/LogView.h"

enum ReportLevel : std::int32_t {
    ReportVerbose = 0,
    ReportTuningOnly = 1,
};

// The one place where the application tells the user what it does. A line
// is shown when its level reaches the threshold; newest lines go on top.
class ActivityLog {
public:
    explicit ActivityLog(LogView& view) : m_view(view) {}

    // `text` is a finished line; it is shown as it is, without stamp or tag.
    void LogMessage(std::int32_t level, std::string_view text);

    std::int32_t ReportLevelThreshold() const { return m_nReportLevel; }
    // Any value is accepted, as the settings store may hold any number.
    void SetReportLevelThreshold(std::int32_t level) { m_nReportLevel = level; }

    // The "Reporting" menu.
    void OnReportingVerbose() { m_nReportLevel = ReportVerbose; }
    void OnReportingTuning() { m_nReportLevel = ReportTuningOnly; }
    // "Error Only" has no level of its own: it shows what "Verbose" shows.
    void OnReportingErrorOnly() { m_nReportLevel = ReportVerbose; }

    // The "Clear List" button; the threshold stays.
    void OnClearList() { m_view.RemoveAllLines(); }

private:
    LogView& m_view;
    std::int32_t m_nReportLevel = ReportVerbose;
};
