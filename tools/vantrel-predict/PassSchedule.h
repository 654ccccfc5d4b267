#pragma once

#include <cstddef>
#include <ctime>
#include <vector>

#include "orbit/PassSearch.h"

// A pass as the list gives it: the whole pass, and the whole seconds of it
// that are listed.
struct ListedPass {
    // Which of the predicted satellites.
    std::size_t satellite = 0;
    Pass pass;
    std::time_t start = 0;
    std::time_t end = 0;
};

// The pass listed whole: from the second it rises in to the one it sets in.
ListedPass ListWhole(std::size_t satellite, const Pass& pass);

// Where passes overlap, the one that climbs higher keeps its whole time and
// the other keeps what lies outside it, in one or two pieces of at least a
// minute. Sorted by start.
std::vector<ListedPass> ResolveOverlaps(const std::vector<ListedPass>& passes);

void SortByStart(std::vector<ListedPass>& passes);
