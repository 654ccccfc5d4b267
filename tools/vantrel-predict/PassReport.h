#pragma once

#include <ctime>
#include <iosfwd>
#include <string>
#include <vector>

// One listed pass as a person reads it.
struct ReportRow {
    std::time_t start = 0;
    std::time_t end = 0;
    double peakElevationDeg = 0;
    double peakAzimuthDeg = 0;
    bool northbound = false;
    std::string name;
};

// The passes in aligned columns under a heading: start and end in local
// time (TZ honoured), length, highest elevation and its azimuth, heading at
// mid-pass and name. Numbers are written the same in every locale.
void PrintPassReport(const std::vector<ReportRow>& rows, std::ostream& out);
