#include "platform/registry/FileReplacement.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace fs = std::filesystem;

namespace {

bool TakeOverAccess(const fs::path& replacement, const fs::path& target, mode_t newMode) {
    struct stat previous {};
    if (stat(target.c_str(), &previous) != 0) {
        return errno == ENOENT && chmod(replacement.c_str(), newMode) == 0;
    }
    if (chown(replacement.c_str(), previous.st_uid, previous.st_gid) != 0) {
        // An ordinary user cannot give a file away; the permissions still hold.
    }
    return chmod(replacement.c_str(), previous.st_mode & 07777) == 0;
}

}  // namespace

fs::path ReplacementTarget(const fs::path& file) {
    std::error_code error;
    const fs::path target = fs::weakly_canonical(fs::absolute(file, error), error);
    return error ? file : target;
}

std::optional<PlacementFault> PutInPlace(ScratchFile& replacement, const fs::path& target,
                                         mode_t newMode, DiskCommit& disk) {
    if (!TakeOverAccess(replacement.Path(), target, newMode)) {
        return PlacementFault::Access;
    }
    if (!disk.Flush(replacement.Path())) {
        return PlacementFault::Flush;
    }
    if (!replacement.RenameTo(target, disk)) {
        return PlacementFault::Rename;
    }
    // The new file is in place; a folder that fails to flush leaves nothing
    // the caller could act on.
    disk.Flush(target.parent_path().empty() ? "." : target.parent_path());
    return std::nullopt;
}
