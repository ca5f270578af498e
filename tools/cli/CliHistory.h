#pragma once
// "history": the change history of the configuration, newest first, as
// lines for a reader or as CSV for a spreadsheet.
#include "db/ChangeHistory.h"

#include <iosfwd>
#include <vector>

namespace tornu::cli {

void PrintHistory(const std::vector<HistoryEntry>& entries, bool csv, std::ostream& out);

} // namespace tornu::cli
