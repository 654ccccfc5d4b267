#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/FileIdentity.h"
#include "framework/UniqueFile.h"

// Reads a text file in pieces the way the Windows C runtime's fgets did in
// text mode, since the files come from Windows programs: CR LF arrives as LF
// before anything is counted, a piece ends after LF or after `limit` - 1
// characters (so a longer line continues as the next piece), and a zero byte
// ends the piece's text as it ended the C string.
class TextFileReader {
public:
    explicit TextFileReader(const char* path, std::size_t limit = 100);

    // False when the file could not be opened or is a folder.
    bool IsOpen() const { return m_file != nullptr; }
    // The version of the file opened; nullopt when none is open.
    std::optional<FileIdentity> Identity() const {
        return m_file ? IdentityOfDescriptor(fileno(m_file.get())) : std::nullopt;
    }
    // The next piece, its LF kept when it fits; false at end of file or on a
    // read error.
    bool ReadLine(std::string& line);

private:
    int NextChar();
    int PeekChar();
    bool Refill();

    UniqueFile m_file;
    std::size_t m_limit;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
};
