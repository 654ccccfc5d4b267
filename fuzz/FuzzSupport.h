#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

// Stops the run on a broken invariant, so that libFuzzer keeps the input as
// a crash and the corpus replay fails on it.
[[noreturn]] inline void FuzzCheckFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : FuzzCheckFailed(#condition, __FILE__, __LINE__))

inline std::string_view InputText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A folder of the process's own for the files the readers open by name,
// removed with what it holds when the process ends. /dev/shm keeps the
// millions of writes of a fuzzing run off the disk.
class ScratchFolder {
public:
    static ScratchFolder& Instance() {
        static ScratchFolder folder;
        return folder;
    }

    // Writes `bytes` exactly as given into the file `name` of the folder.
    std::filesystem::path Write(std::string_view name, std::string_view bytes) const {
        const std::filesystem::path file = m_path / name;
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

    const std::filesystem::path& Path() const { return m_path; }

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

private:
    ScratchFolder() {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "vantrel-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            FuzzCheckFailed("mkdtemp", __FILE__, __LINE__);
        }
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    std::filesystem::path m_path;
};
