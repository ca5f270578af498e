#include "import/StationImport.h"

#include "import/OdbTable.h"
#include "import/StationTable.h"
#include "protocol/ConfigText.h"

#include <cstdio>
#include <unordered_map>

namespace tornu {

std::string StationImportedMessage(int count, int skipped) {
    char text[200];
    std::snprintf(text, sizeof text, "Импортированы данные по %d устройствам", count);
    std::string message = text;
    if (skipped > 0) {
        std::snprintf(text, sizeof text, ". Пропущено значений с недопустимыми символами: %d",
                      skipped);
        message += text;
    }
    return message;
}

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
        // The record refuses a value that would break a message.
        if (row.phone && !IsMessageSafe(*row.phone))
            ++result.skipped;
        else if (row.phone)
            found->second->SetPhone(*row.phone);
        if (row.password && !IsMessageSafe(*row.password))
            ++result.skipped;
        else if (row.password)
            found->second->SetPassword(*row.password);
        ++result.count;
    }
    return result;
}

} // namespace tornu
