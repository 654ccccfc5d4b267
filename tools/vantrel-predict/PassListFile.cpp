#include "tools/vantrel-predict/PassListFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/registry/DiskCommit.h"
#include "platform/registry/ScratchFile.h"

namespace {

mode_t PermissionsFor(const std::filesystem::path& file) {
    struct stat previous {};
    if (stat(file.c_str(), &previous) == 0) {
        return previous.st_mode & 07777;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool ReplacePassList(const std::filesystem::path& file, std::string_view contents,
                     std::string& problem) {
    DiskCommit disk;
    ScratchFile scratch(file);
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
    if (chmod(scratch.Path().c_str(), PermissionsFor(file)) != 0 || !disk.Flush(scratch.Path())) {
        return fail("cannot flush it to the disk");
    }
    if (!scratch.RenameTo(file, disk)) {
        return fail("cannot put it in place");
    }
    // The list is in place; a folder that fails to flush leaves nothing to do.
    disk.Flush(file.parent_path().empty() ? "." : file.parent_path());
    return true;
}
