// Arbitrary bytes as a settings file: reading must not fail, and what Save
// writes must read back as the same sections and save to the same bytes.
#include "settings/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using tornu::CIniFile;

namespace {

std::string g_path;

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(g_path).parent_path(), ec);
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Lookups agree with the stored entries: keys unique, comments not counted.
void CheckLookups(CIniFile& ini) {
    for (const CIniFile::Section& section : ini.Sections()) {
        int count = 0;
        for (const CIniFile::Entry& entry : section.entries) {
            if (entry.key == ";")
                continue;
            std::string key, value;
            if (!ini.GetEntry(section.name, count, key, value) || key != entry.key ||
                !ini.GetValue(section.name, entry.key, value) || value != entry.value)
                std::abort();
            ++count;
        }
        if (ini.CountEntries(section.name) != count)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Save flushes to disk; on tmpfs that costs nothing, elsewhere it slows the run.
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string folder = (base / "fuzz-ini-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        std::abort();
    g_path = folder + "/tornucfg.ini";
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteFile(g_path, data, size);
    CIniFile first;
    if (!first.Load(g_path))
        std::abort();
    CheckLookups(first);
    if (!first.Save())
        std::abort();
    const std::string saved = first.ToBytes();

    CIniFile second;
    if (!second.Load(g_path) || second.Sections() != first.Sections())
        std::abort();
    if (second.ToBytes() != saved)
        std::abort();
    return 0;
}
