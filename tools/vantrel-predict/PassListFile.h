#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Replaces `file` with `contents` as a whole: they are written to a new file
// beside it, flushed to the disk and renamed over it, so a run that reads
// the list meanwhile reads the old one or the new one, never a part. The
// new file keeps the old one's permissions (a first one has 0666 less the
// umask); a link to it stays and points at the new contents. False, with
// the reason in `problem` and the old file untouched, when that fails.
bool ReplacePassList(const std::filesystem::path& file, std::string_view contents,
                     std::string& problem);
