#pragma once

#include <algorithm>
#include <string>

// Upper-cases the ASCII letters only, whatever the process's locale.
inline void AsciiUpperCase(std::string& text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
}

inline void RemoveAll(std::string& text, char unwanted) {
    text.erase(std::remove(text.begin(), text.end(), unwanted), text.end());
}
