#pragma once
// One field of a CSV report: as it is, or between quotes with inner quotes
// doubled when it holds a comma, a quote or a line break.
#include <string>
#include <string_view>

namespace tornu {

inline std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

} // namespace tornu
