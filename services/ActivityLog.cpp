#include "services/ActivityLog.h"

void ActivityLog::LogMessage(std::int32_t level, std::string_view text) {
    if (level >= m_nReportLevel) {
        m_view.InsertLineAtTop(text);
    }
}
