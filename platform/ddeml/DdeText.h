#pragma once

#include <string>
#include <string_view>

namespace ddeml {

// Compares two names as Windows compares atoms: ASCII letters without
// regard to case. Returns -1, 0 or 1.
int CompareNoCase(std::string_view a, std::string_view b);

// The key under which a name is found whatever its letter case.
std::string FoldCase(std::string_view text);

}  // namespace ddeml
