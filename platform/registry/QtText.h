#pragma once

#include <QFile>
#include <QString>
#include <filesystem>
#include <string_view>

// Texts cross into Qt as UTF-8, paths in the file system's encoding.

inline QString QtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString QtPath(const std::filesystem::path& path) {
    return QFile::decodeName(path.c_str());
}
