#pragma once

#include <filesystem>

#include "platform/registry/DiskCommit.h"

// A new, empty file of a unique name: the name of `beside` followed by a
// dot and six characters. It is removed again unless it has been renamed.
class ScratchFile {
public:
    explicit ScratchFile(const std::filesystem::path& beside);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    bool IsCreated() const { return !m_path.empty(); }
    const std::filesystem::path& Path() const { return m_path; }

    // Gives the file the name `target`, replacing what had that name.
    bool RenameTo(const std::filesystem::path& target, DiskCommit& disk);

private:
    std::filesystem::path m_path;
};
