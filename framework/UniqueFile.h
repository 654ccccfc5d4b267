#pragma once

#include <cstdio>
#include <memory>

// Owns a C stream and closes it at the end of its life.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;
