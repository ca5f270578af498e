#include "CliHistory.h"

#include "doc/HistoryViewModel.h"

#include <ostream>

namespace tornu::cli {

void PrintHistory(const std::vector<HistoryEntry>& entries, bool csv, std::ostream& out) {
    if (csv) {
        WriteHistoryCsv(entries, out);
        return;
    }
    for (const HistoryEntry& entry : entries) {
        // To the second: the stored microseconds only keep the order.
        out << entry.time.substr(0, 19) << "  " << HistoryWho(entry) << "  ["
            << HistoryNode(entry) << "] " << entry.what << ": " << entry.oldValue << " -> "
            << entry.newValue << "  (" << entry.source
            << (entry.detail.empty() ? "" : ", " + entry.detail) << ")\n";
    }
}

} // namespace tornu::cli
