#include "CliHistory.h"

#include "settings/CsvField.h"

#include <ostream>

namespace tornu::cli {

namespace {

// "12" for a terminal's own change, "12/1" for a device's.
std::string NodeText(const HistoryEntry& entry) {
    std::string node = std::to_string(entry.terminal);
    if (entry.device >= 0)
        node += "/" + std::to_string(entry.device);
    return node;
}

std::string Who(const HistoryEntry& entry) {
    std::string who = entry.osUser + "@" + entry.host;
    if (!entry.dbUser.empty())
        who += " (" + entry.dbUser + ")";
    return who;
}

} // namespace

void PrintHistory(const std::vector<HistoryEntry>& entries, bool csv, std::ostream& out) {
    if (csv)
        out << "Время,Кто,Устройство,Что,Было,Стало,Источник,Подробности\r\n";
    for (const HistoryEntry& entry : entries) {
        // To the second: the stored microseconds only keep the order.
        const std::string time = entry.time.substr(0, 19);
        if (csv) {
            for (const std::string& field : {time, Who(entry), NodeText(entry), entry.what,
                                             entry.oldValue, entry.newValue, entry.source})
                out << CsvField(field) << ",";
            out << CsvField(entry.detail) << "\r\n";
            continue;
        }
        out << time << "  " << Who(entry) << "  [" << NodeText(entry) << "] " << entry.what << ": "
            << entry.oldValue << " -> " << entry.newValue << "  (" << entry.source
            << (entry.detail.empty() ? "" : ", " + entry.detail) << ")\n";
    }
}

} // namespace tornu::cli
