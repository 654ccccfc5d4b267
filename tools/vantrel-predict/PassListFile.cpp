#include "tools/vantrel-predict/PassListFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/registry/FileReplacement.h"

namespace {

// What a file created with open's 0666 would get.
mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool ReplacePassList(const std::filesystem::path& file, std::string_view contents,
                     std::string& problem) {
    DiskCommit disk;
    const std::filesystem::path target = ReplacementTarget(file);
    ScratchFile scratch(target);
    const auto fail = [&](const char* step) {
        problem = std::string(step) + ": " + std::strerror(errno);
        return false;
    };
    if (!scratch.IsCreated()) {
        return fail("cannot create a file beside it");
    }
    std::ofstream stream(scratch.Path(), std::ios::binary);
    stream.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    stream.close();
    if (stream.fail()) {
        return fail("cannot write it");
    }
    if (const std::optional<PlacementFault> fault =
            PutInPlace(scratch, target, NewFileMode(), disk)) {
        return fail(*fault == PlacementFault::Access  ? "cannot give it the old one's permissions"
                    : *fault == PlacementFault::Flush ? "cannot flush it to the disk"
                                                      : "cannot put it in place");
    }
    return true;
}
