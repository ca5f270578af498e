#include "import/StationTable.h"

namespace tornu {

std::string StationTablePath(std::string_view folder) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += kStationTableFile;
    return path;
}

namespace {

std::optional<std::string> ReadOptionalText(const COdbTable& table, std::string_view name) {
    std::string text;
    if (!table.ReadText(name, text, COdbTable::kMaxTextLength))
        return std::nullopt;
    return text;
}

} // namespace

std::vector<StationRow> ReadStationRows(COdbTable& table) {
    std::vector<StationRow> rows;
    for (std::int64_t index = table.First(); index >= 0; index = table.Next()) {
        StationRow row;
        if (!table.ReadInteger(kStationNumberField, row.number))
            continue;
        row.phone = ReadOptionalText(table, kStationPhoneField);
        row.password = ReadOptionalText(table, kStationPasswordField);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace tornu
