#pragma once
// The rows of the station's terminal table that the import copies into the
// configuration: terminal number, phone number and link password.
#include "import/OdbTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

inline constexpr std::string_view kStationTableFile = "terminal.odb";
inline constexpr std::string_view kStationNumberField = "TermNum";
inline constexpr std::string_view kStationPhoneField = "PhoneNum";
inline constexpr std::string_view kStationPasswordField = "TermPassword";

struct StationRow {
    std::int32_t number = 0;
    // Empty when the field could not be read; the terminal's value then stays.
    std::optional<std::string> phone;
    std::optional<std::string> password;

    bool operator==(const StationRow&) const = default;
};

// The table file in a folder; an empty folder names it in the working
// directory, and a folder with or without its final "/" names the same file.
std::string StationTablePath(std::string_view folder);

// Every record of an open table in file order, so that of two rows with the
// same number the later one wins when applied. A record without a readable
// integer "TermNum" is left out; texts are cut to 255 characters and given
// as UTF-8.
std::vector<StationRow> ReadStationRows(COdbTable& table);

} // namespace tornu
