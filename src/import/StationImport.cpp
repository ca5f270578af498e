#include "import/StationImport.h"

#include "import/OdbTable.h"
#include "import/StationTable.h"

#include <cstdio>
#include <unordered_map>

namespace tornu {

std::string StationImportedMessage(int count) {
    char text[96];
    std::snprintf(text, sizeof text, "Импортированы данные по %d устройствам", count);
    return text;
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
        if (row.phone)
            found->second->SetPhone(*row.phone);
        if (row.password)
            found->second->SetPassword(*row.password);
        ++result.count;
    }
    return result;
}

} // namespace tornu
