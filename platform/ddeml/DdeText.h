#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ddeml {

// Compares two names as Windows compares atoms: ASCII letters without
// regard to case. Returns -1, 0 or 1.
int CompareNoCase(std::string_view a, std::string_view b);

// The key under which a name is found whatever its letter case.
std::string FoldCase(std::string_view text);

// Copies at most capacity - 1 characters of `text` and a zero into
// `buffer` (capacity > 0); returns the number of characters copied.
std::size_t CopyTruncated(std::string_view text, char* buffer, std::size_t capacity);

}  // namespace ddeml
