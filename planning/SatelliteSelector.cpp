#include "planning/SatelliteSelector.h"

#include <string>
#include <utility>

#include "framework/StringFormat.h"
#include "planning/PassTimes.h"

SatelliteSelector::SatelliteSelector(PassTable& table, SatelliteCatalogue& catalogue,
                                     TuningExchange& exchange, ActivityLog& log, Clock now)
    : m_table(table),
      m_catalogue(catalogue),
      m_exchange(exchange),
      m_log(log),
      m_now(std::move(now)) {}

std::optional<SatelliteSelector::PassUnderWay> SatelliteSelector::FindPassUnderWay(
    std::time_t now) const {
    const int rows = m_table.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        const std::optional<std::time_t> start = m_table.GetItemTime(row, PassColumnStart);
        const std::optional<std::time_t> end = m_table.GetItemTime(row, PassColumnEnd);
        if (start && end && *start <= now && *end >= now) {
            return PassUnderWay{row, {*start, *end}};
        }
    }
    return std::nullopt;
}

void SatelliteSelector::SelectSatellite() {
    const std::optional<PassUnderWay> pass = FindPassUnderWay(m_now());
    const std::string name = pass ? m_table.GetItemText(pass->row, PassColumnName)
                                  : std::string(TuningExchange::kDefaultSatellite);
    if (m_exchange.TunedSatellite() == name) {
        m_log.LogMessage(
            ReportVerbose,
            StringPrintf("<%s> Sat <%s> is still current - Radio not being asked to retune",
                         FormatPassTime(m_now()).c_str(), name.c_str()));
        return;
    }
    if (!m_catalogue.LoadSatellite(name)) {
        m_log.LogMessage(ReportVerbose, StringPrintf("Sat <%s> could Not be loaded", name.c_str()));
        return;
    }
    m_log.LogMessage(ReportVerbose, StringPrintf("Asking Sat To Tune to <%s> Sat", name.c_str()));
    // The row below the pass comes into view, so the next passes show.
    if (pass && pass->row + 1 < m_table.GetItemCount()) {
        m_table.EnsureVisible(pass->row + 1);
    }
    m_exchange.RequestRetune(pass ? std::optional(pass->span) : std::nullopt);
}
