#pragma once

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "orbit/Frames.h"
#include "orbit/PassSearch.h"

// The passes skyfield found (skyfield-passes.txt, made by make-golden.py):
// for each satellite and station, the window searched and each pass's rise,
// set and highest elevation (peakTime is left 0).
struct GoldenWindow {
    std::string satellite;
    GeodeticPosition station;
    PassWindow window;
    std::vector<Pass> passes;
};

inline std::vector<GoldenWindow> ReadGolden(const std::string& path) {
    std::vector<GoldenWindow> windows;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line);
        words.imbue(std::locale::classic());
        std::string kind;
        words >> kind;
        if (kind == "window") {
            GoldenWindow& w = windows.emplace_back();
            words >> w.satellite >> w.station.latitudeDeg >> w.station.longitudeDeg >>
                w.window.start >> w.window.end;
            std::replace(w.satellite.begin(), w.satellite.end(), '_', ' ');
        } else if (kind == "pass") {
            Pass& pass = windows.back().passes.emplace_back();
            words >> pass.rise >> pass.set >> pass.peakElevationDeg;
        }
    }
    return windows;
}
