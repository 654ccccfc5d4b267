#include "framework/TextFileReader.h"

#include <sys/stat.h>

namespace {

constexpr std::size_t kReadBlock = 64 * 1024;

// Linux opens a folder for reading and fails only the first read, which
// would pass for an empty file; Windows refused to open it.
UniqueFile OpenUnlessFolder(const char* path) {
    UniqueFile file(std::fopen(path, "rb"));
    struct stat status {};
    if (file && (fstat(fileno(file.get()), &status) != 0 || S_ISDIR(status.st_mode))) {
        file.reset();
    }
    return file;
}

}  // namespace

TextFileReader::TextFileReader(const char* path, std::size_t limit)
    : m_file(OpenUnlessFolder(path)), m_limit(limit), m_buffer(kReadBlock) {}

bool TextFileReader::Refill() {
    m_pos = 0;
    m_end = m_file ? std::fread(m_buffer.data(), 1, m_buffer.size(), m_file.get()) : 0;
    return m_end > 0;
}

int TextFileReader::PeekChar() {
    if (m_pos == m_end && !Refill()) {
        return EOF;
    }
    return static_cast<unsigned char>(m_buffer[m_pos]);
}

int TextFileReader::NextChar() {
    const int c = PeekChar();
    if (c != EOF) {
        ++m_pos;
    }
    return c;
}

bool TextFileReader::ReadLine(std::string& line) {
    line.clear();
    while (line.size() + 1 < m_limit) {
        int c = NextChar();
        if (c == EOF) {
            break;
        }
        if (c == '\r' && PeekChar() == '\n') {
            c = NextChar();
        }
        line.push_back(static_cast<char>(c));
        if (c == '\n') {
            break;
        }
    }
    if (line.empty()) {
        return false;
    }
    if (const auto zero = line.find('\0'); zero != std::string::npos) {
        line.resize(zero);
    }
    return true;
}
