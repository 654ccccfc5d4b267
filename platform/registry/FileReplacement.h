#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>

#include "platform/registry/DiskCommit.h"
#include "platform/registry/ScratchFile.h"

// The steps that put a whole new file in the place of an old one, so a
// reader meanwhile sees the old file or the new one, never a part.

// The file a replacement of `file` takes the place of: the one a link points
// at, so the link stays.
std::filesystem::path ReplacementTarget(const std::filesystem::path& file);

// Why PutInPlace failed.
enum class PlacementFault { Access, Flush, Rename };

// Gives `replacement` the permissions of `target`, and its owner and group
// where this user may give them (`newMode` when there is no `target` yet),
// flushes it to the disk and renames it over `target`, then flushes the
// folder. The step that failed, with `target` untouched, else nullopt.
std::optional<PlacementFault> PutInPlace(ScratchFile& replacement,
                                         const std::filesystem::path& target, mode_t newMode,
                                         DiskCommit& disk);
