#pragma once
// The import of the monitoring station's data: the phone number and the link
// password of every terminal that both the station's table and the
// configuration know, matched by terminal number. Terminals are never
// created or deleted; each value is written through as it is applied.
#include "db/Terminal.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

inline constexpr const char* kStationServerRunningMessage =
    "Для того чтобы импортировать данные необходимо выгрузить сервер системы Торну";
inline constexpr const char* kStationTableOpenFailedMessage =
    "Невозможно открыть файл таблицы устройств: ";

// "Импортированы данные по %d устройствам", and when values were skipped
// ". Пропущено значений с недопустимыми символами: %d".
std::string StationImportedMessage(int count, int skipped = 0);

struct StationImportResult {
    bool opened = false; // false: the table could not be opened, nothing imported
    int count = 0;       // records applied to a known terminal, repeats included
    // Phones and passwords left as they were: they hold a character that
    // would break a message (IsMessageSafe).
    int skipped = 0;
    std::string path;    // the table file
};

// Applies every record of the table in `folder` in file order, so that of two
// records with the same number the later one wins.
StationImportResult ImportStationData(std::string_view folder,
                                      const std::vector<std::unique_ptr<CTerminal>>& terminals);

} // namespace tornu
