#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

// Changes the case of ASCII letters only, whatever the process's locale.
inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline void AsciiUpperCase(std::string& text) {
    std::transform(text.begin(), text.end(), text.begin(), AsciiUpper);
}

// Whether `text` holds an ASCII control character (below the blank, or DEL).
inline bool HasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// Whether `name` reads back as written where names are trimmed and end at a
// control character: not empty, no blank at either end, no control character.
inline bool IsCleanName(std::string_view name) {
    return !name.empty() && name.front() != ' ' && name.back() != ' ' &&
           !HasControlCharacters(name);
}

// `text` without the characters of `blanks` at either end.
inline std::string_view AsciiTrimmed(std::string_view text, std::string_view blanks) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

inline void RemoveAll(std::string& text, char unwanted) {
    text.erase(std::remove(text.begin(), text.end(), unwanted), text.end());
}

// Copies at most capacity - 1 characters of `text` and a zero into `buffer`
// (capacity > 0), as the C interfaces' caller-sized buffers expect; returns
// the number of characters copied.
inline std::size_t CopyTruncated(std::string_view text, char* buffer, std::size_t capacity) {
    const std::size_t count = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count;
}
