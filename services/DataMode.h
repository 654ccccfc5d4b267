#pragma once

#include <cstdint>

// Where the pass times come from.
enum DataMode : std::int32_t {
    DataModeDde = 0,
    DataModeFile = 1,
};
