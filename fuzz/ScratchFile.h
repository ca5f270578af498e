#pragma once
// One scratch file per fuzz run for targets whose input must be a file on disk.
// It lives in /dev/shm where that exists, so a reader that flushes to disk
// costs nothing, and its folder goes when the run ends.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tornu::fuzz {

inline std::string& ScratchPath() {
    static std::string path;
    return path;
}

// Makes the folder and remembers `<folder>/<name>`; call once, from LLVMFuzzerInitialize.
inline const std::string& MakeScratchFile(const char* name) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string folder = (base / "fuzz-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        std::abort();
    ScratchPath() = folder + "/" + name;
    std::atexit([] {
        std::error_code error;
        std::filesystem::remove_all(std::filesystem::path(ScratchPath()).parent_path(), error);
    });
    return ScratchPath();
}

// Replaces the scratch file's contents with the input.
inline void WriteScratchFile(const uint8_t* data, size_t size) {
    std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace tornu::fuzz
