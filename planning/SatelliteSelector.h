#pragma once

#include <ctime>
#include <functional>
#include <optional>

#include "planning/PassTable.h"
#include "radio/SatelliteCatalogue.h"
#include "radio/TuningExchange.h"
#include "services/ActivityLog.h"

// Decides, at each check of a run, which satellite the receiver should be
// set for now: the satellite of the topmost pass under way, or "DEFAULT".
// When that differs from the satellite last tuned to, it loads the
// satellite's commands and asks the run loop to send them.
class SatelliteSelector {
public:
    // The current time, seconds since 1970 UTC.
    using Clock = std::function<std::time_t()>;

    SatelliteSelector(PassTable& table, SatelliteCatalogue& catalogue, TuningExchange& exchange,
                      ActivityLog& log, Clock now);

    void SelectSatellite();
    // The time the selection goes by.
    std::time_t Now() const { return m_now(); }

private:
    struct PassUnderWay {
        int row;
        PassSpan span;
    };
    // The topmost row whose start and end enclose `now`, bounds included.
    std::optional<PassUnderWay> FindPassUnderWay(std::time_t now) const;

    PassTable& m_table;
    SatelliteCatalogue& m_catalogue;
    TuningExchange& m_exchange;
    ActivityLog& m_log;
    Clock m_now;
};
