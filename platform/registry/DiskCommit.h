#pragma once

#include <filesystem>

// The two steps that make a written file last: flushing a file or folder to
// the disk, and renaming a file over another. Virtual so that a test can
// watch their order.
class DiskCommit {
public:
    virtual ~DiskCommit() = default;
    virtual bool Flush(const std::filesystem::path& path);
    virtual bool Rename(const std::filesystem::path& from, const std::filesystem::path& to);
};
