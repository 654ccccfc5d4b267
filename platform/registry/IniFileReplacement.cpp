#include "platform/registry/IniFileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <QVariantMap>
#include <algorithm>
#include <cstdint>

#include "platform/kernel/UniqueFd.h"
#include "platform/registry/QtText.h"

namespace fs = std::filesystem;

namespace {

// A new file of a unique name beside `target`, removed again unless it has
// been renamed to another name.
class ScratchFile {
public:
    explicit ScratchFile(const fs::path& target) {
        std::string pattern = target.string() + ".XXXXXX";
        const UniqueFd file(mkostemp(pattern.data(), O_CLOEXEC));
        if (file.IsValid()) {
            m_path = pattern;
        }
    }
    ~ScratchFile() {
        if (!m_path.empty()) {
            unlink(m_path.c_str());
        }
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    bool IsCreated() const { return !m_path.empty(); }
    const fs::path& Path() const { return m_path; }

    // Gives the file the name `target`, replacing what had that name.
    bool RenameTo(const fs::path& target) {
        if (std::rename(m_path.c_str(), target.c_str()) != 0) {
            return false;
        }
        m_path.clear();
        return true;
    }

private:
    fs::path m_path;
};

// Writes the entries of `file`, then `values` over them, into `scratch`;
// `contents` receives every entry that should now stand in it.
bool WriteMerged(const fs::path& file, const fs::path& scratch, const std::vector<IniValue>& values,
                 QVariantMap& contents) {
    QSettings writer(QtPath(scratch), QSettings::IniFormat);
    std::error_code error;
    if (fs::exists(file, error)) {
        const QSettings current(QtPath(file), QSettings::IniFormat);
        // Entries that cannot be read would be lost by the replacement.
        if (current.status() != QSettings::NoError) {
            return false;
        }
        for (const QString& key : current.allKeys()) {
            writer.setValue(key, current.value(key));
        }
    }
    for (const IniValue& value : values) {
        writer.setValue(QtText(value.name), QtText(value.text));
    }
    writer.sync();
    if (writer.status() != QSettings::NoError) {
        return false;
    }
    for (const QString& key : writer.allKeys()) {
        contents.insert(key, writer.value(key));
    }
    return true;
}

// A list of texts is written as a list of strings and may come back as a
// list of variants (an element with a zero byte, say); its texts are what
// has to match.
bool SameValue(const QVariant& written, const QVariant& read) {
    const auto isList = [](const QVariant& value) {
        return value.typeId() == QMetaType::QStringList ||
               value.typeId() == QMetaType::QVariantList;
    };
    if (isList(written) && isList(read)) {
        return written.toStringList() == read.toStringList();
    }
    return written == read;
}

// QSettings reports success even when the disk filled up under it and the
// file is cut short, so what it wrote is read back before it is trusted.
// `file` must be a name this process has not read through QSettings, which
// would otherwise answer from its cache.
bool HoldsExactly(const fs::path& file, const QVariantMap& contents) {
    const QSettings written(QtPath(file), QSettings::IniFormat);
    if (written.status() != QSettings::NoError) {
        return false;
    }
    const QStringList keys = written.allKeys();
    return keys.size() == contents.size() &&
           std::all_of(keys.begin(), keys.end(), [&](const QString& key) {
               return contents.contains(key) && SameValue(contents.value(key), written.value(key));
           });
}

bool FlushToDisk(const fs::path& path, int flags = 0) {
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | flags));
    return file.IsValid() && fsync(file.Get()) == 0;
}

std::int64_t Milliseconds(const timespec& time) {
    return std::int64_t{time.tv_sec} * 1000 + time.tv_nsec / 1'000'000;
}

}  // namespace

void KeepModificationTimeAhead(const fs::path& replacement, const fs::path& file) {
    struct stat previous {};
    struct stat next {};
    if (stat(file.c_str(), &previous) != 0 || stat(replacement.c_str(), &next) != 0 ||
        Milliseconds(next.st_mtim) > Milliseconds(previous.st_mtim)) {
        return;
    }
    const std::int64_t later = Milliseconds(previous.st_mtim) + 1;
    const timespec times[2] = {{0, UTIME_OMIT}, {later / 1000, (later % 1000) * 1'000'000}};
    utimensat(AT_FDCWD, replacement.c_str(), times, 0);
}

bool ReplaceIniFile(const fs::path& file, const std::vector<IniValue>& values) {
    std::error_code error;
    // A linked file is replaced where it lives, so the link stays.
    fs::path target = fs::weakly_canonical(fs::absolute(file, error), error);
    if (error) {
        target = file;
    }
    fs::create_directories(target.parent_path(), error);
    if (error) {
        return false;
    }
    ScratchFile written(target);
    ScratchFile checked(target);
    QVariantMap contents;
    if (!written.IsCreated() || !checked.IsCreated() ||
        !WriteMerged(target, written.Path(), values, contents) ||
        !written.RenameTo(checked.Path()) || !HoldsExactly(checked.Path(), contents) ||
        !FlushToDisk(checked.Path())) {
        return false;
    }
    KeepModificationTimeAhead(checked.Path(), target);
    if (!checked.RenameTo(target)) {
        return false;
    }
    // The new file is in place; a folder that fails to flush leaves nothing
    // the caller could act on.
    FlushToDisk(target.parent_path(), O_DIRECTORY);
    return true;
}
