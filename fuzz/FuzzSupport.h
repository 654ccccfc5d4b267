#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "tests/support/TempDir.h"

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
inline const TempDir& ScratchFolder() {
    std::error_code error;
    static const TempDir folder(std::filesystem::is_directory("/dev/shm", error)
                                    ? std::filesystem::path("/dev/shm")
                                    : std::filesystem::temp_directory_path());
    return folder;
}
