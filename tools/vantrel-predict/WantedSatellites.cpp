#include "tools/vantrel-predict/WantedSatellites.h"

#include <algorithm>

#include "framework/TextFileReader.h"
#include "radio/SatelliteCatalogue.h"
#include "radio/TuningExchange.h"

namespace {

// The set of `name` with the latest epoch: a file may hold a satellite twice.
const ElementSet* NewestSet(const std::vector<ElementSet>& sets, std::string_view name) {
    const ElementSet* newest = nullptr;
    for (const ElementSet& set : sets) {
        if (set.name == name && (!newest || set.epoch.DaysSince(newest->epoch) > 0)) {
            newest = &set;
        }
    }
    return newest;
}

// What a catalogue line calls its satellite: its text up to the first comma,
// without the blanks around it.
std::string LineName(const std::string& line) {
    std::string name = line.substr(0, line.find(','));
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    name.erase(std::find_if_not(name.rbegin(), name.rend(), isBlank).base(), name.end());
    name.erase(name.begin(), std::find_if_not(name.begin(), name.end(), isBlank));
    return name;
}

void AddOnce(std::vector<ElementSet>& chosen, const ElementSet& set) {
    if (std::none_of(chosen.begin(), chosen.end(),
                     [&](const ElementSet& other) { return other.name == set.name; })) {
        chosen.push_back(set);
    }
}

}  // namespace

std::optional<SatelliteChoice> ChooseByCatalogue(const std::vector<ElementSet>& sets,
                                                 const std::string& catalogue) {
    TextFileReader file(catalogue.c_str());
    if (!file.IsOpen()) {
        return std::nullopt;
    }
    SatelliteChoice choice;
    for (std::string line; file.ReadLine(line);) {
        const std::string name = LineName(line);
        if (IsCatalogueComment(line) || name.empty() ||
            CatalogueLineNames(line, TuningExchange::kDefaultSatellite)) {
            continue;
        }
        bool found = false;
        for (const ElementSet& set : sets) {
            if (CatalogueLineNames(line, set.name)) {
                AddOnce(choice.chosen, *NewestSet(sets, set.name));
                found = true;
            }
        }
        if (!found) {
            choice.missing.push_back(name);
        }
    }
    return choice;
}

SatelliteChoice ChooseByName(const std::vector<ElementSet>& sets,
                             const std::vector<std::string>& names) {
    SatelliteChoice choice;
    for (const std::string& name : names) {
        if (const ElementSet* set = NewestSet(sets, name)) {
            AddOnce(choice.chosen, *set);
        } else {
            choice.missing.push_back(name);
        }
    }
    return choice;
}
