#include "import/StationImport.h"

#include "import/OdbTable.h"
#include "import/StationTable.h"
#include "db/ConfigDatabase.h"
#include "db/Tables.h"
#include "protocol/ConfigText.h"

#include <cstdio>
#include <unordered_map>

namespace tornu {

std::string StationImportedMessage(const StationImportResult& result) {
    std::string message =
        "Импортированы данные по " + std::to_string(result.count) + " устройствам";
    if (result.skipped > 0)
        message += ". Пропущено значений с недопустимыми символами: " +
                   std::to_string(result.skipped);
    if (result.tooLong > 0)
        message += ". Пропущено слишком длинных значений: " + std::to_string(result.tooLong) +
                   " (" + result.tooLongWhy + ")";
    if (result.failed > 0)
        message += ". Не записаны в базу данных: " + std::to_string(result.failed) + " (" +
                   result.failure + ")";
    return message;
}

namespace {

// The value is there and may be written; one that may not is counted.
bool Acceptable(const std::optional<std::string>& value, const char* column,
                StationImportResult& result) {
    if (!value)
        return false;
    // The record would refuse a value that breaks a message.
    if (!IsMessageSafe(*value)) {
        ++result.skipped;
        return false;
    }
    if (const CResult fits = CheckColumnText(kTerminalTable, column, *value); !fits) {
        if (result.tooLong++ == 0)
            result.tooLongWhy = fits.Error();
        return false;
    }
    return true;
}

} // namespace

StationImportResult ImportStationData(std::string_view folder,
                                      const std::vector<std::unique_ptr<CTerminal>>& terminals) {
    StationImportResult result;
    result.path = StationTablePath(folder);
    COdbTable table;
    if (!table.Open(result.path))
        return result;
    result.opened = true;
    std::unordered_map<int, CTerminal*> byNumber;
    for (const auto& terminal : terminals)
        byNumber.emplace(terminal->Id(), terminal.get());
    for (const StationRow& row : ReadStationRows(table)) {
        auto found = byNumber.find(row.number);
        if (found == byNumber.end())
            continue;
        CTerminal& terminal = *found->second;
        CConfigDatabase* db = terminal.Database();
        if (db)
            db->TakeFailedStatementError();
        bool written = true;
        if (Acceptable(row.phone, "phone", result))
            written = terminal.SetPhone(*row.phone) && written;
        if (Acceptable(row.password, "password", result))
            written = terminal.SetPassword(*row.password) && written;
        if (written) {
            ++result.count;
        } else if (result.failed++ == 0) {
            result.failure = db ? db->Outcome(false).Error() : std::string();
        }
    }
    return result;
}

} // namespace tornu
