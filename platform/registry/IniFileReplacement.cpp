#include "platform/registry/IniFileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <QVariantMap>
#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/registry/FileReplacement.h"
#include "platform/registry/IniBytes.h"
#include "platform/registry/QtText.h"
#include "platform/registry/ScratchFile.h"

namespace fs = std::filesystem;

namespace {

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
        writer.setValue(QtText(value.name), StoredForm(value.text));
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

// A rename in its folder could replace a file its user made read-only, or
// one this user may not write: such a file is refused instead. Root may
// write anything, so it is the owner's write permission that says whether
// the file was made read-only.
bool MayReplace(const fs::path& file) {
    struct stat status {};
    if (stat(file.c_str(), &status) != 0) {
        return errno == ENOENT;
    }
    return (status.st_mode & S_IWUSR) != 0 &&
           faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0;
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
    DiskCommit disk;
    return ReplaceIniFile(file, values, disk);
}

bool ReplaceIniFile(const fs::path& file, const std::vector<IniValue>& values, DiskCommit& disk) {
    const fs::path target = ReplacementTarget(file);
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    if (error || !MayReplace(target)) {
        return false;
    }
    ScratchFile written(target);
    ScratchFile checked(target);
    QVariantMap contents;
    if (!written.IsCreated() || !checked.IsCreated() ||
        !WriteMerged(target, written.Path(), values, contents) ||
        !written.RenameTo(checked.Path(), disk) || !HoldsExactly(checked.Path(), contents)) {
        return false;
    }
    KeepModificationTimeAhead(checked.Path(), target);
    // A new file stays private to its user.
    return !PutInPlace(checked, target, 0600, disk);
}
