#pragma once

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

// A number field of /proc/self/status (in kB for the memory ones); -1 when
// there is none.
inline long ProcessStatusField(std::string_view name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(name) && line.size() > name.size() && line[name.size()] == ':') {
            return std::strtol(line.c_str() + name.size() + 1, nullptr, 10);
        }
    }
    return -1;
}
