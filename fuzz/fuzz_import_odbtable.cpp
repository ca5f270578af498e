// Arbitrary bytes as a station table file: opening, walking every record and
// reading the import's three fields must stay inside the file, and whatever is
// read must agree with the table's own layout.
#include "import/OdbTable.h"
#include "import/StationTable.h"
#include "settings/Encoding.h"

#include "ScratchFile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using tornu::COdbTable;

namespace {

void CheckText(const COdbTable& table, std::string_view name) {
    std::string text;
    if (!table.ReadText(name, text))
        return;
    if (!tornu::IsValidUtf8(text) || tornu::Utf8Length(text) > COdbTable::kMaxTextLength)
        std::abort();
}

void WalkRecords(COdbTable& table, size_t fileSize) {
    const uint64_t dataStart =
        COdbTable::kHeaderSize + COdbTable::kDescriptorSize * table.Fields().size();
    if (dataStart + table.RecordCount() * table.RecordSize() > fileSize)
        std::abort();
    int64_t count = 0;
    for (int64_t i = table.First(); i >= 0; i = table.Next()) {
        if (i != count++)
            std::abort();
        int32_t number = 0;
        table.ReadInteger(tornu::kStationNumberField, number);
        CheckText(table, tornu::kStationPhoneField);
        CheckText(table, tornu::kStationPasswordField);
    }
    if (static_cast<uint64_t>(count) != table.RecordCount() || table.GetIndex() != -1)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tornu::fuzz::MakeScratchFile("terminal.odb");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tornu::fuzz::WriteScratchFile(data, size);
    COdbTable table;
    if (!table.Open(tornu::fuzz::ScratchPath()))
        return 0;
    WalkRecords(table, size);
    // The rows the import would apply come from the same walk.
    if (tornu::ReadStationRows(table).size() > table.RecordCount())
        std::abort();
    table.Close();
    return 0;
}
