#pragma once

#include <cstdint>
#include <string>

// One satellite's receiver settings as read from Vantrel.ini: the texts as
// written (upper-cased, spaces removed), kept for the tuning report, and the
// numbers converted from them.
struct SatelliteSettings {
    std::int32_t m_nModeCode = 0;
    std::int32_t m_nFilterCode = 0;
    std::int32_t m_nVolume = 0;
    std::int32_t m_nSquelch = 0;
    double m_dFrequencyMHz = 0.0;
    std::string m_strFrequency;
    std::string m_strMode;
    std::string m_strFilter;
    std::string m_strVolume;
    std::string m_strSquelch;
    // Once the DSP keyword is recognised it holds the DSP-on command instead.
    std::string m_strDsp;
    std::string m_strDspLevel;
};
