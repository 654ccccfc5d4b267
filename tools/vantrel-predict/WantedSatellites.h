#pragma once

#include <optional>
#include <string>
#include <vector>

#include "orbit/ElementSet.h"

// The element sets to predict, and the wanted satellites the file has no
// set for.
struct SatelliteChoice {
    std::vector<ElementSet> chosen;
    std::vector<std::string> missing;
};

// The sets whose names the catalogue would find a line for in the file
// `catalogue` (the DEFAULT line aside); a line that finds no set is missing,
// named by its first field. nullopt when the file cannot be read.
std::optional<SatelliteChoice> ChooseByCatalogue(const std::vector<ElementSet>& sets,
                                                 const std::string& catalogue);

// The sets of exactly these names.
SatelliteChoice ChooseByName(const std::vector<ElementSet>& sets,
                             const std::vector<std::string>& names);
