#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "orbit/ElementSet.h"

// A set that could not be read: the file's line (counted from 1), the
// satellite as far as it is known, and what is wrong.
struct ElementFileProblem {
    int line = 0;
    std::string satellite;
    std::string text;
};

struct ElementFile {
    std::vector<ElementSet> sets;
    std::vector<ElementFileProblem> problems;
};

// Reads a file of element sets as CelesTrak writes them: a name line
// (perhaps after "0 ") before each two lines, or two lines alone (named by
// the catalogue number). Line ends may be LF or CR LF; blank lines are
// passed over. Each set that cannot be read is left out with a problem.
ElementFile ReadElementFile(std::string_view contents);
