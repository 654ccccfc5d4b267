#include "tools/vantrel-predict/PassSchedule.h"

#include <algorithm>
#include <cmath>

namespace {

// What is left of a pass cut by a higher one is listed only when it lasts
// at least this long.
constexpr std::time_t kShortestPiece = 60;

// `piece` without the time of `taken`: nothing, itself, or one or two parts.
std::vector<ListedPass> Without(const ListedPass& piece, const ListedPass& taken) {
    if (taken.end <= piece.start || taken.start >= piece.end) {
        return {piece};
    }
    std::vector<ListedPass> left;
    if (piece.start < taken.start) {
        left.push_back(piece);
        left.back().end = taken.start;
    }
    if (taken.end < piece.end) {
        left.push_back(piece);
        left.back().start = taken.end;
    }
    return left;
}

}  // namespace

ListedPass ListWhole(std::size_t satellite, const Pass& pass) {
    return {satellite, pass, static_cast<std::time_t>(std::floor(pass.rise)),
            static_cast<std::time_t>(std::ceil(pass.set))};
}

std::vector<ListedPass> ResolveOverlaps(const std::vector<ListedPass>& passes) {
    std::vector<ListedPass> highestFirst = passes;
    std::stable_sort(highestFirst.begin(), highestFirst.end(),
                     [](const ListedPass& a, const ListedPass& b) {
                         return a.pass.peakElevationDeg > b.pass.peakElevationDeg;
                     });
    std::vector<ListedPass> kept;
    for (const ListedPass& pass : highestFirst) {
        std::vector<ListedPass> pieces{pass};
        for (const ListedPass& taken : kept) {
            std::vector<ListedPass> rest;
            for (const ListedPass& piece : pieces) {
                const std::vector<ListedPass> left = Without(piece, taken);
                rest.insert(rest.end(), left.begin(), left.end());
            }
            pieces = std::move(rest);
        }
        std::copy_if(pieces.begin(), pieces.end(), std::back_inserter(kept),
                     [&pass](const ListedPass& piece) {
                         const bool whole = piece.start == pass.start && piece.end == pass.end;
                         return whole || piece.end - piece.start >= kShortestPiece;
                     });
    }
    SortByStart(kept);
    return kept;
}

void SortByStart(std::vector<ListedPass>& passes) {
    std::stable_sort(passes.begin(), passes.end(),
                     [](const ListedPass& a, const ListedPass& b) { return a.start < b.start; });
}
