#include "platform/registry/ScratchFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/kernel/UniqueFd.h"

ScratchFile::ScratchFile(const std::filesystem::path& beside) {
    std::string pattern = beside.string() + ".XXXXXX";
    const UniqueFd file(mkostemp(pattern.data(), O_CLOEXEC));
    if (file.IsValid()) {
        m_path = pattern;
    }
}

ScratchFile::~ScratchFile() {
    if (!m_path.empty()) {
        unlink(m_path.c_str());
    }
}

bool ScratchFile::RenameTo(const std::filesystem::path& target, DiskCommit& disk) {
    if (!disk.Rename(m_path, target)) {
        return false;
    }
    m_path.clear();
    return true;
}
