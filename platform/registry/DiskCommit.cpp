#include "platform/registry/DiskCommit.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/kernel/UniqueFd.h"

bool DiskCommit::Flush(const std::filesystem::path& path) {
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return file.IsValid() && fsync(file.Get()) == 0;
}

bool DiskCommit::Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
