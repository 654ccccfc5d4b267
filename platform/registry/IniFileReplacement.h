#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry/DiskCommit.h"

struct IniValue {
    std::string name;
    std::string text;
};

// Writes `values` into the INI file `file` with QSettings, keeping the other
// entries it holds, and creates the file and its folder when missing. The
// new contents are written to a separate file, read back and flushed to disk
// before they take the old file's place by rename, so the file is always
// either the old one or the complete new one; it keeps the old one's
// permissions. False when it could not be written, or when the old file is
// read-only (its owner may not write it) or this user may not write it; the
// old file then stays as it was.
bool ReplaceIniFile(const std::filesystem::path& file, const std::vector<IniValue>& values);
bool ReplaceIniFile(const std::filesystem::path& file, const std::vector<IniValue>& values,
                    DiskCommit& disk);

// QSettings takes a file it has read in this process as unchanged while its
// size and its modification time in milliseconds stay the same. Makes the
// modification time of `replacement` later than that of `file`, in
// milliseconds, when it is not already, so the one cannot pass for the other.
void KeepModificationTimeAhead(const std::filesystem::path& replacement,
                               const std::filesystem::path& file);
