#pragma once

#include <sys/stat.h>

#include <optional>

// What tells one version of a file from another without reading it: a file
// renamed over it, rewritten or touched differs in one of these.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

// The file at `path`, links followed; nullopt when there is none.
std::optional<FileIdentity> IdentityOfPath(const char* path);
// The file open on `descriptor`.
std::optional<FileIdentity> IdentityOfDescriptor(int descriptor);
