// Arbitrary bytes as a settings file: reading must not fail, and what Save
// writes must read back as the same sections and save to the same bytes.
#include "settings/IniFile.h"

#include "ScratchFile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using tornu::CIniFile;

namespace {

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
    tornu::fuzz::MakeScratchFile("tornucfg.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tornu::fuzz::WriteScratchFile(data, size);
    CIniFile first;
    if (!first.Load(tornu::fuzz::ScratchPath()))
        std::abort();
    CheckLookups(first);
    if (!first.Save())
        std::abort();
    const std::string saved = first.ToBytes();

    CIniFile second;
    if (!second.Load(tornu::fuzz::ScratchPath()) || second.Sections() != first.Sections())
        std::abort();
    if (second.ToBytes() != saved)
        std::abort();
    return 0;
}
