#include "radio/TuningExchange.h"

#include "framework/LeadingNumber.h"
#include "framework/StringFormat.h"

TuningExchange::TuningExchange(SatelliteCatalogue& catalogue, ActivityLog& log)
    : m_catalogue(catalogue), m_log(log) {}

bool TuningExchange::NextRadioCommand(std::string& command) {
    if (!m_catalogue.Queue().TakeOldest(command)) {
        m_hWriteEvent.Reset();
        return false;
    }
    m_log.LogMessage(ReportVerbose, "Got Radio Command");
    return true;
}

void TuningExchange::ReportTuning(std::string_view passLengthText) {
    const SatelliteSettings& s = m_catalogue.Settings();
    const auto report = [this](const std::string& line) {
        m_log.LogMessage(ReportTuningOnly, line);
    };
    report(StringPrintf("Tune Radio to Sat <%s>", m_catalogue.LoadedSatellite().c_str()));
    report(StringPrintf("      Freq    <%s> Mhz", s.m_strFrequency.c_str()));
    report(StringPrintf("      Mode    <%s>", s.m_strMode.c_str()));
    report(StringPrintf("      Filter  <%s> Khz", s.m_strFilter.c_str()));
    report(StringPrintf("      Vol     <%s>%%", s.m_strVolume.c_str()));
    report(StringPrintf("      Squelch <%s>%%", s.m_strSquelch.c_str()));
    report("Tell Radio to Tune etc.");
    if (m_strTunedSat != kDefaultSatellite) {
        // A length that is no number, or none that fits, reads as 0.
        report(StringPrintf("Length of Pass set to <%d> Seconds",
                            LeadingInt32(passLengthText).value_or(0)));
    }
}
